#!/usr/bin/env bash
# Installs every Debian 12 package Tessvane needs to build, run and test.
# Idempotent: when everything is already present it prints nothing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  inventor-dev inventor-data libmotif-dev
  libgl1-mesa-dev libglu1-mesa-dev libgl1-mesa-dri libglx-mesa0 libegl-dev libegl-mesa0
  libpng-dev
  xvfb xauth x11-utils xdotool imagemagick
  googletest libgtest-dev
  valgrind python3 time
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

echo "setup: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq >/dev/null
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
