#!/usr/bin/env bash
# Builds the fuzz targets (clang's libFuzzer) in build-fuzz and runs each for
# SECONDS (default 10): first on every input of its corpus in
# tests/fuzz/corpus/<target>/ (the seeds and the regression cases of faults
# found before), then fuzzing from there. Installs what is missing first.
# Fails on the first target that crashes, hangs or breaks a property; the
# input that did it is left in build-fuzz/crashes/<target>/.
#
#   fuzz.sh [SECONDS] [TARGET...]
#
# Longer runs: FUZZ_OPTIONS adds libFuzzer options (for example
# FUZZ_OPTIONS="-runs=10000000" with SECONDS 1800); the inputs each run finds
# are kept in build-fuzz/corpus/<target>/ and used again by the next run.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-10}"
shift || true
bash "$root/scripts/install-deps.sh" --fuzz

build="$root/build-fuzz"
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=true
fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Fuzz -DCMAKE_CXX_FLAGS_FUZZ="-O1" \
  -DCMAKE_CXX_COMPILER=clang++ -DQUORVANE_FUZZ=ON "${launcher[@]}" >/dev/null
cmake --build "$build" --target fuzz_targets -j "$(nproc)"

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for dir in "$root"/tests/fuzz/corpus/*/; do
    targets+=("$(basename "$dir")")
  done
fi

# Preset and preference inputs are written to a file each run.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
  export TMPDIR=/dev/shm
fi
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"

for target in "${targets[@]}"; do
  program="$build/tests/fuzz/$target"
  seeds="$root/tests/fuzz/corpus/$target"
  corpus="$build/corpus/$target"
  crashes="$build/crashes/$target"
  mkdir -p "$corpus" "$crashes"
  echo "== $target: ${seconds} s"
  # Every committed input must pass as it is.
  "$program" -timeout=10 "$seeds"/* >"$build/$target.seeds.log" 2>&1 || {
    cat "$build/$target.seeds.log"
    echo "FAILED: $target fails on an input of $seeds" >&2
    exit 1
  }
  # shellcheck disable=SC2086
  if ! "$program" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -print_final_stats=1 \
      -artifact_prefix="$crashes/" ${FUZZ_OPTIONS:-} "$corpus" "$seeds" >"$build/$target.log" 2>&1; then
    tail -n 60 "$build/$target.log"
    echo "FAILED: $target: the input is in $crashes/" >&2
    exit 1
  fi
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$build/$target.log")"
  echo "$target: ${runs:-?} executions, no fault"
done
