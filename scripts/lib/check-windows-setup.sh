#!/usr/bin/env bash
# Checks the Windows installer under Wine (WINEPREFIX as the caller set it):
#   check-windows-setup.sh SETUP.exe VERSION OLDER-SETUP.exe
# an earlier version installed silently, this one silently over it, the files, the Start-menu
# entries and the Add/Remove Programs key, trelvo-cli.exe from the install folder, and a silent
# uninstall that leaves no file, entry or key behind.
set -uo pipefail
setup=$1 version=$2 older=$3
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Trelvo'
errors=0
check() {  # description command...
    local what=$1
    shift
    if "$@"; then
        echo "ok    $what"
    else
        echo "FAIL  $what"
        errors=$((errors + 1))
    fi
}
key_absent() {  # reg prints its "unable to find" on standard output: only its exit code tells
    ! wine reg query "$key" >/dev/null 2>&1
}
value() {  # the data of one value of the uninstall key
    wine reg query "$key" /v "$1" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$1 *REG_[A-Z_]* *//p"
}

# A clean start: nothing from an earlier run of this check.
wine reg delete "$key" /f >/dev/null 2>&1
dir=$(winepath -u 'C:\Program Files\Trelvo' 2>/dev/null | tr -d '\r')
menu=$(winepath -u 'C:\ProgramData\Microsoft\Windows\Start Menu\Programs' 2>/dev/null | tr -d '\r')
rm -rf "$dir"

wine "$older" /S
check "the earlier version installs silently" test "$(value DisplayVersion)" = 0.9.0
wine "$setup" /S
code=$?
wineserver -w
check "this version installs silently over it (exit code $code)" test "$code" -eq 0
for f in trelvo.exe trelvo-sim.exe trelvo-cli.exe LICENSE.txt CHANGELOG.md uninstall.exe; do
    check "installed: $f" test -s "$dir/$f"
done
check "Start menu: Trelvo" test -f "$menu/Trelvo.lnk"
check "Start menu: Trelvo (demo)" test -f "$menu/Trelvo (demo).lnk"
check "DisplayName Trelvo" test "$(value DisplayName)" = Trelvo
check "DisplayVersion $version (the earlier one replaced)" test "$(value DisplayVersion)" = "$version"
check "Publisher" test -n "$(value Publisher)"
check "DisplayIcon" test "$(value DisplayIcon)" = 'C:\Program Files\Trelvo\trelvo.exe,0'
check "UninstallString" test "$(value UninstallString)" = '"C:\Program Files\Trelvo\uninstall.exe"'
size=$(value EstimatedSize)
check "EstimatedSize in KB ($size)" test $((size)) -gt 1000
said=$(wine "$dir/trelvo-cli.exe" --version | tr -d '\r')
check "trelvo-cli.exe --version from the install folder says '$said'" test "$said" = "trelvo-cli $version"

# The uninstaller copies itself away and returns at once; its copy removes the files first and
# the key last. Wait (up to 30 s) until both are gone, then check each.
wine "$dir/uninstall.exe" /S
for _ in $(seq 60); do
    wineserver -w
    [ ! -e "$dir" ] && key_absent && break
    sleep 0.5
done
check "uninstall leaves no folder" test ! -e "$dir"
check "uninstall leaves no Start-menu entry" test ! -e "$menu/Trelvo.lnk" -a ! -e "$menu/Trelvo (demo).lnk"
check "uninstall leaves no key" key_absent

[ "$errors" -eq 0 ]
