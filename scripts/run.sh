#!/usr/bin/env bash
# Sets up the machine, builds Tessvane and renders an example scene off-screen.
#   scripts/run.sh [scene.iv [image.rgb|image.png]]
# Defaults: examples/plant.iv into out/plant.rgb (and a PNG copy beside it).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target tessvane >/dev/null
scene=${1:-examples/plant.iv}
image=${2:-out/$(basename "$scene" .iv).rgb}
mkdir -p "$(dirname "$image")"
xvfb-run -a -s "-screen 0 1280x1024x24" "$build/tessvane" -f "$scene" -os "$image"
case "$image" in
  *.rgb) /usr/bin/convert "$image" "${image%.rgb}.png" && echo "PNG copy: ${image%.rgb}.png" ;;
esac
