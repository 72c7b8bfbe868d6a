#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UndefinedBehavior-
# Sanitizer) and runs each for a bounded time from its seed corpus in
# fuzz/corpus/<target>. Any crash, leak, sanitizer report or failed check
# fails the script; the failing input is kept in build-fuzz/artifacts.
# FUZZ_SECONDS sets the time per target (default 30).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh clang libclang-rt-14-dev

BUILD=build-fuzz
SECONDS_PER_TARGET="${FUZZ_SECONDS:-30}"
TARGETS=(element_deserialize header_skip frustrum_calls host_file transmit_receive occt_receive)

CC=clang CXX=clang++ cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMV_BUILD_FUZZ=ON -DMV_BUILD_TESTS=OFF -DMV_BUILD_TOOLS=OFF -DMV_SANITIZE="address;undefined"
cmake --build "$BUILD" -j2 --target "${TARGETS[@]/#/fuzz_}"

mkdir -p "$BUILD/artifacts" "$BUILD/logs"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
# Memory OCCT keeps until exit (the Open CASCADE adapter's target).
export LSAN_OPTIONS=suppressions="$PWD/scripts/lsan-occt.supp":print_suppressions=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
for target in "${TARGETS[@]}"; do
  echo "== fuzz $target (${SECONDS_PER_TARGET}s)"
  # New inputs go to the scratch corpus; the seeds in the tree stay as they are.
  work="$BUILD/corpus/$target"
  mkdir -p "$work"
  log="$BUILD/logs/$target.log"
  if ! "$BUILD/fuzz/fuzz_$target" -max_total_time="$SECONDS_PER_TARGET" -print_final_stats=1 \
      -artifact_prefix="$BUILD/artifacts/$target-" "$work" "fuzz/corpus/$target" >"$log" 2>&1; then
    tail -n 60 "$log" >&2
    echo "fuzz $target failed; the input is kept in $BUILD/artifacts, the log in $log" >&2
    exit 1
  fi
  grep -E '^#[0-9]+[[:space:]]+DONE|^stat::number_of_executed_units' "$log"
done
echo "== fuzzing passed"
