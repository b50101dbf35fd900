#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, address and undefined-behaviour
# sanitizers) and runs each of them for SECONDS (default 60), one per core at a time,
# starting from the stored inputs in tests/fuzz/corpus/NAME. Any crash, leak,
# timeout or broken property fails the run; what was found is kept under
# build-fuzz/findings/NAME.
#
#   bash scripts/fuzz.sh            # a minute per target, as the CI does
#   bash scripts/fuzz.sh 3600       # an hour per target
#   bash scripts/fuzz.sh 3600 keep  # and merge the new inputs into the stored ones
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
keep=${2:-}
targets=(reffile driver schemasource replybuffer fullschema ldiflines)

bash scripts/ensure-packages.sh clang libclang-rt-14-dev cmake make pkg-config
bash scripts/install-directory-packages.sh
source scripts/build-options.sh
source scripts/sanitizer-options.sh
fresh_if_other_generator build-fuzz
CXX=clang++ cmake -S . -B build-fuzz "${build_options[@]}" -DTAVLER_FUZZ=ON -DTAVLER_TESTS=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz --parallel "$jobs" >/dev/null

run() {
    local name=$1 work=build-fuzz/findings/$1
    rm -rf "$work" && mkdir -p "$work/corpus"
    cp tests/fuzz/corpus/"$name"/* "$work/corpus/"
    if build-fuzz/tests/fuzz/"${name}_fuzz" -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=2048 -max_len=32768 -print_final_stats=1 -artifact_prefix="$work/" \
        "$work/corpus" >"$work/log" 2>&1; then
        local stats
        stats=$(grep -E '^#[0-9]+.*(DONE|pulse|NEW|REDUCE)' "$work/log" | tail -n 1)
        echo "$name: ${stats:-no statistics}"
    else
        echo "$name: FAILED, see $work/log"
        tail -n 30 "$work/log"
        return 1
    fi
}

status=0
for ((i = 0; i < ${#targets[@]}; i += jobs)); do
    pids=()
    for name in "${targets[@]:i:jobs}"; do
        run "$name" &
        pids+=($!)
    done
    for pid in "${pids[@]}"; do
        wait "$pid" || status=1
    done
done

if [ "$status" -eq 0 ] && [ "$keep" = keep ]; then
    for name in "${targets[@]}"; do
        build-fuzz/tests/fuzz/"${name}_fuzz" -merge=1 tests/fuzz/corpus/"$name" \
            build-fuzz/findings/"$name"/corpus >/dev/null 2>&1
    done
fi
exit "$status"
