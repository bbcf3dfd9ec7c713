#!/usr/bin/env bash
# The suite again under AddressSanitizer + UndefinedBehaviorSanitizer (clang), and the tests
# that involve threads under ThreadSanitizer (GCC). Halts on the first error.
set -euo pipefail
cd "$(dirname "$0")/.."
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
export ASAN_BUILD_DIR="${ASAN_BUILD_DIR:-build-clang}"

# Every test runs here, so everything is built (without the benchmarks, which no test runs),
# with clang; the fuzz job (.ci/fuzz.sh) then finds its programs built in the same tree.
if [ "${SKIP_ASAN:-0}" != 1 ]; then
  scripts/configure-clang-asan.sh "$ASAN_BUILD_DIR"
  cmake --build "$ASAN_BUILD_DIR" -j "$(nproc)"
  # The completion check runs vantrelctl --help some hundred times and checks only texts:
  # under the sanitizers it costs a minute and finds nothing the Release run does not.
  ctest --test-dir "$ASAN_BUILD_DIR" --output-on-failure -j "$(nproc)" -E '^BashCompletion\.'
fi

# The tests that involve threads, without the windows: the job queue of the device worker,
# transaction slot, notification thread, presence worker. Only the test programs that hold
# them are built; a program added here must not need the GUI libraries.
tsan_targets=(core_tests sim_tests platform_tests)
tsan_tests='Threads|Presence|Transaction|SharedAccess|StrayReport'
BUILD_TYPE=Debug TARGETS="${tsan_targets[*]}" scripts/build.sh build-tsan \
  -DVANTREL_SANITIZE=thread -DVANTREL_BUILD_BENCH=OFF -DVANTREL_BUILD_GUI=OFF
ctest --test-dir build-tsan --output-on-failure -j "$(nproc)" --no-tests=error -R "$tsan_tests"
