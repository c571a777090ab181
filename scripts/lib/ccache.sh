# Compiles through ccache, with its cache outside the tree, so a second run of the test command
# (or a fresh clone on the same machine) compiles only what changed. Sourced by the build scripts.
# Paths below the checkout are hashed relative to it, so two clones share their cached objects.
if command -v ccache >/dev/null; then
    export CCACHE_DIR=${CCACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/ccache}
    export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD}
    export CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
    export CMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER:-ccache}
    export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}
fi
