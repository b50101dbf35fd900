#!/usr/bin/env bash
# Builds TAVLER for speed and measures it: the workloads against diff, sort,
# cat and libldap's parser run in the same invocation, warm and cold, the
# list run against delayed local servers, cold W1 again on a held-out
# workload, then the micro-benchmarks, each as a ratio to a floor measured
# beside it. Not part of the test suite. Exit status 1 when a limit is missed.
#   usage: bench/run.sh [rounds] [bench.py options...]
#          (run as root to install what is missing; with options, e.g. --only W7,W8,
#          only the run they ask for, without the held-out one)
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=11
if [[ ${1:-} =~ ^[0-9]+$ ]]; then
    rounds=$1
    shift
fi

bash scripts/ensure-packages.sh cmake g++ make pkg-config libgtest-dev libbenchmark-dev \
    python3 diffutils coreutils time
bash scripts/install-directory-packages.sh

source scripts/build-options.sh
build=build-bench
fresh_if_other_generator "$build"
cmake -S . -B "$build" "${build_options[@]}" -DCMAKE_BUILD_TYPE=Release -DTAVLER_BENCH=ON > /dev/null
cmake --build "$build" --parallel "$jobs" --target tavler tavler_refgen tavler_microbench \
    tavler_floor

tools=(--tavler "$build/tavler/tavler" --refgen "$build/tests/tavler_refgen"
       --floor "$build/tests/tavler_floor")
status=0
echo "== workloads (ratios of medians of alternating runs: $rounds rounds warm, 5 cold and big)"
python3 bench/bench.py "${tools[@]}" --rounds "$rounds" "$@" || status=1
if [ $# -eq 0 ]; then
    echo "== held-out workload (seed 7, names of 14 characters): W1 cold"
    python3 bench/bench.py "${tools[@]}" --rounds "$rounds" --seed 7 --name-length 14 \
        --only W1 --modes cold || status=1
fi

echo "== micro-benchmarks (ratios to the floor measured beside them)"
json=$(mktemp)
trap 'rm -f "$json"' EXIT
"$build/tests/tavler_microbench" --benchmark_repetitions=5 --benchmark_report_aggregates_only \
    --benchmark_format=json > "$json" 2> /dev/null
python3 - "$json" <<'PY'
import json, sys
runs = {b["run_name"]: b["real_time"] for b in json.load(open(sys.argv[1]))["benchmarks"]
        if b.get("aggregate_name") == "median"}
pairs = [("line reader / memchr over the same text", "LineReader", "MemchrFloor"),
         ("bulk insertion, shuffled / sorted", "AddAll/shuffled/200000", "AddAll/sorted/200000"),
         ("one at a time, shuffled / sorted", "AddEach/shuffled/2000", "AddEach/sorted/2000"),
         ("comparison / one walk over both names", "Compare", "NameWalkFloor")]
for what, a, b in pairs:
    print(f"     {what:40} {runs[a] / runs[b]:8.2f}")
PY
exit "$status"
