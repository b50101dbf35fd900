#!/usr/bin/env bash
# Static analysis of the program's own code (the libraries and the driver,
# not the tests): clang-tidy with the checked-in .clang-tidy, and cppcheck.
# Either one reporting anything fails the run. Needs a configured build
# folder for its compile_commands.json (default build-checked).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build-checked}
bash scripts/ensure-packages.sh clang-tidy cppcheck
if [ ! -f "$build/compile_commands.json" ]; then
    cmake -S . -B "$build" >/dev/null
fi
mapfile -t sources < <(git ls-files 'toollib/*.cpp' 'schema/*.cpp' 'dscontext/*.cpp' \
    'dsclient/*.cpp' 'tavler/*.cpp')

echo "== clang-tidy"
# Two at a time: the machine has two cores.
printf '%s\n' "${sources[@]}" | xargs -P 2 -n 4 clang-tidy -p "$build" --quiet 2>/dev/null

echo "== cppcheck"
cppcheck --quiet --error-exitcode=1 --enable=warning,performance,portability --std=c++20 \
    --language=c++ --inline-suppr --suppress=missingIncludeSystem -I . "${sources[@]}"
