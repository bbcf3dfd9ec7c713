#!/usr/bin/env bash
# Automatic profiles on the real KWin (Plasma's kwin_wayland, headless, with Xwayland) on a
# private session bus: the program loads and starts its KWin script, the focus moved
# between an Xwayland window (xmessage) and a native Wayland one (weston-terminal) switches
# the virtual keyboard's profile as the rules say (read from the trace), vantrelctl focus
# --watch shows the names KWin reports, and once the program has ended its script is
# unloaded, and when it could not be (the program killed) no focus change starts the
# program again through the bus. Prints the delay from each focus change to the switch, and
# leaves a picture of the main window on the 1280-pixel screen in SCREENSHOT_DIR. Exit 77 (skipped) when a tool is missing or KWin
# cannot start here.
# Usage: auto_switch_kwin_test.sh VANTREL VANTRELCTL SCREENSHOT_DIR
set -u
vantrel="${1:?}" ctl="${2:?}" shots="${3:?}"
here="$(cd "$(dirname "$0")" && pwd)"
python=/usr/bin/python3
socket=vantrel-kwin-test

source "$here/desktop_session.sh"
source "$here/real_desktop.sh"

if [ "${4:-}" != "--inside" ]; then
  require_tools "kwin-wayland, xwayland, x11-apps, weston, dbus, libglib2.0-bin" \
    dbus-run-session kwin_wayland Xwayland xmessage xcalc weston-terminal gdbus
  if ! "$python" -c 'import dbus' >/dev/null 2>&1; then
    echo "skipped: python3-dbus is missing"
    exit 77
  fi
  need_x11_socket_folder
  enter_scratch_home
  # The installed binary carries a file capability (CAP_SYS_RESOURCE) that a container may
  # refuse to grant ("Operation not permitted"); a copy carries none.
  cp "$(command -v kwin_wayland)" "$SCRATCH/kwin_wayland" || exit 1
  install_start_marker
  shots="$(mkdir -p "$shots" && cd "$shots" && pwd)" || exit 1
  dbus-run-session -- bash "$0" "$vantrel" "$ctl" "$shots" --inside
  exit $?
fi

export XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=KDE KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1
unset DISPLAY WAYLAND_DISPLAY
trap end_background EXIT
FAIL_LOGS=("$SCRATCH/kwin.log" "$SCRATCH/watch.txt")

# KWin starts the programs named after its options once Wayland and Xwayland run: this one
# tells the test where Xwayland is.
printf '#!/bin/sh\necho "$DISPLAY" >"%s/display.tmp" && mv "%s/display.tmp" "%s/display"\n' \
  "$SCRATCH" "$SCRATCH" "$SCRATCH" >"$SCRATCH/tell-display.sh"
chmod +x "$SCRATCH/tell-display.sh"
"$SCRATCH/kwin_wayland" --virtual --xwayland --width 1280 --height 800 --socket "$socket" --no-lockscreen \
  "$SCRATCH/tell-display.sh" >"$SCRATCH/kwin.log" 2>&1 &
pids+=($!)
for ((i = 0; i < 200; i++)); do [ -s "$SCRATCH/display" ] && break; sleep 0.1; done
if [ ! -s "$SCRATCH/display" ] || ! wait_owner org.kde.KWin 50; then
  echo "skipped: kwin_wayland did not start here: $(grep -v '^$' "$SCRATCH/kwin.log" | tail -n 3 | tr '\n' ' ')"
  exit 77
fi
xdisplay="$(cat "$SCRATCH/display")"

# kwin_script FILE NAME: loads a script into KWin, starts it (Plasma 5.27 keeps it at /ID,
# 6 at /Scripting/ScriptID), waits for the line "vantrel-test NAME done" it prints, and
# unloads it.
kwin_script() {
  local id i
  id="$(gdbus call --session --dest org.kde.KWin --object-path /Scripting \
    --method org.kde.kwin.Scripting.loadScript "$1" "$2" | tr -dc '0-9-')"
  [ -n "$id" ] && [ "$id" -ge 0 ] || return 1
  gdbus call --session --dest org.kde.KWin --object-path "/$id" --method org.kde.kwin.Script.run >/dev/null 2>&1 ||
    gdbus call --session --dest org.kde.KWin --object-path "/Scripting/Script$id" \
      --method org.kde.kwin.Script.run >/dev/null || return 1
  for ((i = 0; i < 100; i++)); do
    grep -q "vantrel-test $2 done" "$SCRATCH/kwin.log" && break
    sleep 0.02
  done
  gdbus call --session --dest org.kde.KWin --object-path /Scripting \
    --method org.kde.kwin.Scripting.unloadScript "$2" >/dev/null
  grep -q "vantrel-test $2 done" "$SCRATCH/kwin.log"
}
script_loaded() {
  gdbus call --session --dest org.kde.KWin --object-path /Scripting \
    --method org.kde.kwin.Scripting.isScriptLoaded "$1" | grep -q true
}
# kwin_query JS: runs JS (which sets `answer`) in KWin and prints the answer.
kwin_query() {
  local name="query$(now_ns)"
  cat >"$SCRATCH/$name.js" <<EOF
var plasma6 = workspace.windowList !== undefined;
var clients = plasma6 ? workspace.windowList() : workspace.clientList();
var active = plasma6 ? workspace.activeWindow : workspace.activeClient;
var answer = "";
$1
print("vantrel-test $name done " + answer);
EOF
  kwin_script "$SCRATCH/$name.js" "$name" && grep -a "vantrel-test $name done " "$SCRATCH/kwin.log" | sed 's/.* done //'
}
# activate CLASS: gives the focus to the window of that resource class (KWin keeps the
# class of X11 windows in lower case; a Wayland window's is its app id) and prints when, in
# nanoseconds of the real-time clock as `date +%s%N` gives them. KWin moves the focus to an
# X11 window once Xwayland has given it: active_class tells when.
activate() {
  local at
  at="$(kwin_query "for (var i = 0; i < clients.length; i++) {
    if (String(clients[i].resourceClass) !== \"$1\") continue;
    answer = String(Date.now());
    if (plasma6) workspace.activeWindow = clients[i]; else workspace.activeClient = clients[i];
  }")"
  [ -n "$at" ] && echo "${at}000000"
}
active_class() { kwin_query "answer = active ? String(active.resourceClass) : \"none\";"; }
window_classes() {
  kwin_query "var names = []; for (var i = 0; i < clients.length; i++) names.push(String(clients[i].resourceClass));
answer = names.join(\",\");"
}

xterm_class=xmessage
wayland_class=org.freedesktop.weston.wayland-terminal
"$ctl" rules add --app "$xterm_class" --profile 1 >/dev/null || fail "rules add"
"$ctl" rules add --app "$wayland_class" --profile 2 >/dev/null || fail "rules add"

WAYLAND_DISPLAY="$socket" QT_QPA_PLATFORM=wayland "$vantrel" --simulate="$SCRATCH/state.json" \
  --trace "$SCRATCH/trace.txt" --language 1033 >"$SCRATCH/vantrel.log" 2>&1 &
vantrel_pid=$!
pids+=($vantrel_pid)
wait_owner org.vantrel.Vantrel1 || fail "vantrel did not take its bus name"
for ((i = 0; i < 300; i++)); do grep -q "focus script" "$SCRATCH/vantrel.log" && break; sleep 0.1; done
grep -q "KWin runs the focus script" "$SCRATCH/vantrel.log" || fail "KWin did not run the focus script"
script_loaded vantrel_focus || fail "the focus script is not loaded"
wait_for_keyboard_read || fail "vantrel never talked to the keyboard"
# The main window as KWin placed it on a 1280 x 800 screen.
"$python" "$here/kwin_screenshot.py" "$shots/kwin_main_window_1280.png" ||
  echo "note: no picture of the screen: KWin refused the screenshot"

focus_journey KWin xcalc

# The end of the program takes its script out of KWin.
QT_QPA_PLATFORM=offscreen "$vantrel" /Kill >/dev/null 2>&1 || fail "vantrel /Kill"
for ((i = 0; i < 50; i++)); do kill -0 "$vantrel_pid" 2>/dev/null || break; sleep 0.1; done
script_loaded vantrel_focus && fail "the focus script stayed loaded after the program ended"
# A program that could not unload it (killed) leaves it running in KWin: a focus change
# afterwards must not start the program through the bus.
QT_QPA_PLATFORM=offscreen "$vantrel" --simulate="$SCRATCH/state.json" >"$SCRATCH/vantrel.log" 2>&1 &
vantrel_pid=$!
pids+=($vantrel_pid)
for ((i = 0; i < 300; i++)); do grep -q "focus script" "$SCRATCH/vantrel.log" && break; sleep 0.1; done
grep -q "KWin runs the focus script" "$SCRATCH/vantrel.log" || fail "KWin did not run the focus script again"
kill -KILL "$vantrel_pid"
wait "$vantrel_pid" 2>/dev/null
script_loaded vantrel_focus || fail "the focus script of the killed program is not loaded (nothing tested)"
activate "$wayland_class" >/dev/null || fail "KWin did not move the focus"
sleep 0.5
activate "$xterm_class" >/dev/null || fail "KWin did not move the focus"
sleep 1
[ -e "$SCRATCH/started-by-bus" ] && fail "a focus report started the program through the bus"
has_owner org.vantrel.Vantrel1 && fail "something owns the program's bus name after it ended"
exit 0
