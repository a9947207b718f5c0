#!/usr/bin/env bash
# Sets up the machine, builds everything and runs the whole test suite.
# Tests that need a display run under an Xvfb server started here.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
if ! cmake --build "$build" -j"$(nproc)" >"$build/build.log" 2>&1; then
  cat "$build/build.log"
  exit 1
fi
cd "$build"
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure "$@"
