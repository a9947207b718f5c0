#!/usr/bin/env bash
# Renders every example with the program's own off-screen renderer into
# docs/gallery/NAME.png (480 x 360) for the README.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
mkdir -p docs/gallery
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for scene in examples/*.iv; do
  name=$(basename "$scene" .iv)
  xvfb-run -a -s "-screen 0 1280x1024x24" "$build/tessvane" -f "$scene" -os "$work/$name.rgb" \
    -w 480 -h 360 >/dev/null
  /usr/bin/convert "$work/$name.rgb" "docs/gallery/$name.png"
  echo "docs/gallery/$name.png"
done
