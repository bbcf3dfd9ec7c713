#!/usr/bin/env bash
# The clang job: builds the command-line program and the fuzz targets with clang 14 (ASan+UBSan, the
# decoders instrumented for libFuzzer) and runs every fuzz target for FUZZ_SECONDS (default 60) from its
# corpus. A crash fails CI; its input is kept in tests/fuzz/corpus/TARGET.
set -euo pipefail
cd "$(dirname "$0")/.."
export FUZZ_BUILD_DIR=build-fuzz
scripts/install-clang.sh
CC=clang-14 CXX=clang++-14 cmake -S . -B "$FUZZ_BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVANTREL_FUZZ=ON -DVANTREL_SANITIZE=address,undefined \
  -DVANTREL_BUILD_GUI=OFF -DVANTREL_BUILD_BENCH=OFF >/dev/null
# The libraries under test and the command-line program (core, sim, platform, ctl) with
# clang; the test programs are left to the GCC and sanitizer jobs to keep CI short.
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
