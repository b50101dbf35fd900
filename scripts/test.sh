#!/usr/bin/env bash
# Builds and runs the whole test suite: a formatting check, a checked build
# with warnings as errors, then the same suite under the address and
# undefined-behaviour sanitizers (leak detection on; the stored fuzz inputs
# are replayed in both), then a minute of fuzzing per fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/ensure-packages.sh cmake g++ make pkg-config libgtest-dev clang-format
# OpenLDAP's client library and Debian's schema files; never a running server.
bash scripts/install-directory-packages.sh

echo "== formatting"
mapfile -t sources < <(git ls-files '*.cpp' '*.h' 2>/dev/null || find . -name '*.cpp' -o -name '*.h')
clang-format --dry-run --Werror "${sources[@]}"

for variant in checked sanitized; do
    dir="build-$variant"
    flags=(-DTAVLER_WERROR=ON -DCMAKE_BUILD_TYPE=Debug)
    [ "$variant" = sanitized ] && flags+=(-DTAVLER_SANITIZE=ON)
    echo "== $variant build"
    cmake -S . -B "$dir" "${flags[@]}" >/dev/null
    cmake --build "$dir" --parallel 2
    echo "== $variant tests"
    # Any report of the sanitizers ends its program with a failure status,
    # which fails the test that ran it.
    (cd "$dir" && ASAN_OPTIONS=detect_leaks=1:fast_unwind_on_malloc=0 UBSAN_OPTIONS=print_stacktrace=1 \
        LSAN_OPTIONS=suppressions="$PWD/../tests/lsan.supp" \
        ctest --output-on-failure --parallel 2)
done

bash scripts/lint.sh build-checked

echo "== fuzzing"
bash scripts/fuzz.sh 60
