#!/usr/bin/env bash
# Automatic profiles on a Wayland desktop, on a private session bus: a stand-in for KWin's
# scripting interface (Plasma 5.27's: a loaded script at /<id>) records that the program
# loads and starts its KWin script, and unloads it when it ends; that script, run as KWin
# 5.27 runs it, makes its own calls to the bus and the program (gdbus carries them); the
# GNOME extension's call (unsigned pid) and a call with an int pid are made with gdbus.
# The real desktops are tested by auto_switch_kwin_test.sh and auto_switch_gnome_test.sh.
# Each must switch the virtual keyboard's profile as the rules say, read from the trace.
# Exit 77 (skipped) when a tool is missing.
# Usage: auto_switch_dbus_test.sh VANTREL VANTRELCTL KWIN_SCRIPT REPLAY_JS
set -u
vantrel="${1:?}" ctl="${2:?}" script="${3:?}" replay="${4:?}"
python=/usr/bin/python3

source "$(dirname "$0")/desktop_session.sh"

if [ "${5:-}" != "--inside" ]; then
  require_tools "dbus, libglib2.0-bin, nodejs" dbus-run-session gdbus node
  if ! "$python" -c 'import dbusmock' >/dev/null 2>&1; then
    echo "skipped: python3-dbusmock is missing"
    exit 77
  fi
  enter_scratch_home
  dbus-run-session -- bash "$0" "$vantrel" "$ctl" "$script" "$replay" --inside
  exit $?
fi

export QT_QPA_PLATFORM=offscreen XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=KDE
unset DISPLAY WAYLAND_DISPLAY
trap end_background EXIT
FAIL_LOGS=("$SCRATCH/kwin.log")
has_owner() {
  gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.NameHasOwner "$1" 2>/dev/null | grep -q true
}
wait_owner() {
  local i
  for ((i = 0; i < 100; i++)); do has_owner "$1" && return 0; sleep 0.1; done
  return 1
}
mock() { gdbus call --session --dest org.kde.KWin --object-path "$1" --method "org.freedesktop.DBus.Mock.$2" "${@:3}" >/dev/null; }

# KWin's scripting interface, recording every call.
"$python" -m dbusmock --session -l "$SCRATCH/kwin.log" org.kde.KWin /Scripting org.kde.kwin.Scripting \
  >/dev/null 2>&1 &
pids+=($!)
wait_owner org.kde.KWin || fail "the KWin stand-in did not start"
mock /Scripting AddMethod "" loadScript ss i "ret = 7" || fail "mock loadScript"
mock /Scripting AddMethod "" unloadScript s b "ret = True" || fail "mock unloadScript"
mock /Scripting AddMethod "" start "" "" "" || fail "mock start"
mock /Scripting AddObject /7 org.kde.kwin.Script "{}" '[("run", "", "", "")]' || fail "mock script"

"$ctl" rules add --app steam_app_570 --profile 1 >/dev/null || fail "rules add"
"$ctl" rules add --app org.example.game --profile 2 >/dev/null || fail "rules add"
"$ctl" rules fallback 0 >/dev/null || fail "rules fallback"

"$vantrel" --simulate="$SCRATCH/state.json" --trace "$SCRATCH/trace.txt" --language 1033 >"$SCRATCH/vantrel.log" 2>&1 &
pids+=($!)
wait_owner org.vantrel.Vantrel1 || fail "vantrel did not take its bus name"

for ((i = 0; i < 50; i++)); do grep -q "KWin runs the focus script" "$SCRATCH/vantrel.log" && break; sleep 0.1; done
grep -q "loadScript \"[^\"]*/KWin/vantrel_focus.js\" \"vantrel_focus\"" "$SCRATCH/kwin.log" ||
  fail "the KWin script was not loaded"
grep -q "KWin runs the focus script (started with /7 run)" "$SCRATCH/vantrel.log" ||
  fail "the KWin script was not started at /7"

wait_for_keyboard_read || fail "vantrel never talked to the keyboard"

# The KWin script's own calls, as KWin 5.27 makes them (the pid as an int32).
node "$replay" "$script" steam_app_570 "Dota 2" 321 || fail "the KWin script's call failed"
wait_for_profile 01 || fail "KWin report: profile 1 expected"
sleep 1.1
# vantrelctl focus --watch gets the focus changes from the program.
"$ctl" focus --watch --count 1 >"$SCRATCH/watch.txt" 2>&1 &
watcher=$!
sleep 1
# The GNOME extension's call: (ssu).
gdbus call --session --dest org.vantrel.Vantrel1 --object-path /org/vantrel/Vantrel1 \
  --method org.vantrel.Vantrel1.Focus.WindowActivated "org.example.Game" "Level 1" "uint32 55" >/dev/null ||
  fail "the extension's call failed"
wait_for_profile 02 || fail "GNOME report: profile 2 expected"
for ((i = 0; i < 50; i++)); do kill -0 "$watcher" 2>/dev/null || break; sleep 0.1; done
kill "$watcher" 2>/dev/null && fail "focus --watch did not end: $(cat "$SCRATCH/watch.txt")"
wait "$watcher" || fail "focus --watch failed: $(cat "$SCRATCH/watch.txt")"
grep -Eq "^app=org.example.Game class= exe=[^ ]* pid=55 title=Level 1$" "$SCRATCH/watch.txt" ||
  fail "focus --watch output: $(cat "$SCRATCH/watch.txt")"
sleep 1.1
# A pid passed as an int, as KWin 6 may.
gdbus call --session --dest org.vantrel.Vantrel1 --object-path /org/vantrel/Vantrel1 \
  --method org.vantrel.Vantrel1.Focus.WindowActivated "org.kde.dolphin" "Home" "int32 9" >/dev/null ||
  fail "the int call failed"
wait_for_profile 00 || fail "fallback: profile 0 expected"
got="$(profile_writes | tr '\n' ' ')"
[ "$got" = "01 02 00 " ] || fail "profile writes: $got"
echo "profiles written: $got"
# The script goes with the program.
"$vantrel" /Kill >/dev/null 2>&1 || fail "vantrel /Kill"
grep -c "unloadScript \"vantrel_focus\"" "$SCRATCH/kwin.log" | grep -qx 2 ||
  fail "the script was not unloaded at the end"
exit 0
