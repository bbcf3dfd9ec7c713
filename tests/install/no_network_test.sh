#!/usr/bin/env bash
# vantrelctl must not load QtNetwork: only the GUI program's single-instance channel needs
# it. The GUI program is checked the same way and must name it, so a check that cannot see
# the library (another file name, a tool that prints nothing) fails instead of passing.
# Usage: no_network_test.sh VANTRELCTL VANTREL   (exit 77: neither readelf nor ldd exists)
set -uo pipefail

# The shared libraries a program names itself (readelf), else all it loads (ldd).
needed() {
  if command -v readelf >/dev/null; then
    readelf -d "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'
  elif command -v ldd >/dev/null; then
    ldd "$1" | awk '{print $1}'
  else
    exit 77
  fi
}

ctl=$(needed "$1") || exit $?
gui=$(needed "$2") || exit $?
fail=0
if grep -qi 'network' <<<"$ctl"; then
  echo "FAILED: $1 links $(grep -i network <<<"$ctl" | tr '\n' ' ')"
  fail=1
fi
if ! grep -qi 'Qt6Network' <<<"$gui"; then
  echo "FAILED: no QtNetwork seen in $2 either; the check cannot tell. It names:" $gui
  fail=1
fi
exit $fail
