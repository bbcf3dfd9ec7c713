#!/usr/bin/env bash
# The clang job: builds the project's non-GUI targets with clang 14 (ASan+UBSan, the
# decoders instrumented for libFuzzer) and runs every fuzz target for 60 s from its
# corpus. A crash fails CI; its input is kept in tests/fuzz/corpus/TARGET.
set -euo pipefail
cd "$(dirname "$0")/.."
export FUZZ_BUILD_DIR=build-fuzz
scripts/install-clang.sh
CC=clang-14 CXX=clang++-14 cmake -S . -B "$FUZZ_BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVANTREL_FUZZ=ON -DVANTREL_SANITIZE=address,undefined \
  -DVANTREL_BUILD_GUI=OFF -DVANTREL_BUILD_BENCH=OFF >/dev/null
# Everything that builds without the GUI, so clang sees the command-line program too.
cmake --build "$FUZZ_BUILD_DIR" -j "$(nproc)"
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
