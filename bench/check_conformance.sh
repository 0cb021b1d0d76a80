#!/bin/sh
# Runs every reference fill through velmora-erase and compares the result pixel for pixel.
# usage: check_conformance.sh BUILD_DIR [CONFORMANCE_DIR]
set -u
build=${1:?build directory}
cases=${2:-$(dirname "$0")/../../shared/conformance}
erase="$build/src/cli/velmora-erase"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
tail -n +2 "$cases/cases.tsv" | while IFS="$(printf '\t')" read -r name input selection source seed expected marked sources progress; do
    case $selection in
        rect:*) select="--rect ${selection#rect:}" ;;
        mask:*) select="--mask $cases/${selection#mask:}" ;;
    esac
    extra=""
    [ "$source" != "-" ] && extra="--source-rect $source"
    # shellcheck disable=SC2086
    report=$("$erase" "$cases/$input" -o "$out/$name.png" $select $extra --seed "$seed" --quiet 2>/dev/null)
    differing=$(compare -metric AE "$cases/$expected" "$out/$name.png" null: 2>&1)
    counts="marked=$marked sources=$sources progress=$progress"
    case $report in
        "$counts "*) ;;
        *) counts="MISMATCH ($report, expected $counts)" ;;
    esac
    printf '%-22s differing pixels: %s  %s\n' "$name" "$differing" "$counts"
done | tee "$out/report.txt"
# Every case must match pixel for pixel, with the expected counts.
if grep -q -v 'differing pixels: 0  marked' "$out/report.txt"; then
    echo "conformance: FAILED"
    exit 1
fi
echo "conformance: all cases identical"
