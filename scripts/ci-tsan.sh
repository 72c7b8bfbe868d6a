#!/usr/bin/env bash
# ThreadSanitizer build of the suites that exercise threads and the
# library's shared state (the thread stress test among the reliability
# tests, the element, frustrum, tessellation and host suites); any race
# reported fails the script.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

BUILD=build-tsan
SUITES=(test_reliability test_element test_frustrum test_tess test_host)

cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMV_SANITIZE=thread -DMV_BUILD_TOOLS=OFF
cmake --build "$BUILD" -j2 --target "${SUITES[@]}"

export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
export MV_TEST_TMP="$PWD/$BUILD/tests/tmp"
mkdir -p "$MV_TEST_TMP"
for suite in "${SUITES[@]}"; do
  echo "== $suite (ThreadSanitizer)"
  "$BUILD/tests/$suite" --gtest_brief=1
done
echo "== ThreadSanitizer runs passed"
