#!/usr/bin/env bash
# Installs what is missing, builds, and starts vantrel: against the keyboard when one is
# attached, otherwise against the virtual keyboard (--simulate), so the window shows at
# once. Without a display it says so and prints the virtual keyboard's status instead.
# Extra arguments go to vantrel (e.g. /Start, --language 1036, --trace FILE).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "No display (DISPLAY and WAYLAND_DISPLAY are not set): vantrel needs one."
  echo "The virtual keyboard as vantrelctl sees it:"
  exec build/bin/vantrelctl --simulate status
fi
if build/bin/vantrelctl status >/dev/null 2>&1; then
  exec build/bin/vantrel "$@"
fi
echo "No keyboard attached (or no access to it): starting against the virtual keyboard."
exec build/bin/vantrel --simulate "$@"
