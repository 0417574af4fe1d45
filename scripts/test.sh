#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test; then builds and runs
# them again with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/install-deps.sh"

export QT_QPA_PLATFORM=offscreen

echo "== Build and test =="
bash "$root/scripts/build.sh" build
ctest --test-dir "$root/build" --output-on-failure -j 2

echo "== Build and test with sanitizers =="
bash "$root/scripts/build.sh" build-asan -DQUORVANE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
ctest --test-dir "$root/build-asan" --output-on-failure -j 2
echo "== All tests passed =="
