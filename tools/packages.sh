#!/usr/bin/env bash
# Installs the Debian packages the game and its tests need, if any is missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libsdl2-dev libsdl2-image-dev libsdl2-ttf-dev libx11-dev
  librsvg2-bin fonts-dejavu-core fonts-dejavu-extra
)
if [ "${1:-}" = "--tests" ]; then
  packages+=(
    libgtest-dev libbenchmark-dev
    clang libclang-rt-14-dev
    xvfb xdotool x11-xkb-utils xfonts-base python3 python3-xlib
    valgrind
    lintian desktop-file-utils appstream openbox
  )
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
