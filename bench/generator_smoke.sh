#!/usr/bin/env bash
# A small run of the benchmark generators against the program: the same seed
# gives the same bytes; a sorted file lists as itself and a shuffled one as
# the sorted one; a pair differs exactly when asked to; an LDIF schema lists
# every definition it holds.
#   usage: bench/generator_smoke.sh path/to/tavler_refgen path/to/tavler
set -euo pipefail
gen=$(realpath "$1")
tavler=$(realpath "$2")
ldifgen=$(dirname "$(realpath "$0")")/ldifgen.py
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

tiny=(--attributes 300 --classes 60 --seed 5)
python3 "$ldifgen" "${tiny[@]}" one.ldif
python3 "$ldifgen" "${tiny[@]}" --changed 0 first.ldif unchanged.ldif
cmp one.ldif first.ldif
cmp one.ldif unchanged.ldif
"$tavler" file:one.ldif /C /A > ldif-listing.txt 2> /dev/null
[ "$(grep -c '^benchClass' ldif-listing.txt)" -eq 60 ]
[ "$(grep -c '^benchAttribute' ldif-listing.txt)" -eq 300 ]
python3 "$ldifgen" "${tiny[@]}" --changed 0.2 first.ldif changed.ldif
status=0
"$tavler" --full file:first.ldif file:changed.ldif > full-report.txt 2> /dev/null || status=$?
[ "$status" -eq 1 ]
grep -q "^  benchAttribute" full-report.txt
echo "generator smoke run passed"
