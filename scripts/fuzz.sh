#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each on its corpus for SECONDS (default 20).
# New inputs go to a scratch folder; the corpora in fuzz/corpus stay as committed.
# Usage: bash scripts/fuzz.sh [SECONDS]
set -euo pipefail
source "$(dirname "$0")/setup.sh"
velmora_install_missing
seconds=${1:-20}
dir="$VELMORA_ROOT/build-fuzz"
CC=clang CXX=clang++ cmake -S "$VELMORA_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVELMORA_FUZZ=ON -DVELMORA_BUILD_TESTS=OFF -DVELMORA_BUILD_BENCH=OFF \
  -DVELMORA_SANITIZE=fuzzer-no-link,address,undefined >/dev/null
cmake --build "$dir" --target fuzz_targets -j "$(nproc)"
for target in erase_arguments selection_masks fill_engine open_image; do
  scratch=$(mktemp -d)
  echo "== fuzzing $target for ${seconds}s"
  status=0
  QT_QPA_PLATFORM=offscreen "$dir/fuzz/${target}_fuzz" -max_total_time="$seconds" -timeout=20 \
    -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$scratch/" \
    "$scratch" "$VELMORA_ROOT/fuzz/corpus/$target" >"$scratch/log" 2>&1 || status=$?
  grep -E 'stat::number_of_executed_units|ERROR|SUMMARY|Done' "$scratch/log" || true
  if [ "$status" -ne 0 ]; then
    tail -n 60 "$scratch/log"
    echo "fuzz target $target failed (exit $status); the input that failed is in $scratch"
    exit "$status"
  fi
  rm -rf "$scratch"
done
