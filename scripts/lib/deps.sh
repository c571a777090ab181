# Installs the Debian packages a script needs when any is missing (root; apt-get update once).
# Sourced by the scripts in scripts/.

# Everything to build and run the programs.
TRELVO_BUILD_PACKAGES=(
    g++ cmake ninja-build pkg-config
    qt6-base-dev libusb-1.0-0-dev nlohmann-json3-dev libcli11-dev
    fonts-dejavu-core fonts-wine
)
# What the test suite needs on top: GoogleTest and Google Benchmark, the USB emulation, a
# headless X server for screenshots, tshark to read wire captures back, clang's libFuzzer, the
# Windows cross toolchain and Wine, bash-completion to try trelvo-cli's completion in, and ccache
# so a second run compiles only what changed.
TRELVO_TEST_PACKAGES=(
    googletest libgtest-dev libgmock-dev libbenchmark-dev bash-completion ccache
    clang-14 libclang-rt-14-dev
    umockdev libumockdev-dev libglib2.0-dev libudev-dev
    xvfb xauth x11-utils imagemagick xdotool
    tshark
    g++-mingw-w64-x86-64-posix wine
)

# What scripts/package needs on top of the build packages (it runs in every test run): CPack's
# shlibs lookup (dpkg-dev, which also unpacks Qt's source for the Windows build), the udev
# folder, the icon renderer, the manual generator, the checkers, the Windows cross build with
# Wine, zip, the Windows icon maker and the installer maker.
TRELVO_PACKAGE_PACKAGES=(
    dpkg-dev udev librsvg2-bin help2man lintian desktop-file-utils appstream
    g++-mingw-w64-x86-64-posix wine zip unzip nsis icoutils
)
# scripts/package --check: a bare Debian root to install the package into.
TRELVO_PACKAGE_CHECK_PACKAGES=(mmdebstrap imagemagick)

trelvo_missing_packages() {
    local pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}\n' "$pkg" 2>/dev/null | grep -q '^install ok installed$' ||
            echo "$pkg"
    done
}

trelvo_ensure_packages() {
    local missing
    missing=$(trelvo_missing_packages "$@")
    [ -z "$missing" ] && return 0
    echo "Installing missing packages:" $missing
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -q
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends $missing
}
