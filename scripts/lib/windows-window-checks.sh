#!/usr/bin/env bash
# The Windows windows as a user starts them, under Wine on the X display this runs on (called by
# scripts/test-windows inside xvfb-run). Prints one "PASS ..." or "FAIL ..." line a check and
# leaves screenshots beside the programs in $TRELVO_WINDOWS_BUILD.
set -uo pipefail
build=${TRELVO_WINDOWS_BUILD:?}
main_title="Trelvo 2.0 (konfiguracja czytników KV-T41X, KV-T43X, KV-T51X, KV-T53X)"

# Waits up to $2 seconds for a window whose title is exactly $1; prints its id.
wait_window() {
    local deadline=$((SECONDS + $2)) id
    while [ "$SECONDS" -lt "$deadline" ]; do
        id=$(xdotool search --name "^$(sed 's/[][().*^$+?{}|\\]/\\&/g' <<<"$1")\$" 2>/dev/null | head -n 1)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.5
    done
    return 1
}

# Ends a program and the Wine server with it; the program's end by signal is no failure here.
stop() {
    kill "$1" 2>/dev/null
    wineserver -k 2>/dev/null
    wait "$1" 2>/dev/null
    return 0
}

# A Wine server left from a program on another display (or on none) would put the windows there:
# start on a server of this display's own.
wineserver -k 2>/dev/null
wineserver -w

# The demo: its window and the simulator panel, after the start-up read.
# It records its wire into a file whose name holds Polish letters, through the window's files.
capture="$build/polskie/Okno źdźbło.pcapng"
mkdir -p "$build/polskie"
rm -f "$capture"
wine "$build/app/trelvo-sim.exe" --capture "$capture" >/dev/null 2>&1 &
pid=$!
if wait_window "$main_title" 60 >/dev/null && wait_window "Symulator Trelvo" 30 >/dev/null; then
    # The start-up read runs once the window is up.
    sleep 8
    import -window root "$build/trelvo-sim-wine.png"
    echo "PASS trelvo-sim.exe shows its window (screenshot: $build/trelvo-sim-wine.png)"
    if [ -s "$capture" ]; then
        echo "PASS trelvo-sim.exe --capture writes \"${capture##*/}\""
    else
        echo "FAIL trelvo-sim.exe --capture wrote no \"${capture##*/}\""
    fi
else
    echo "FAIL trelvo-sim.exe showed no window within 60 s"
fi
stop "$pid"

# The tool with no interface: the box says so, and the window stays once it is closed.
toolCapture="$build/polskie/Główny źdźbło.pcapng"
rm -f "$toolCapture"
wine "$build/app/trelvo.exe" --capture "$toolCapture" >/dev/null 2>&1 &
pid=$!
if box=$(wait_window "Error" 60); then
    sleep 1
    import -window root "$build/trelvo-no-interface-wine.png"
    echo "PASS trelvo.exe with no interface shows the error box (screenshot: $build/trelvo-no-interface-wine.png)"
    if [ -s "$toolCapture" ]; then
        echo "PASS trelvo.exe --capture writes \"${toolCapture##*/}\""
    else
        echo "FAIL trelvo.exe --capture wrote no \"${toolCapture##*/}\""
    fi
    # No window manager on the virtual display: give the box the focus directly. A key pressed
    # while Wine is still settling the focus can go astray: press it again while the box stays.
    for _ in 1 2 3 4 5; do
        xdotool search --name '^Error$' >/dev/null 2>&1 || break
        xdotool windowfocus --sync "$box" 2>/dev/null
        xdotool key --window "$box" Return
        sleep 2
    done
    if ! xdotool search --name '^Error$' >/dev/null 2>&1 && wait_window "$main_title" 5 >/dev/null &&
        kill -0 "$pid" 2>/dev/null; then
        echo "PASS trelvo.exe keeps its window after the box is closed"
    else
        echo "FAIL trelvo.exe: after the box was closed the window is gone or the box stayed"
    fi
else
    echo "FAIL trelvo.exe with no interface showed no error box within 60 s"
fi
stop "$pid"
