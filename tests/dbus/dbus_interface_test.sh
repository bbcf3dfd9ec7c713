#!/usr/bin/env bash
# The scripting interface end to end: `vantrel` on the virtual keyboard (offscreen) on a
# private session bus, every method and property driven with gdbus, the trace and the
# state file checked; the errors; the name on the session bus only and no network socket
# of the program; vantrelctl going through the program only for the same state file.
# Exit 77 (skipped) when dbus-run-session or gdbus is missing.
# Usage: dbus_interface_test.sh VANTREL VANTRELCTL
set -u
vantrel="${1:?usage: $0 VANTREL VANTRELCTL}"
ctl="${2:?usage: $0 VANTREL VANTRELCTL}"

# shellcheck source=tests/dbus/bus_session.sh
. "$(dirname "$0")/bus_session.sh"
[ "${3:-}" = "--inside" ] || run_on_private_bus "$vantrel" "$ctl"

S="$SCRATCH"
state="$S/state.json"
trace="$S/trace.txt"
fail=0
# Writes of the device state record (command 0x04, fourth byte of the report) in a trace.
# A trace file that was never made holds no writes.
state_writes() { if [ -f "$1" ]; then grep -c '^> CTRL 04 .. .. 04 ' "$1" || true; else echo 0; fi; }
# Lighting writes (command 0x06) and key colour writes (0x11) in a trace.
lighting_writes() { if [ -f "$1" ]; then grep -c '^> CTRL 04 .. .. 06 ' "$1" || true; else echo 0; fi; }
colour_writes() { if [ -f "$1" ]; then grep -c '^> CTRL 04 .. .. 11 ' "$1" || true; else echo 0; fi; }
# Every request a trace holds: vantrelctl's own trace stays empty (or is never made) while
# it goes through the program.
requests() { if [ -f "$1" ]; then grep -c '^> ' "$1" || true; else echo 0; fi; }
# The active profile byte (10) of the state file's device state record.
state_profile() { /usr/bin/python3 -c 'import json,sys; print(int(json.load(open(sys.argv[1]))["device_state"][20:22], 16))' "$1"; }

export QT_QPA_PLATFORM=offscreen
gdbus monitor --session --dest org.vantrel.Vantrel1 >"$S/monitor.txt" 2>&1 &
monitor=$!
"$vantrel" --simulate="$state" --trace "$trace" --language 1033 >"$S/vantrel.log" 2>&1 &
program=$!
cleanup() {
  kill "$program" "$monitor" 2>/dev/null
  wait "$program" "$monitor" 2>/dev/null
}
trap cleanup EXIT

check wait_prop Present "(<true>,)"
check wait_prop ActiveProfile "(<0>,)"

# ---- the name: on the session bus, not the system bus; no network socket ------------
owner=$(gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
  --method org.freedesktop.DBus.NameHasOwner org.vantrel.Vantrel1 2>&1)
check has "$owner" "(true,)"
system=$(timeout 5 gdbus call --system --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
  --method org.freedesktop.DBus.NameHasOwner org.vantrel.Vantrel1 2>&1)
check lacks "$system" "(true,)"
inodes=$(ls -l "/proc/$program/fd" 2>/dev/null | sed -n 's/.*socket:\[\([0-9]*\)\].*/\1/p')
check test -n "$inodes"
network=0
for inode in $inodes; do
  for table in /proc/net/tcp /proc/net/tcp6 /proc/net/udp /proc/net/udp6; do
    [ -r "$table" ] && awk -v i="$inode" '$10 == i { found = 1 } END { exit !found }' "$table" && network=1
  done
done
check test "$network" = 0

# ---- properties -----------------------------------------------------------------------
check has "$(prop Effects)" "<[uint32 "
check has "$(prop MacroCapacity)" "<uint32 "
check has "$(prop ReportRate)" "<uint32 "
check has "$(prop Unsaved)" "(<false>,)"
check has "$(prop SimulatedStateFile)" "$(realpath -m "$state")"
introspection=$(gdbus introspect --session --dest org.vantrel.Vantrel1 --object-path /org/vantrel/Vantrel1)
for member in SetActiveProfile NextProfile PreviousProfile GetLighting SetLighting PaintKeys ExportJson \
              ImportJson Backup Restore Verify CheckIdle AddTextMacro "readonly b Present" "readonly i ActiveProfile" \
              "readonly u ReportRate" "readonly au Effects" "readonly u MacroCapacity" "readonly b Unsaved"; do
  check has "$introspection" "$member"
done

# ---- profile switches -----------------------------------------------------------------
before=$(state_writes "$trace")
check test "$(call SetActiveProfile 2)" = "()"
check wait_prop ActiveProfile "(<2>,)"
check test "$(state_writes "$trace")" -gt "$before"
check test "$(state_profile "$state")" = 2
check test "$(call NextProfile)" = "()"
check wait_prop ActiveProfile "(<0>,)"
check test "$(call PreviousProfile)" = "()"
check wait_prop ActiveProfile "(<2>,)"
check test "$(state_profile "$state")" = 2
sleep 1.2
check grep -q "PropertiesChanged.*'ActiveProfile': <2>" "$S/monitor.txt"
check has "$(call SetActiveProfile 3)" "org.vantrel.Vantrel1.Error.InvalidArgument: profile: 3 is outside 0..2"
check has "$(call SetActiveProfile -- -1)" "Error.InvalidArgument"
check test "$(state_profile "$state")" = 2

# ---- lighting -------------------------------------------------------------------------
lighting=$(call GetLighting 0)
for key in "'effect': <uint32" "'brightness': <uint32" "'speed': <uint32" "'direction': <'" "'colour': <'" \
           "'multicolour': <" "'choice': <'" "'report_rate': <uint32"; do
  check has "$lighting" "$key"
done
writes=$(grep -c '^> CTRL 04 .. .. 06 ' "$trace")
check test "$(call SetLighting 0 "{'effect': <uint32 4>, 'brightness': <uint32 2>}")" = "()"
check has "$(call GetLighting 0)" "'brightness': <uint32 2>"
check has "$(call GetLighting 0)" "'effect': <uint32 4>"
check test "$(grep -c '^> CTRL 04 .. .. 06 ' "$trace")" -gt "$writes"
check test "$(call SetLighting 0 "{'report_rate': <uint32 500>}")" = "()"
check has "$(call GetLighting 0)" "'report_rate': <uint32 500>"
# What GetLighting gives is what SetLighting takes back, for an effect without a direction
# (or colour) too; a field the effect does not use is taken as it is and not sent.
got=$(call GetLighting 0)
check has "$got" "'direction': <'0x"
check test "$(call SetLighting 0 "$(sed -e 's/^(//' -e 's/,)$//' <<<"$got")")" = "()"
check test "$(call GetLighting 0)" = "$got"
# Refused before anything is sent.
writes=$(grep -c '^> CTRL 04 .. .. 06 ' "$trace")
check has "$(call SetLighting 0 "{'brightness': <uint32 9>}")" "InvalidArgument: brightness: 9 is outside 0..4"
check has "$(call SetLighting 0 "{'direction': <'left'>}")" "InvalidArgument: direction: effect 4"
check has "$(call SetLighting 0 "{'colour': <'red'>}")" "InvalidArgument: colour: wants RRGGBB"
check has "$(call SetLighting 0 "{'glow': <uint32 1>}")" "InvalidArgument: changes: unknown key \"glow\""
check has "$(call SetLighting 0 "{'brightness': <'2'>}")" "InvalidArgument: brightness: wants"
check has "$(call SetLighting 0 "{'report_rate': <uint32 300>}")" "InvalidArgument: report_rate: wants 125, 250, 500 or 1000"
check has "$(call SetLighting 0 "{'effect': <uint32 19>, 'speed': <uint32 1>}")" "InvalidArgument"
check has "$(call GetLighting 5)" "InvalidArgument: profile: 5 is outside 0..2"
check test "$(grep -c '^> CTRL 04 .. .. 06 ' "$trace")" = "$writes"

# ---- key colours ----------------------------------------------------------------------
check has "$(call PaintKeys 0 "['Esc']" FF0000)" "InvalidArgument: profile: profile 0 shows effect 4"
check test "$(call SetLighting 0 "{'effect': <uint32 20>}")" = "()"
painted=$(grep -c '^> CTRL 04 .. .. 11 ' "$trace")
check test "$(call PaintKeys 0 "['Esc', 'A']" 00FF00)" = "()"
check test "$(grep -c '^> CTRL 04 .. .. 11 ' "$trace")" -gt "$painted"
check has "$(call PaintKeys 0 "['Esc', 'Nokey']" 00FF00)" "InvalidArgument: keys: unknown key 'Nokey'"
check has "$(call PaintKeys 0 "['Esc']" 00GG00)" "InvalidArgument: colour"
check has "$(call PaintKeys 0 "@as []" 00FF00)" "InvalidArgument: keys"

# ---- profile files and documents ------------------------------------------------------
document=$(call ExportJson)
check has "$document" "vantrel-profile"
unwrap <<<"$document" >"$S/export.json"
check test -s "$S/export.json"
check grep -q '"lighting"' "$S/export.json"
check grep -q '"user_modes"' "$S/export.json"
check test "$(call ImportJson "$(cat "$S/export.json")")" = "()"
# The lighting travels with the document: changed after the export, it comes back with
# the import (written and read back), and the next export is the first one again.
exported=$(call GetLighting 1)
check test "$(call SetLighting 1 "{'effect': <uint32 4>, 'brightness': <uint32 1>, 'report_rate': <uint32 250>}")" = "()"
check has "$(call GetLighting 1)" "'report_rate': <uint32 250>"
writes=$(lighting_writes "$trace")
check test "$(call ImportJson "$(cat "$S/export.json")")" = "()"
check test "$(lighting_writes "$trace")" -gt "$writes"
check test "$(call GetLighting 1)" = "$exported"
call ExportJson | unwrap >"$S/export_again.json"
check cmp -s "$S/export.json" "$S/export_again.json"
check has "$(call ImportJson '{"format": "nothing"}')" "InvalidArgument: document: "
check test "$(call Backup "$S/backup.vnp")" = "()"
check test -s "$S/backup.vnp"
check has "$(call Backup backup.vnp)" "InvalidArgument: path: wants an absolute path"
check test "$(call Restore "$S/backup.vnp")" = "()"
check has "$(call Restore "$S/missing.vnp")" "InvalidArgument: path: "
check test "$(call Verify)" = "(@as [],)"
check test "$(call CheckIdle)" = "()"

# ---- vantrelctl through the program ---------------------------------------------------
before=$(state_writes "$trace")
out=$("$ctl" --simulate="$state" --trace "$S/ctl_trace.txt" profile 1 2>&1)
check has "$out" "active profile: 1"
check wait_prop ActiveProfile "(<1>,)"
check test "$(state_writes "$trace")" -gt "$before"
check test "$(state_writes "$S/ctl_trace.txt")" = 0
check has "$("$ctl" --simulate="$state" profile next 2>&1)" "active profile: 2"
check has "$("$ctl" --simulate="$state" profile previous 2>&1)" "active profile: 1"
check test "$("$ctl" --simulate="$state" profile 2>&1)" = 1
check has "$("$ctl" --simulate="$state" verify 2>&1)" "the keyboard holds what"
check has "$("$ctl" --simulate="$state" export "$S/ctl.json" 2>&1)" "exported to"
check cmp -s "$S/ctl.json" "$S/export.json"
check test "$(state_writes "$S/ctl_trace.txt")" = 0
# vantrelctl's own export of the same keyboard carries the same lighting.
check has "$("$ctl" --direct --simulate="$state" export "$S/direct.json" 2>&1)" "exported to"
check cmp -s "$S/direct.json" "$S/export.json"

# Lighting and key colours: the program writes, vantrelctl's trace stays empty.
t="$S/ctl_lighting_trace.txt"
writes=$(lighting_writes "$trace")
out=$("$ctl" --simulate="$state" --trace "$t" lighting set --profile 0 --effect 4 --brightness 3 --speed 1 2>&1)
check test "$?" = 0
check test "$(lighting_writes "$trace")" -ge "$((writes + 3))"
out=$("$ctl" --simulate="$state" --trace "$t" lighting --profile 0 2>&1)
check has "$out" "effect:          4"
check has "$out" "brightness:      3"
check has "$out" "speed:           1 (record byte 3)"
check has "$out" "report rate:     500 Hz"
# The options' order and repeats hold: 3 is there already, then 1 is written.
out=$("$ctl" --simulate="$state" --trace "$t" lighting set --profile 0 --brightness 3 --brightness 1 2>&1)
check test "$?" = 0
check has "$out" "brightness is 3 already"
check has "$(call GetLighting 0)" "'brightness': <uint32 1>"
# The report rate in Hz, as the interface takes it.
out=$("$ctl" --simulate="$state" --trace "$t" lighting set --profile 0 --report-rate 1000 2>&1)
check test "$?" = 0
check has "$(call GetLighting 0)" "'report_rate': <uint32 1000>"
# Showing through the program prints what vantrelctl's own reading prints.
via=$("$ctl" --simulate="$state" --trace "$t" lighting --profile 0 --json 2>&1)
own=$("$ctl" --direct --simulate="$state" lighting --profile 0 --json 2>&1)
check test "$via" = "$own"
check has "$via" '"effects_offered"'
# A refused option sends nothing, in vantrelctl's words and with its exit code.
writes=$(lighting_writes "$trace")
painted=$(colour_writes "$trace")
out=$("$ctl" --simulate="$state" --trace "$t" lighting set --profile 0 --brightness 2 --direction left 2>&1)
check test "$?" = 2
check has "$out" "lighting set: effect 4"
check has "$out" "nothing was sent"
out=$("$ctl" --simulate="$state" --trace "$t" colours paint --profile 0 Esc --colour 00FF00 2>&1)
check test "$?" = 1
check has "$out" "colours paint: profile 0 shows effect 4"
check test "$(lighting_writes "$trace")" = "$writes"
check test "$(colour_writes "$trace")" = "$painted"
check "$ctl" --simulate="$state" --trace "$t" lighting set --profile 0 --effect 20
painted=$(colour_writes "$trace")
out=$("$ctl" --simulate="$state" --trace "$t" colours paint --profile 0 Esc A --colour 0000FF 2>&1)
check test "$?" = 0
check has "$out" "(slot "
check has "$out" "): 0000FF"
check test "$(colour_writes "$trace")" -gt "$painted"
# Without --colour the profile's brush (now 0000FF) paints.
painted=$(colour_writes "$trace")
out=$("$ctl" --simulate="$state" --trace "$t" colours paint --profile 0 B 2>&1)
check test "$?" = 0
check has "$out" "): 0000FF"
check test "$(colour_writes "$trace")" -gt "$painted"
out=$("$ctl" --simulate="$state" --trace "$t" colours paint --profile 0 Nokey --colour 0000FF 2>&1)
check test "$?" = 2
# The base colour tool is nothing the program can be asked to paint with: said, not sent.
check test "$("$ctl" --simulate="$state" colours --profile 0 tool 1 2>&1)" = "tool: 1"
painted=$(colour_writes "$trace")
out=$("$ctl" --simulate="$state" --trace "$t" colours paint --profile 0 B 2>&1)
check test "$?" = 2
check has "$out" "give --colour RRGGBB"
check test "$(colour_writes "$trace")" = "$painted"
check test "$("$ctl" --simulate="$state" colours --profile 0 tool 0 2>&1)" = "tool: 0"
check test "$(requests "$t")" = 0
# Another state file is another keyboard: vantrelctl talks to it itself.
before=$(state_writes "$trace")
out=$("$ctl" --simulate="$S/other.json" --trace "$S/other_trace.txt" profile 2 2>&1)
check has "$out" "active profile: 2"
check test "$(state_writes "$S/other_trace.txt")" -gt 0
check test "$(state_writes "$trace")" = "$before"
check wait_prop ActiveProfile "(<1>,)"
# --direct talks to the keyboard itself even then.
out=$("$ctl" --direct --simulate="$state" --trace "$S/direct_trace.txt" profile 2>&1)
check test "$out" = 1
check test -s "$S/direct_trace.txt"

# ---- text macros ----------------------------------------------------------------------
macro_writes() { if [ -f "$1" ]; then grep -c '^> CTRL 04 .. .. 0a ' "$1" || true; else echo 0; fi; }
writes=$(macro_writes "$trace")
added=$(call AddTextMacro Mail 'Ab@' us)
check has "$added" "(uint32 "
id=$(sed -n 's/^(uint32 \([0-9]*\),)$/\1/p' <<<"$added")
check test "$(macro_writes "$trace")" -gt "$writes"
shown=$("$ctl" --direct --simulate="$state" macros show "$id" 2>&1)
check has "$shown" "macro $id: Mail"
check has "$shown" "Left Shift+/10"
check has "$shown" "2-/10"
check test "$(grep -c '^  [0-9]' <<<"$shown")" = 10
check test "$(call Verify)" = "(@as [],)"
# The desktop's layout when none is given.
check has "$(call AddTextMacro Desk a '')" "(uint32 "
# Refused before anything is written, naming each character the layout cannot type.
writes=$(macro_writes "$trace")
refused=$(call AddTextMacro Euro 'a€' us)
check has "$refused" "InvalidArgument: text: The layout us cannot type this text"
check has "$refused" "character 2: U+20AC"
check has "$(call AddTextMacro X a zz)" "InvalidArgument: text: Unknown keyboard layout \"zz\""
check has "$(call AddTextMacro X a 'us;rm')" "InvalidArgument: layout: "
check has "$(call AddTextMacro X '' us)" "InvalidArgument: text: "
check has "$(call AddTextMacro X "$(head -c 4001 /dev/zero | tr '\0' a)" us)" "InvalidArgument: text: "
check test "$(macro_writes "$trace")" = "$writes"
check has "$(prop Unsaved)" "(<false>,)"

# ---- busy: unapplied edits are never discarded ------------------------------------------
check wait_prop ActiveProfile "(<1>,)"
check test "$(tcall MarkEdited 1)" = "()"
check wait_prop Unsaved "(<true>,)"
cp "$state" "$S/state_before_busy.json"
before=$(requests "$trace")
busy=$(call SetActiveProfile 2)
check has "$busy" "org.vantrel.Vantrel1.Error.Busy: "
check has "$busy" "edits not applied"
check has "$(call NextProfile)" "Error.Busy"
check has "$(call CheckIdle)" "Error.Busy"
busy=$(call ImportJson "$(cat "$S/export.json")")
check has "$busy" "org.vantrel.Vantrel1.Error.Busy: "
check has "$busy" "edits not applied"
check has "$(call Restore "$S/backup.vnp")" "Error.Busy"
check has "$(call AddTextMacro Busy a us)" "Error.Busy"
out=$("$ctl" --simulate="$state" --trace "$S/busy_trace.txt" import "$S/export.json" 2>&1)
check test "$?" = 1
check has "$out" "edits not applied"
out=$("$ctl" --simulate="$state" --trace "$S/busy_trace.txt" profile 2 2>&1)
check test "$?" = 1
check has "$out" "edits not applied"
# vantrelctl's own writers of keys and macros, and its own switch, ask the program first,
# --direct too.
printf '[ids]\n*\n\n[main]\ncapslock = esc\n' >"$S/swap.conf"
for args in "import --keyd $S/swap.conf --profile 2" "keys set --profile 2 Esc disabled" "macros add Busy A+ A-" \
            "macros add Busy --text a --layout us" "macros rm 1 --yes" "macros rename 1 Other" "--direct keys set Tab disabled" \
            "--direct import --keyd $S/swap.conf" "--direct import $S/export.json" \
            "--direct restore $S/backup.vnp" "--direct profile 2"; do
  # shellcheck disable=SC2086
  out=$("$ctl" --simulate="$state" --trace "$S/busy_trace.txt" $args 2>&1)
  check test "$?" = 1
  check has "$out" "edits not applied"
done
check test "$(requests "$S/busy_trace.txt")" = 0
# Nothing was sent, switched or dropped: the edits are still pending.
check test "$(requests "$trace")" = "$before"
check cmp -s "$state" "$S/state_before_busy.json"
check test "$(prop ActiveProfile)" = "(<1>,)"
check test "$(prop Unsaved)" = "(<true>,)"
check test "$(tcall Apply)" = "()"
check wait_prop Unsaved "(<false>,)"
check test "$(call SetActiveProfile 2)" = "()"
check wait_prop ActiveProfile "(<2>,)"
# With nothing pending the keyd import writes, and the window reads what it wrote: an edit
# of that profile applied afterwards keeps the remap.
# Waits until the program has not talked to the keyboard for a second.
settle() {
  local last=-1 now same=0
  for _ in $(seq 100); do
    now=$(requests "$trace")
    if [ "$now" = "$last" ]; then
      same=$((same + 1))
      [ "$same" -ge 4 ] && return 0
    else
      same=0
    fi
    last=$now
    sleep 0.25
  done
  return 1
}
out=$("$ctl" --simulate="$state" import --keyd "$S/swap.conf" --profile 2 2>&1)
check test "$?" = 0
check has "$out" "imported 1 remap"
check settle
check test "$(tcall MarkEdited 2)" = "()"
check test "$(tcall Apply)" = "()"
check wait_prop Unsaved "(<false>,)"
check has "$("$ctl" --simulate="$state" keys --profile 2 2>&1)" "Caps Lock	key	Esc"

# ---- no keyboard --------------------------------------------------------------------
check "$vantrel" --sim-event unplug
check wait_prop Present "(<false>,)"
check has "$(call SetActiveProfile 0)" "org.vantrel.Vantrel1.Error.NoKeyboard"
check has "$(call GetLighting 0)" "Error.NoKeyboard"
out=$("$ctl" --simulate="$state" profile 0 2>&1)
code=$?
check test "$code" = 3
out=$("$ctl" --simulate="$state" --trace "$S/absent_trace.txt" lighting 2>&1)
check test "$?" = 3
check has "$out" "no keyboard"
out=$("$ctl" --simulate="$state" --trace "$S/absent_trace.txt" lighting set --profile 1 --brightness 2 2>&1)
check test "$?" = 3
check test "$(requests "$S/absent_trace.txt")" = 0
check "$vantrel" --sim-event plug
check wait_prop Present "(<true>,)"

# ---- the keyboard refuses a write ----------------------------------------------------
# The program again, on a keyboard that answers one write with status 0xff (each of the
# link's three attempts at it): first without the fault, to learn which request the
# lighting write is, then with the fault on it. Both runs start from the same state and
# make the same calls up to the write, so they count alike.
cleanup
# Starts the program with a trace (and more options) and waits until it is present and
# has not talked to the keyboard for a second.
restart() {
  "$vantrel" --simulate="$state" --trace "$1" --language 1033 "${@:2}" >>"$S/vantrel.log" 2>&1 &
  program=$!
  wait_prop Present "(<true>,)" || return 1
  local last=-1 now same=0
  for _ in $(seq 100); do
    now=$(requests "$1")
    if [ "$now" = "$last" ]; then
      same=$((same + 1))
      [ "$same" -ge 4 ] && return 0
    else
      same=0
    fi
    last=$now
    sleep 0.25
  done
  return 1
}
brightness_of() { sed -n "s/.*'brightness': <uint32 \([0-9]\)>.*/\1/p"; }
cp "$state" "$S/state_before_fault.json"
rm -f "$S/learn_trace.txt" "$S/fault_trace.txt"
check restart "$S/learn_trace.txt"
start=$(requests "$S/learn_trace.txt")
brightness=$(call GetLighting 2 | brightness_of)
want=$(( (brightness + 1) % 5 ))
check test "$(call SetLighting 2 "{'brightness': <uint32 $want>}")" = "()"
# The lighting write of the call: its request's number in the run.
n=$(grep '^> ' "$S/learn_trace.txt" | grep -n '^> CTRL 04 .. .. 06 ' | tail -1 | cut -d: -f1)
check test -n "$n"
kill "$program"
wait "$program" 2>/dev/null
cp "$S/state_before_fault.json" "$state"
check restart "$S/fault_trace.txt" --sim-fault "ff@$n,ff@$((n + 1)),ff@$((n + 2))"
check test "$(requests "$S/fault_trace.txt")" = "$start"
check test "$(call GetLighting 2 | brightness_of)" = "$brightness"
device=$(call SetLighting 2 "{'brightness': <uint32 $want>}")
check has "$device" "org.vantrel.Vantrel1.Error.Device: SetLighting: the keyboard answered command 0x06"
check has "$device" "(write parameters) with the keyboard reported failure (status 0xFF)"
# The keyboard holds what it held; so does the state file once the program has saved it.
check test "$(call GetLighting 2 | brightness_of)" = "$brightness"
sleep 0.5
check /usr/bin/python3 - "$S/state_before_fault.json" "$state" <<'PY'
import json, sys
a, b = (json.load(open(f)) for f in sys.argv[1:3])
sys.exit(0 if a == b else 1)
PY

# ---- a call of any size leaves the bus working -------------------------------------------
# A 63 MiB document (inside the old 64 MiB limit) used to stop the program's bus connection
# from reading: every later call timed out.
cleanup
check restart "$S/large_trace.txt"
large_call() {
  /usr/bin/python3 - "$1" <<'PY'
import sys
import dbus
bus = dbus.SessionBus()
keyboard = bus.get_object("org.vantrel.Vantrel1", "/org/vantrel/Vantrel1")
try:
    keyboard.ImportJson(" " * (int(sys.argv[1]) << 20), dbus_interface="org.vantrel.Vantrel1.Keyboard", timeout=60)
    print("answered")
except dbus.exceptions.DBusException as e:
    print(e.get_dbus_name() + ": " + e.get_dbus_message())
PY
}
for mib in 63 100; do
  large=$(large_call "$mib")
  check has "$large" "org.vantrel.Vantrel1.Error.InvalidArgument: document: larger than 32 MiB"
  # The next calls are answered at once.
  check test "$(timeout 10 gdbus call --session --timeout 5 --dest org.vantrel.Vantrel1 \
    --object-path /org/vantrel/Vantrel1 --method org.vantrel.Vantrel1.Keyboard.NextProfile 2>&1)" = "()"
done
# Paint requests are bounded before any name is looked up (a 3 MB name or 1500 names used
# to hold the window or the worker for many seconds).
paint=$(/usr/bin/python3 - <<'PY'
import dbus
bus = dbus.SessionBus()
keyboard = bus.get_object("org.vantrel.Vantrel1", "/org/vantrel/Vantrel1")
for names in (["x" * (3 << 20)], ["Esc"] * 1500):
    try:
        keyboard.PaintKeys(0, dbus.Array(names, signature="s"), "00FF00",
                           dbus_interface="org.vantrel.Vantrel1.Keyboard", timeout=10)
        print("answered")
    except dbus.exceptions.DBusException as e:
        print(e.get_dbus_name() + ": " + e.get_dbus_message())
PY
)
check has "$paint" "InvalidArgument: keys: a name of 3145728 bytes; no key name is longer than 128"
check has "$paint" "InvalidArgument: keys: 1500 names; at most 512 in one request"
out=$(timeout 20 "$ctl" --simulate="$state" --trace "$S/large_ctl_trace.txt" profile 0 2>&1)
check test "$?" = 0
check test "$(requests "$S/large_ctl_trace.txt")" = 0
check wait_prop ActiveProfile "(<0>,)"
check lacks "$(cat "$S/vantrel.log")" "Socket notifiers cannot be enabled or disabled from another thread"

# ---- SIGTERM while a restore through the bus runs: the caller gets the answer -----------
cleanup
check restart "$S/term_trace.txt" --sim-latency 20000
before=$(requests "$S/term_trace.txt")
"$ctl" --simulate="$state" restore "$S/backup.vnp" >"$S/term_ctl.txt" 2>&1 &
restoring=$!
for _ in $(seq 200); do
  [ "$(requests "$S/term_trace.txt")" -gt $((before + 3)) ] && break
  sleep 0.05
done
kill -TERM "$program"
wait "$restoring"
check test "$?" = 0
check has "$(cat "$S/term_ctl.txt")" "restored $S/backup.vnp to all three profiles"
wait "$program" 2>/dev/null

if [ $fail -ne 0 ]; then
  echo "--- vantrel output ---"
  cat "$S/vantrel.log"
fi
exit $fail
