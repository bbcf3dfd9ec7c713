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

if ! command -v dbus-run-session >/dev/null 2>&1; then
  echo "skipped: dbus-run-session is missing (package dbus-daemon)"
  exit 77
fi
if ! "$python" -c 'import dbusmock, dbus' >/dev/null 2>&1; then
  echo "skipped: python3-dbusmock is missing (package python3-dbusmock)"
  exit 77
fi
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/home" "$scratch/run"
chmod 700 "$scratch/run"
export HOME="$scratch/home" XDG_RUNTIME_DIR="$scratch/run" XDG_CONFIG_HOME="$scratch/home/.config"
export XDG_DATA_HOME="$scratch/home/.local/share" QT_QPA_PLATFORM=offscreen
# Sanitizer builds: the D-Bus client libraries keep allocations until exit.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
dbus-run-session -- "$python" "$here/suspend_resume_test.py" "$vantrel" "$vantrelctl" "$scratch" "$output"
