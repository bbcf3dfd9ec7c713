#!/usr/bin/env bash
# Reads the program's windows as a screen reader does: AT-SPI over D-Bus, with `vantrel`
# against the virtual keyboard under a virtual X server. accessibility_tree.py walks the
# tree of the main window, the profile manager and the key page and checks names,
# descriptions and roles. Exit 77 (skipped) when a tool is missing.
# Usage: accessibility_tree_test.sh VANTREL_BINARY
set -u
vantrel="${1:?usage: $0 VANTREL_BINARY}"
here="$(cd "$(dirname "$0")" && pwd)"
python=/usr/bin/python3  # the system's python has the AT-SPI bindings

source "$here/desktop_session.sh"

if [ "${2:-}" != "--inside" ]; then
  require_tools "xvfb, xdotool, dbus" xvfb-run xdotool dbus-run-session
  if [ ! -x /usr/libexec/at-spi-bus-launcher ] || ! "$python" -c 'import pyatspi' >/dev/null 2>&1; then
    echo "skipped: the AT-SPI bus or its python bindings are missing (packages at-spi2-core, python3-pyatspi)"
    exit 77
  fi
  enter_scratch_home
  xvfb-run -a -s "-screen 0 1280x1024x24" dbus-run-session -- bash "$0" "$vantrel" --inside
  exit $?
fi

# Inside the private session bus and X display.
/usr/libexec/at-spi-bus-launcher --launch-immediately &
launcher=$!
export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1
"$vantrel" --simulate="$SCRATCH/state.json" --language 1033 >"$SCRATCH/vantrel.log" 2>&1 &
program=$!
"$python" "$here/accessibility_tree.py" "$program"
status=$?
kill "$program" 2>/dev/null
wait "$program" 2>/dev/null
kill "$launcher" 2>/dev/null
wait "$launcher" 2>/dev/null
if [ $status -ne 0 ]; then
  echo "--- vantrel output ---"
  cat "$SCRATCH/vantrel.log"
fi
exit $status
