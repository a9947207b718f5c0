#!/usr/bin/env bash
# Runs the benchmarks (not part of the tests): builds the project, measures
# the recursion's cost inside one process, then times whole off-screen runs
# of the program. Prints markdown tables.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target tessvane bench_recursion >/dev/null

echo "## Benchmark run $(date -u '+%Y-%m-%d %H:%M UTC')"
echo
echo "Machine: $(nproc) cores, $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -1)," \
     "$(free -g | awk '/^Mem:/ {print $2}') GiB; Mesa $(dpkg-query -W -f='${Version}' libgl1-mesa-dri)," \
     "software rendering under Xvfb"
echo
xvfb-run -a -s "-screen 0 1280x1024x24" "$build/bench_recursion"

# The same binary tree as the in-process benchmark, at depth 16 and 20.
tree() {
  cat <<EOT
#Inventor V2.1 ascii
Separator {
  PerspectiveCamera { position 0 0 6 }
  DirectionalLight {}
  RecursionCalculator { expression "d=$1" }
  DEF Node Separator {
    RecursionSwitch {
      expression "d>0"
      Cube {}
      Group {
        RecursionCalculator { expression "d=d-1" }
        Scale { scaleFactor 0.5 0.5 0.5 }
        RotationXYZ { axis Z angle 1.5707963 }
        Separator { Translation { translation -1.2 0 0 } RecursionSeparator { USE Node } }
        Separator { Translation { translation 1.2 0 0 } RecursionSeparator { USE Node } }
      }
    }
  }
}
EOT
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo "### End to end: tessvane -f tree.iv -os out.rgb (640 x 480)"
echo
echo "| depth | cubes | wall time (s) | peak resident memory (MB) |"
echo "|---|---|---|---|"
for depth in 16 20; do
  tree "$depth" >"$work/tree$depth.iv"
  xvfb-run -a -s "-screen 0 1280x1024x24" /usr/bin/time -f "%e %M" -o "$work/time" \
    "$build/tessvane" -f "$work/tree$depth.iv" -os "$work/out.rgb" >/dev/null
  read -r wall kb <"$work/time"
  echo "| $depth | $((1 << depth)) | $wall | $((kb / 1024)) |"
done
