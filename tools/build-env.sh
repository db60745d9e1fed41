# Sourced by the drivers: compiler caching when ccache is there.  Only a build folder's first
# configure reads these; results never depend on them.
if command -v ccache >/dev/null 2>&1; then
    export CMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER:-ccache}
    export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}
    # Clones in other folders (CI, worktrees) share the cache.
    export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(pwd)}
    export CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
fi
