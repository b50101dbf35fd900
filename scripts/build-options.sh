# Sourced, not run: what every build of the scripts shares. Ninja and ccache
# when the machine has them (a rebuild then compiles only what changed, and
# a fresh folder takes what an earlier build compiled from the cache), and
# as many jobs as the machine has cores.
build_options=()
if command -v ninja >/dev/null 2>&1; then
    build_options+=(-G Ninja)
fi
if command -v ccache >/dev/null 2>&1; then
    build_options+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    # Builds in other folders of the same tree share what they compiled.
    export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD}
fi
jobs=$(nproc)

# A build folder made with another generator cannot be used with this one.
fresh_if_other_generator() {
    local cache=$1/CMakeCache.txt wanted=Ninja
    command -v ninja >/dev/null 2>&1 || wanted="Unix Makefiles"
    if [ -f "$cache" ] && ! grep -qx "CMAKE_GENERATOR:INTERNAL=$wanted" "$cache"; then
        rm -rf "$1"
    fi
}
