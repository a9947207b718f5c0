#!/usr/bin/env bash
# Builds the libFuzzer targets in build-fuzz (clang, coverage instrumentation
# and UndefinedBehaviorSanitizer) and runs one of them at the lowest priority.
#   scripts/fuzz.sh expression|scene SECONDS [libFuzzer options...]
# expression: arbitrary text as the expression of a recursion calculator and
#   of a recursion switch: rewriting, engine construction, one evaluation.
# scene: arbitrary bytes as a scene file: load, set-up, one callback
#   traversal making the shapes' primitives, a bounding box, tear-down and
#   release.
# The corpus grows in build-fuzz/corpus/TARGET (never in git), seeded from
# tests/fuzz/seeds, the examples and tests/bad_input; crashing inputs land in
# build-fuzz/findings/TARGET. With -fork=1 a crash that smashes the stack is
# still saved (a parent process watches the fuzzing one), and -ignore_crashes=1
# goes on after it.
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:?usage: scripts/fuzz.sh expression|scene SECONDS [libFuzzer options...]}
seconds=${2:?usage: scripts/fuzz.sh expression|scene SECONDS [libFuzzer options...]}
shift 2
case "$target" in
  expression|scene) ;;
  *) echo "fuzz.sh: unknown target '$target' (expression or scene)" >&2; exit 2 ;;
esac
scripts/setup.sh
build=${FUZZ_BUILD_DIR:-build-fuzz}
CC=clang CXX=clang++ flock /tmp/tessvane-build.lock \
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSVANE_FUZZ=ON \
  -DTESSVANE_SANITIZE=undefined >/dev/null
flock /tmp/tessvane-build.lock cmake --build "$build" -j"$(nproc)" --target "fuzz_$target" >/dev/null

corpus=$build/corpus/$target
findings=$build/findings/$target
mkdir -p "$corpus" "$findings"
if [ "$target" = expression ]; then
  seeds=(tests/fuzz/seeds/expression)
  # Every expression of the examples, one file each.
  grep -ho 'expression "[^"]*"' examples/*.iv | sed 's/^expression "//; s/"$//' | sort -u |
    while IFS= read -r text; do
      printf '%s' "$text" >"$corpus/example-$(printf '%s' "$text" | md5sum | cut -c1-12)"
    done
else
  seeds=(examples tests/data tests/bad_input)
fi
log=$build/fuzz-$target.log
# The toolkit never frees the nodes of a scene whose read fails, and keeps
# every global field and name it has seen, so a long run grows (about 3 GB in
# 30 minutes of the scene target): the memory limit is set well above that.
nice -n 19 "$build/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=30 \
  -rss_limit_mb=${FUZZ_RSS_MB:-12288} -close_fd_mask=3 -print_final_stats=1 \
  -dict="tests/fuzz/$target.dict" -artifact_prefix="$findings/" "$@" \
  "$corpus" "${seeds[@]}" >"$log" 2>&1 || status=$?
# The last status line (with -fork=N, the jobs' summary), then the findings.
grep -E '^#[0-9]+' "$log" | tail -1 || true
grep -E '^stat::|SUMMARY|Test unit written' "$log" || true
echo "findings: $(ls "$findings" | wc -l) files in $findings"
echo "corpus: $(ls "$corpus" | wc -l) files; log: $log"
exit "${status:-0}"
