#!/usr/bin/env bash
# The history of configurations end to end: `vantrel` on the virtual keyboard (offscreen)
# on a private session bus; three writes, from the window (its test interface makes the
# key page's edit and clicks Apply), from vantrelctl and over the bus; the history lists
# them with their sources, and restoring the oldest gives back the first configuration
# byte for byte. Exit 77 (skipped) when dbus-run-session or gdbus is missing.
# Usage: history_journey_test.sh VANTREL VANTRELCTL
set -u
vantrel="${1:?usage: $0 VANTREL VANTRELCTL}"
ctl="${2:?usage: $0 VANTREL VANTRELCTL}"

# shellcheck source=tests/dbus/bus_session.sh
. "$(dirname "$0")/bus_session.sh"
[ "${3:-}" = "--inside" ] || run_on_private_bus "$vantrel" "$ctl"

S="$SCRATCH"
state="$S/state.json"
fail=0
# The source column of `vantrelctl history --json`, newest first, one word a line.
sources() { /usr/bin/python3 -c 'import json,sys; print(" ".join(e["source"] for e in json.load(sys.stdin)))'; }

export QT_QPA_PLATFORM=offscreen
"$vantrel" --simulate="$state" --language 1033 >"$S/vantrel.log" 2>&1 &
program=$!
trap 'kill "$program" 2>/dev/null; wait "$program" 2>/dev/null' EXIT
check wait_prop Present "(<true>,)"

# The first configuration, as a backup file and as the export (lighting and colours too).
check test "$("$ctl" --simulate="$state" backup "$S/first.vnp" >/dev/null 2>&1; echo $?)" = 0
first=$(call ExportJson | unwrap)
check test -n "$first"
check has "$("$ctl" history)" "the history holds no entry"

# 1. The window: Caps Lock disabled on the key page, then Apply.
check test "$(tcall DisableKey 0 "Caps Lock")" = "()"
check test "$(tcall Apply)" = "()"
# 2. vantrelctl, writing itself once the program says it is idle.
check test "$("$ctl" --simulate="$state" keys set --profile 1 Esc disabled >/dev/null 2>&1; echo $?)" = 0
# 3. The bus.
check test "$(call SetLighting 2 "{'brightness': <uint32 1>}")" = "()"

listing=$("$ctl" history)
check test "$(wc -l <<<"$listing")" = 3
check has "$(sed -n 1p <<<"$listing")" "  bus  lighting of Profile 3"
check has "$(sed -n 2p <<<"$listing")" "  vantrelctl  keys of Profile 2: Esc"
check has "$(sed -n 3p <<<"$listing")" "  window  keys of Profile 1: Caps Lock"
check test "$("$ctl" history --json | sources)" = "bus vantrelctl window"
bus=$(call History)
check has "$bus" "'bus', 'lighting of Profile 3')"
check has "$bus" "'window', 'keys of Profile 1: Caps Lock')"

# What differs between the oldest entry and the keyboard now: the three writes.
shown=$("$ctl" --simulate="$state" history show 3)
check test $? = 0 -o -n "$shown"
check has "$shown" "key Caps Lock"
check has "$shown" "key Esc"
check has "$shown" "brightness"
check test "$("$ctl" --simulate="$state" history show 3 >/dev/null 2>&1; echo $?)" = 1
check test "$("$ctl" history show 9 >/dev/null 2>&1; echo $?)" = 2

# Entry 3 back: the first configuration, byte for byte.
check has "$("$ctl" --simulate="$state" history restore 3 2>&1)" "restored history entry 3"
check has "$("$ctl" --simulate="$state" verify "$S/first.vnp" 2>&1)" "the keyboard holds what"
check test "$(call ExportJson | unwrap)" = "$first"
check test "$("$ctl" --simulate="$state" history show 4 >/dev/null 2>&1; echo $?)" = 0
# The restore is an entry of its own, so it can be taken back.
check test "$("$ctl" history --json | sources)" = "vantrelctl bus vantrelctl window"

# Over the bus: the newest entry (the configuration before the restore) back again.
check test "$(call RestoreHistory 1)" = "()"
check has "$("$ctl" --simulate="$state" history show 2 2>&1)" "the keyboard holds history entry 2"
check has "$(call RestoreHistory 99)" "Error.InvalidArgument: number: 99 is outside 1..5"
check has "$(call RestoreHistory 0)" "Error.InvalidArgument: number"

if [ "$fail" != 0 ]; then
  echo "--- program log"
  cat "$S/vantrel.log"
fi
exit "$fail"
