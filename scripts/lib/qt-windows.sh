# Qt 6 for 64-bit Windows (static, MinGW-w64), built once from Debian's own source of the host
# Qt's exact version and kept in a cache outside the tree. Sourced by the scripts that build the
# Windows windows; run directly (bash scripts/lib/qt-windows.sh) it only makes sure the cache exists
# and prints its folder.
#
#   trelvo_qt_windows_prefix     prints the cache folder for the installed host Qt and these options
#   trelvo_qt_windows_ensure     builds it when missing or incomplete; sets TRELVO_QT_WINDOWS_PREFIX
#
# The folder name holds the Qt version and a hash of everything that shapes the build (Debian
# revision, compiler, options), so a cache from another Qt or other options is never taken. A build
# goes into a temporary folder beside the cache and is renamed into place only when installed
# completely; the stamp file inside is written last, and a folder without it is removed and built
# again.

TRELVO_QT_WINDOWS_CACHE=${TRELVO_QT_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/trelvo}

# Only what the window uses: Widgets, GUI, Core, Test and the Windows and offscreen platforms.
# OpenGL stays on (as dynamic GL): the Windows platform plugin of this Qt does not compile without
# it. Accessibility stays on for screen readers; tablet input needs the wintab headers, which the
# Debian source leaves out.
TRELVO_QT_WINDOWS_OPTIONS=(
    -DBUILD_SHARED_LIBS=OFF -DCMAKE_BUILD_TYPE=Release
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_freetype=OFF
    -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_doubleconversion=OFF -DFEATURE_system_libpng=OFF
    -DFEATURE_system_jpeg=OFF -DFEATURE_jpeg=OFF
    -DFEATURE_network=OFF -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF
    -DFEATURE_xml=OFF -DFEATURE_concurrent=OFF -DFEATURE_vulkan=OFF -DFEATURE_tabletevent=OFF
    -DFEATURE_accessibility=ON
)

# Qt's own toolchain file: the compilers and the target, nothing of the project's build.
trelvo_qt_windows_toolchain() {
    cat <<'TOOLCHAIN'
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_LIBDIR} /usr/x86_64-w64-mingw32/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
TOOLCHAIN
}

trelvo_qt_windows_host_version() {
    dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null
}

trelvo_qt_windows_prefix() {
    local debian_version upstream key
    debian_version=$(trelvo_qt_windows_host_version)
    [ -n "$debian_version" ] || { echo "qt6-base-dev is not installed" >&2; return 1; }
    upstream=${debian_version%%+*}
    upstream=${upstream%%-*}
    key=$({
        echo "$debian_version"
        x86_64-w64-mingw32-g++-posix -dumpfullversion 2>/dev/null
        printf '%s\n' "${TRELVO_QT_WINDOWS_OPTIONS[@]}"
        trelvo_qt_windows_toolchain
    } | sha256sum | cut -c1-10)
    echo "$TRELVO_QT_WINDOWS_CACHE/qt-$upstream-mingw-w64-static-$key"
}

# A complete cache has the stamp written after its install, naming the same version.
trelvo_qt_windows_complete() {
    local prefix=$1
    [ -f "$prefix/trelvo-qt-build.txt" ] &&
        grep -qxF "debian-version: $(trelvo_qt_windows_host_version)" "$prefix/trelvo-qt-build.txt" &&
        [ -f "$prefix/lib/cmake/Qt6/Qt6Config.cmake" ] &&
        [ -f "$prefix/lib/cmake/Qt6Widgets/Qt6WidgetsConfig.cmake" ]
}

# Fetches the source package of the installed host Qt through a private apt set-up that mirrors
# the system's Debian sources as deb-src, so nothing of the system's apt configuration changes.
trelvo_qt_windows_fetch_source() {
    local work=$1 debian_version=$2 source_package
    source_package=$(dpkg-query -W -f='${source:Package}' qt6-base-dev)
    mkdir -p "$work/apt/lists/partial" "$work/apt/parts" "$work/source"
    : >"$work/apt/sources.list"
    if [ -f /etc/apt/sources.list ]; then
        sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' /etc/apt/sources.list >"$work/apt/sources.list"
    fi
    local f
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] || continue
        sed 's/^Types:.*/Types: deb-src/' "$f" >"$work/apt/parts/$(basename "$f")"
    done
    for f in /etc/apt/sources.list.d/*.list; do
        [ -f "$f" ] || continue
        sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$f" >"$work/apt/parts/$(basename "$f")"
    done
    local apt_options=(
        -o "Dir::Etc::SourceList=$work/apt/sources.list"
        -o "Dir::Etc::SourceParts=$work/apt/parts"
        -o "Dir::State::Lists=$work/apt/lists"
        -o "Dir::Cache::pkgcache=" -o "Dir::Cache::srcpkgcache="
        -o "APT::Sandbox::User=root"
    )
    apt-get "${apt_options[@]}" -q update >"$work/apt-update.log" 2>&1 || {
        cat "$work/apt-update.log" >&2
        return 1
    }
    (cd "$work/source" &&
        apt-get "${apt_options[@]}" -q --download-only source "$source_package=$debian_version") \
        >"$work/apt-source.log" 2>&1 || {
        cat "$work/apt-source.log" >&2
        return 1
    }
    dpkg-source --no-check -x "$work"/source/*.dsc "$work/qtbase" >"$work/dpkg-source.log" 2>&1 || {
        cat "$work/dpkg-source.log" >&2
        return 1
    }
}

trelvo_qt_windows_build() {
    local prefix=$1 debian_version work started step
    debian_version=$(trelvo_qt_windows_host_version)
    mkdir -p "$TRELVO_QT_WINDOWS_CACHE"
    work=$(mktemp -d "$TRELVO_QT_WINDOWS_CACHE/.build-XXXXXX")
    started=$(date +%s)
    echo "Building Qt $debian_version for Windows (MinGW-w64, static) into $prefix"
    echo "This happens once per machine and takes about half an hour on 2 cores (logs: $work)."

    step="download the source (apt-get source qt6-base=$debian_version)"
    echo "  - $step"
    trelvo_qt_windows_fetch_source "$work" "$debian_version" || { trelvo_qt_windows_failed "$step" "$work"; return 1; }

    step="configure"
    echo "  - $step"
    trelvo_qt_windows_toolchain >"$work/toolchain.cmake"
    cmake -S "$work/qtbase" -B "$work/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DCMAKE_INSTALL_PREFIX="$prefix" "${TRELVO_QT_WINDOWS_OPTIONS[@]}" \
        >"$work/configure.log" 2>&1 || { trelvo_qt_windows_failed "$step" "$work" configure.log; return 1; }

    step="build"
    echo "  - $step"
    cmake --build "$work/build" --parallel "$(nproc)" >"$work/build.log" 2>&1 ||
        { trelvo_qt_windows_failed "$step" "$work" build.log; return 1; }

    step="install"
    echo "  - $step"
    DESTDIR="$work/install" cmake --install "$work/build" >"$work/install.log" 2>&1 ||
        { trelvo_qt_windows_failed "$step" "$work" install.log; return 1; }
    printf 'debian-version: %s\nbuilt: %s\nseconds: %d\n' "$debian_version" "$(date -u +%FT%TZ)" \
        $(($(date +%s) - started)) >"$work/install$prefix/trelvo-qt-build.txt"

    rm -rf "$prefix"
    mv "$work/install$prefix" "$prefix"
    rm -rf "$work"
    echo "Qt for Windows built in $(( ($(date +%s) - started) / 60 )) min $(( ($(date +%s) - started) % 60 )) s."
}

trelvo_qt_windows_failed() {
    local step=$1 work=$2 log=${3:-}
    echo "Building Qt for Windows failed at: $step" >&2
    if [ -n "$log" ]; then
        echo "Last lines of $work/$log:" >&2
        tail -n 30 "$work/$log" >&2
    fi
    echo "Nothing was put in the cache; the logs stay in $work." >&2
}

trelvo_qt_windows_ensure() {
    local prefix
    prefix=$(trelvo_qt_windows_prefix) || return 1
    mkdir -p "$TRELVO_QT_WINDOWS_CACHE"
    # One build at a time per cache: a second script waits for the first and then reuses its work.
    local lock
    exec {lock}>"$TRELVO_QT_WINDOWS_CACHE/.lock"
    flock "$lock"
    if ! trelvo_qt_windows_complete "$prefix"; then
        # A folder without its stamp is what an interrupted move or a hand edit left: never used.
        rm -rf "$prefix"
        # Builds that were interrupted leave their temporary folders; they are never reused.
        rm -rf "$TRELVO_QT_WINDOWS_CACHE"/.build-*
        trelvo_qt_windows_build "$prefix" || { exec {lock}>&-; return 1; }
    fi
    exec {lock}>&-
    TRELVO_QT_WINDOWS_PREFIX=$prefix
    export TRELVO_QT_WINDOWS_PREFIX
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    set -euo pipefail
    source "$(dirname "${BASH_SOURCE[0]}")/deps.sh"
    trelvo_ensure_packages cmake ninja-build g++-mingw-w64-x86-64-posix qt6-base-dev dpkg-dev
    trelvo_qt_windows_ensure
    echo "$TRELVO_QT_WINDOWS_PREFIX"
fi
