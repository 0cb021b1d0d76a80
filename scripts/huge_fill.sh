#!/usr/bin/env bash
# The fill on a 24-megapixel photograph (6000 x 4000, a centred third of it selected) through the
# document, as the desktop program runs it: stopped after the first report, after 2 and 5 reports
# and after 30 seconds, then once to its end. Each run is measured with /usr/bin/time -v; every
# line gives the tool's figures and the peak resident memory.
# Usage: bash scripts/huge_fill.sh [--stops-only]
# WIDTH and HEIGHT change the size; VELMORA_HUGE_BUILD the build folder (default build/).
set -euo pipefail
source "$(dirname "$0")/setup.sh"
velmora_install_missing

dir=${VELMORA_HUGE_BUILD:-$VELMORA_ROOT/build}
cmake -S "$VELMORA_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$dir" --target velmora-huge-fill -j "$(nproc)"
tool="$dir/tests/robustness/velmora-huge-fill"
export QT_QPA_PLATFORM=offscreen

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"$tool" --make "$scratch/photo.jpg" --width "${WIDTH:-6000}" --height "${HEIGHT:-4000}"

run() {
  local label=$1
  shift
  /usr/bin/time -v "$tool" --picture "$scratch/photo.jpg" "$@" >"$scratch/out" 2>"$scratch/time" || {
    cat "$scratch/time" >&2
    return 1
  }
  local peak
  peak=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$scratch/time")
  echo "== $label: $(cat "$scratch/out") max_rss_kb=$peak"
}

run "stopped at the first entry" --stop-after-reports 1
run "stopped after 2 reports" --stop-after-reports 2
run "stopped after 5 reports" --stop-after-reports 5
run "stopped after 30 s" --stop-after-seconds 30
if [ "${1:-}" != --stops-only ]; then
  run "complete" --save "$scratch/filled.jpg"
fi
