#!/usr/bin/env bash
# The program across a suspend, with a mock login manager and a mock notification service
# on a private bus that stands in for both the system and the session bus. The journey is in
# suspend_resume_test.py. Exit 77 (skipped) when dbus-run-session or python3-dbusmock is
# missing.
# Usage: suspend_resume_test.sh VANTREL VANTRELCTL OUTPUT_FOLDER
set -u
vantrel="${1:?usage: $0 VANTREL VANTRELCTL OUTPUT_FOLDER}"
vantrelctl="${2:?usage: $0 VANTREL VANTRELCTL OUTPUT_FOLDER}"
output="${3:?usage: $0 VANTREL VANTRELCTL OUTPUT_FOLDER}"
here="$(cd "$(dirname "$0")" && pwd)"
python=/usr/bin/python3  # the system's python has dbusmock and the D-Bus bindings

source "$here/desktop_session.sh"

require_tools "dbus-daemon" dbus-run-session
if ! "$python" -c 'import dbusmock, dbus' >/dev/null 2>&1; then
  echo "skipped: python3-dbusmock is missing (package python3-dbusmock)"
  exit 77
fi
enter_scratch_home
export QT_QPA_PLATFORM=offscreen
dbus-run-session -- "$python" "$here/suspend_resume_test.py" "$vantrel" "$vantrelctl" "$SCRATCH" "$output"
