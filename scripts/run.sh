#!/usr/bin/env bash
# Installs what is missing, builds, and starts Vantrel against the virtual keyboard.
# Until the main window exists this shows the keyboard's status through vantrelctl and
# opens the skin gallery (vantrel --skin-gallery) when a display is available.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
build/bin/vantrelctl --simulate status "$@"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec build/bin/vantrel --skin-gallery
fi
