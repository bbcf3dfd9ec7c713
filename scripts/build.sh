#!/usr/bin/env bash
# Configures and builds one build tree. Usage: scripts/build.sh [BUILD_DIR] [extra cmake args]
# BUILD_TYPE picks the CMake build type (default RelWithDebInfo; CI builds Release);
# TARGETS (space-separated) builds only those targets instead of everything.
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${1:-build}"; shift || true
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" "$@" >/dev/null
targets=()
if [ -n "${TARGETS:-}" ]; then
  read -r -a names <<<"$TARGETS"
  targets=(--target "${names[@]}")
fi
cmake --build "$dir" -j "${JOBS:-$(nproc)}" "${targets[@]}"
