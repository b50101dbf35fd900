#!/usr/bin/env bash
# Builds and runs the whole test suite: a formatting check, a checked build
# (Release, warnings as errors: some warnings only optimisation finds), then
# the same suite in a Debug build under the address and undefined-behaviour
# sanitizers (with -Wshadow and the standard library's assertions; the stored
# fuzz inputs are replayed in both), static analysis, then a minute of
# fuzzing per fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/ensure-packages.sh cmake g++ make ninja-build ccache pkg-config libgtest-dev \
    clang-format python3
bash scripts/install-directory-packages.sh
source scripts/build-options.sh

echo "== formatting"
mapfile -t sources < <(git ls-files '*.cpp' '*.h' 2>/dev/null || find . -name '*.cpp' -o -name '*.h')
clang-format --dry-run --Werror "${sources[@]}"

for variant in checked sanitized; do
    dir="build-$variant"
    flags=("${build_options[@]}" -DTAVLER_WERROR=ON)
    if [ "$variant" = sanitized ]; then
        flags+=(-DCMAKE_BUILD_TYPE=Debug -DTAVLER_SANITIZE=ON)
    else
        flags+=(-DCMAKE_BUILD_TYPE=Release)
    fi
    echo "== $variant build"
    fresh_if_other_generator "$dir"
    cmake -S . -B "$dir" "${flags[@]}" >/dev/null
    cmake --build "$dir" --parallel "$jobs"
    echo "== $variant tests"
    (
        [ "$variant" = sanitized ] && source scripts/sanitizer-options.sh
        cd "$dir" && ctest --output-on-failure --parallel "$jobs"
    )
done

bash scripts/lint.sh build-checked

echo "== fuzzing"
bash scripts/fuzz.sh 60
