#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test; then builds and runs
# them again with AddressSanitizer and UndefinedBehaviorSanitizer, and checks
# that those really catch a fault of ours; last, a short run of every fuzz
# target (scripts/fuzz.sh).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/install-deps.sh"

export QT_QPA_PLATFORM=offscreen

echo "== Build and test =="
bash "$root/scripts/build.sh" build
ctest --test-dir "$root/build" --output-on-failure -j 2

echo "== Install and Debian package =="
bash "$root/scripts/check-install.sh" "$root/build"

echo "== Build and test with sanitizers =="
bash "$root/scripts/build.sh" build-asan -DQUORVANE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DQUORVANE_BENCH=OFF
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
ctest --test-dir "$root/build-asan" --output-on-failure -j 2

echo "== Sanitizers catch our faults =="
canary="$root/build-asan/tests/ci_tst_canary"
log="$(mktemp)"
trap 'rm -f "$log"' EXIT
for check in "leak:ERROR: LeakSanitizer" "ub:runtime error:" "overflow:ERROR: AddressSanitizer"; do
  kind="${check%%:*}"
  report="${check#*:}"
  if QUORVANE_CANARY="$kind" "$canary" >"$log" 2>&1; then
    cat "$log"
    echo "FAILED: the sanitizer run did not fail on a deliberate $kind" >&2
    exit 1
  fi
  if ! grep -q "$report" "$log"; then
    cat "$log"
    echo "FAILED: no \"$report\" report for a deliberate $kind" >&2
    exit 1
  fi
  echo "deliberate $kind: caught"
done
echo "== Fuzz smoke =="
# Every parser's fuzz target on its corpus, then 5 s of fuzzing each.
bash "$root/scripts/fuzz.sh" 5

echo "== All tests passed =="
