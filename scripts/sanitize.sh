#!/usr/bin/env bash
# Sanitizer and memcheck runs; not part of scripts/test.sh.
#   scripts/sanitize.sh undefined  every target built with UndefinedBehaviorSanitizer
#                                  (build-ubsan); the whole test suite under Xvfb
#   scripts/sanitize.sh address    the parts that do not need the toolkit's fields, built with
#                                  AddressSanitizer (build-asan): option parser, image
#                                  writers, expression rewriting
#   scripts/sanitize.sh memcheck   valgrind memcheck on the normal build (build): one
#                                  off-screen render, the runtime tests, the reload soak
#   scripts/sanitize.sh            all three
# AddressSanitizer cannot run the rest: the 64-bit toolkit keeps a field's
# offset from its container in 32 bits, and the sanitizer's allocator places
# fields too far apart. Every step ends the script with status 1 on a finding.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
steps=("$@")
[ ${#steps[@]} -eq 0 ] && steps=(undefined address memcheck)
xvfb=(xvfb-run -a -s "-screen 0 1280x1024x24")

configure_and_build() { # build-dir sanitizer targets...
  local dir=$1 sanitizer=$2
  shift 2
  flock /tmp/tessvane-build.lock cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTESSVANE_SANITIZE="$sanitizer" >/dev/null
  local targets=()
  for t in "$@"; do targets+=(--target "$t"); done
  if ! flock /tmp/tessvane-build.lock cmake --build "$dir" -j"$(nproc)" "${targets[@]}" \
      >"$dir/build.log" 2>&1; then
    cat "$dir/build.log"
    exit 1
  fi
}

prefix=() # what valgrind runs under
memcheck() { # log-name command...
  local log=build/memcheck-$1.log
  shift
  echo "memcheck: $* (log: $log)"
  "${prefix[@]}" valgrind --tool=memcheck --error-exitcode=1 --leak-check=full --show-leak-kinds=definite \
    --errors-for-leak-kinds="${LEAK_KINDS:-definite}" --num-callers=30 \
    --suppressions=scripts/valgrind.supp --log-file="$log" "$@" >"$log.out" 2>&1 ||
    { cat "$log.out"; grep -E "ERROR SUMMARY|definitely lost:" "$log"; return 1; }
  grep -E "ERROR SUMMARY|definitely lost:" "$log"
}

for step in "${steps[@]}"; do
  case "$step" in
    undefined)
      configure_and_build build-ubsan undefined all
      (cd build-ubsan && UBSAN_OPTIONS=print_stacktrace=1 "${xvfb[@]}" ctest --output-on-failure)
      ;;
    address)
      configure_and_build build-asan address option_tests rgb_image_writer_tests \
        png_image_writer_tests runtime_tests
      (cd build-asan && ctest --output-on-failure -R '^(option|rgb_image_writer|png_image_writer)_tests$')
      build-asan/tests/runtime_tests --gtest_filter='ExpressionRewriting.*' --gtest_brief=1
      ;;
    memcheck)
      flock /tmp/tessvane-build.lock cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
      flock /tmp/tessvane-build.lock cmake --build build -j"$(nproc)" >build/build.log 2>&1 ||
        { cat build/build.log; exit 1; }
      image=$(mktemp --suffix=.rgb)
      trap 'rm -f "$image"' EXIT
      prefix=("${xvfb[@]}")
      memcheck offscreen build/tessvane -f examples/plant.iv -os "$image"
      prefix=()
      # Scenes that fail to read leave the nodes read so far to the toolkit, which
      # never frees them; leaks are judged by the soak, whose reads all succeed.
      LEAK_KINDS=none memcheck runtime build/tests/runtime_tests
      TESSVANE_SOAK_CYCLES=3 memcheck soak build/tests/reload_soak_tests
      ;;
    *) echo "sanitize.sh: unknown step '$step' (undefined, address or memcheck)" >&2; exit 2 ;;
  esac
done
