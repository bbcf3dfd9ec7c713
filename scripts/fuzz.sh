#!/usr/bin/env bash
# Runs one libFuzzer target from its corpus, built with clang and ASan+UBSan.
# Usage: scripts/fuzz.sh TARGET [SECONDS]   (TARGET e.g. fuzz_profile_file; default 60 s)
# New inputs go to build-fuzz/corpus/TARGET, never into the repository. An input that
# crashes is copied into tests/fuzz/corpus/TARGET (so the replay test keeps running it)
# and the script fails.
set -euo pipefail
cd "$(dirname "$0")/.."
target="${1:?usage: scripts/fuzz.sh TARGET [SECONDS]}"
seconds="${2:-60}"
dir="${FUZZ_BUILD_DIR:-build-fuzz}"

if [ ! -f "tests/fuzz/${target}.cpp" ]; then
  echo "no fuzz target ${target}; there are:" $(cd tests/fuzz && ls fuzz_*.cpp | sed 's/\.cpp$//') >&2
  exit 2
fi
if [ ! -f "$dir/build.ninja" ]; then scripts/configure-clang-asan.sh "$dir"; fi
cmake --build "$dir" -j "${JOBS:-2}" --target "$target"

seeds="tests/fuzz/corpus/${target}"
work="$dir/corpus/${target}"
crashes="$dir/crashes/${target}"
mkdir -p "$seeds" "$work" "$crashes"
rm -f "$crashes"/*
export ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
status=0
"$dir/bin/${target}" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$crashes/" "$work" "$seeds" || status=$?
if [ "$status" -ne 0 ]; then
  for input in "$crashes"/*; do
    [ -f "$input" ] || continue
    cp "$input" "$seeds/regression-$(basename "$input")"
    echo "${target}: failing input kept as $seeds/regression-$(basename "$input")" >&2
  done
  exit 1
fi
