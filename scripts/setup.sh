#!/usr/bin/env bash
# Installs what Velmora needs on Debian 12 when it is missing (as root, or through sudo).
# Sourced by the other scripts; safe to run again.
set -euo pipefail

VELMORA_PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-image-formats-plugins qt6-translations-l10n libgl-dev
  libgif-dev libimagequant-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-noto-cjk clang libclang-rt-14-dev
  desktop-file-utils appstream time
  libexiv2-dev libpng-dev libjpeg-dev libheif-dev zlib1g-dev imagemagick libjpeg-turbo-progs
)

velmora_install_missing() {
  local missing=()
  for package in "${VELMORA_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' \
      || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local run_as_root=()
  [ "$(id -u)" -eq 0 ] || run_as_root=(sudo)
  "${run_as_root[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${run_as_root[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
}

# velmora_build DIR [cmake options...]: configures and builds into DIR.
velmora_build() {
  local dir=$1
  shift
  cmake -S "$VELMORA_ROOT" -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$(nproc)"
}

VELMORA_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export VELMORA_ROOT

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  velmora_install_missing
  velmora_build "$VELMORA_ROOT/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
