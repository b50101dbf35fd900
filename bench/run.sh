#!/usr/bin/env bash
# Builds TAVLER for speed and measures it: the workloads against diff, sort
# and cat run in the same invocation, then the micro-benchmarks, each as a
# ratio to a floor measured beside it. Not part of the test suite.
#   usage: bench/run.sh [rounds]      (run as root to install what is missing)
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-11}

bash scripts/ensure-packages.sh cmake g++ make pkg-config libgtest-dev libbenchmark-dev \
    python3 diffutils coreutils
bash scripts/install-directory-packages.sh

source scripts/build-options.sh
build=build-bench
fresh_if_other_generator "$build"
cmake -S . -B "$build" "${build_options[@]}" -DCMAKE_BUILD_TYPE=Release -DTAVLER_BENCH=ON > /dev/null
cmake --build "$build" --parallel "$jobs" --target tavler tavler_refgen tavler_microbench

echo "== workloads (ratios of medians of $rounds alternating runs)"
python3 bench/bench.py --tavler "$build/tavler/tavler" --refgen "$build/tests/tavler_refgen" \
    --rounds "$rounds" || true

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
