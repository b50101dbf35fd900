#!/usr/bin/env bash
# Times listing and self-comparison of a large generated schema whose
# definitions arrive in no particular order, against `sort` of the same file
# as the reference command measured in the same run. Prints ratios only.
#   usage: bench/listing_bench.sh [path/to/tavler] [classes]
set -euo pipefail
bin=$(realpath "${1:-build-release/tavler/tavler}")
classes=${2:-60000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Class names in a scrambled order, each with flags and eight optional attributes.
awk -v n="$classes" 'BEGIN {
    print ""; print "Class Definitions"
    for (i = 0; i < n; i++) {
        k = (i * 7919) % n
        printf "Class %07d\n\tFlags\n\t\tDS_CONTAINER_CLASS\n\tOptional Attributes\n", k
        for (j = 0; j < 8; j++) printf "\t\tAttr %03d\n", (k + j * 31) % 200
    }
    print ""; print "Attribute Definitions"
    for (i = 0; i < n; i++) printf "Attr %07d\n\tSyntax\n\t\tSYN_CI_STRING\n", (i * 104729) % n
    print ""; print "Syntax Definitions"
    for (i = 0; i < 30; i++) printf "Syntax %02d\n\tFlags\n\t\tDS_STRING\n", i
}' > "$work/big.ref"

best() {  # best wall time in ns of three runs of the command
    local min=0
    for _ in 1 2 3; do
        local t0 t1
        t0=$(date +%s%N)
        "$@" > /dev/null 2>&1 || true
        t1=$(date +%s%N)
        local d=$((t1 - t0))
        if [ "$min" -eq 0 ] || [ "$d" -lt "$min" ]; then min=$d; fi
    done
    echo "$min"
}

# Words that begin with "/" are switches, so the schema is named relative to the work folder.
cd "$work"
ref=$(best sort big.ref)
list=$(best "$bin" big.ref)
cmp=$(best "$bin" big.ref big.ref)
echo "schema: $classes classes, $classes attributes, $(wc -c < big.ref) bytes"
awk -v r="$ref" -v l="$list" -v c="$cmp" 'BEGIN {
    printf "listing    / sort: %.2f\n", l / r
    printf "comparison / sort: %.2f\n", c / r
}'
