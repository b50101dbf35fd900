#!/usr/bin/env bash
# A small run of the benchmark generator against the program: the same seed
# gives the same bytes; a sorted file lists as itself and a shuffled one as
# the sorted one; a pair differs exactly when asked to.
#   usage: bench/generator_smoke.sh path/to/tavler_refgen path/to/tavler
set -euo pipefail
gen=$(realpath "$1")
tavler=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

small=(--classes 300 --attributes 900 --syntaxes 7 --members 12 --seed 5)
"$gen" "${small[@]}" sorted.ref
"$gen" "${small[@]}" again.ref
cmp sorted.ref again.ref
"$gen" "${small[@]}" --order shuffled shuffled.ref
! cmp -s sorted.ref shuffled.ref

"$tavler" sorted.ref > listed.ref 2> /dev/null
cmp sorted.ref listed.ref
"$tavler" shuffled.ref > listed-shuffled.ref 2> /dev/null
cmp sorted.ref listed-shuffled.ref

"$gen" "${small[@]}" --differ 0 a.ref same.ref
"$tavler" a.ref same.ref > /dev/null 2>&1
"$gen" "${small[@]}" --differ 0.2 a.ref other.ref
status=0
"$tavler" a.ref other.ref > report.txt 2> /dev/null || status=$?
[ "$status" -eq 1 ]
grep -q "^Definition differences for OTHER.REF" report.txt
echo "generator smoke run passed"
