#!/usr/bin/env bash
# Installs what is missing, builds, and starts Vantrel against the virtual keyboard
# (or a real keyboard when one is attached and no --simulate is wanted: run the built
# programs in build/bin directly).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
if [ -x build/bin/vantrel ]; then
  exec build/bin/vantrel --simulate "$@"
fi
exec build/bin/vantrelctl --simulate status "$@"
