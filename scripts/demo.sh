#!/usr/bin/env bash
# Sets up and builds Velmora, then erases the ladybird from the bundled sample photograph.
# With a display and the desktop program built, the program opens on the sample instead.
set -euo pipefail
source "$(dirname "$0")/setup.sh"
velmora_install_missing
velmora_build "$VELMORA_ROOT/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo

sample="$VELMORA_ROOT/assets/sample/ladybird.jpg"
program="$VELMORA_ROOT/build/src/app/velmora"
if { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; } && [ -x "$program" ]; then
  exec "$program" "$sample"
fi

result="$VELMORA_ROOT/build/demo/ladybird-erased.png"
mkdir -p "$(dirname "$result")"
"$VELMORA_ROOT/build/src/cli/velmora-erase" "$sample" -o "$result" \
  --polygon "$(cat "$VELMORA_ROOT/assets/sample/ladybird.polygon")"
echo "The ladybird is gone: $result"
