#!/usr/bin/env bash
# The fuzz job: the command-line program and the fuzz targets of the clang 14 build (ASan+UBSan,
# the decoders instrumented for libFuzzer; scripts/configure-clang-asan.sh), then every fuzz
# target run for FUZZ_SECONDS (default 60) from its corpus. A crash fails CI; its input is kept in tests/fuzz/corpus/TARGET.
set -euo pipefail
cd "$(dirname "$0")/.."
# The tree .ci/sanitize.sh built; when this runs alone, only the fuzz targets are built.
export FUZZ_BUILD_DIR="${ASAN_BUILD_DIR:-build-clang}"
if [ ! -f "$FUZZ_BUILD_DIR/build.ninja" ]; then scripts/configure-clang-asan.sh "$FUZZ_BUILD_DIR"; fi
targets=(vantrelctl)
for src in tests/fuzz/fuzz_*.cpp; do targets+=("$(basename "$src" .cpp)"); done
cmake --build "$FUZZ_BUILD_DIR" -j "$(nproc)" --target "${targets[@]}"
failed=()
for src in tests/fuzz/fuzz_*.cpp; do
  target="$(basename "$src" .cpp)"
  echo "== $target"
  scripts/fuzz.sh "$target" "${FUZZ_SECONDS:-60}" || failed+=("$target")
done
if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz targets that crashed: ${failed[*]}" >&2
  exit 1
fi
