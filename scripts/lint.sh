#!/usr/bin/env bash
# Static analysis: clang-tidy with the checked-in .clang-tidy over the
# program's own code and the tests (tests/.clang-tidy keeps the checks that
# find faults there), and cppcheck over the program's code. Anything either
# reports fails the run, and what it reports is shown. Needs a configured
# build folder for its compile_commands.json (default build-checked).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build-checked}
bash scripts/ensure-packages.sh clang-tidy cppcheck
source scripts/build-options.sh
if [ ! -f "$build/compile_commands.json" ]; then
    cmake -S . -B "$build" "${build_options[@]}" >/dev/null
fi
mapfile -t sources < <(git ls-files 'toollib/*.cpp' 'schema/*.cpp' 'fullschema/*.cpp' 'dscontext/*.cpp' \
    'dsclient/*.cpp' 'tavler/*.cpp')
mapfile -t tests < <(git ls-files 'tests/*.cpp')

echo "== every source file in a build"
# Source lists are written out, not globbed: a file left out of them would
# silently not be built or run.
unlisted=0
# (A fuzz target's file is named after the target: NAME_fuzz.cpp.)
for file in $(git ls-files '*.cpp' ':!:tests/fuzz/corpus' ':!:tests/fuzz/*_fuzz.cpp'); do
    if ! git grep -q -F "$(basename "$file")" -- '*CMakeLists.txt'; then
        echo "not in any CMakeLists.txt: $file" >&2
        unlisted=1
    fi
done
[ "$unlisted" -eq 0 ]

echo "== clang-tidy"
# Its count of the warnings it filtered out is noise; its findings and any
# file it could not analyse are not.
printf '%s\n' "${sources[@]}" "${tests[@]}" |
    xargs -P "$jobs" -n 4 clang-tidy -p "$build" --quiet 2> >(grep -v -E '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$|^Suppressed [0-9]+ warnings|^Use -header-filter|^$' >&2)

echo "== cppcheck"
cppcheck --quiet --error-exitcode=1 --enable=warning,performance,portability --std=c++20 \
    --language=c++ --inline-suppr --suppress=missingIncludeSystem -I . "${sources[@]}"
