#!/usr/bin/env bash
# Automatic profiles under a virtual X server with a window manager: two windows with
# different WM_CLASS, focused in turn, switch the virtual keyboard's profile back and
# forth. The rules are set with vantrelctl; the switches are read from the trace (writes of
# the device state record: command 04, the record from byte 8, the profile in its byte 10).
# Exit 77 (skipped) when a tool is missing.
# Usage: auto_switch_x11_test.sh VANTREL_BINARY VANTRELCTL_BINARY
set -u
vantrel="${1:?usage: $0 VANTREL VANTRELCTL}"
ctl="${2:?usage: $0 VANTREL VANTRELCTL}"

source "$(dirname "$0")/desktop_session.sh"

if [ "${3:-}" != "--inside" ]; then
  require_tools "xvfb, openbox, x11-utils, xdotool" xvfb-run openbox xmessage xprop xdotool
  enter_scratch_home
  xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$vantrel" "$ctl" --inside
  exit $?
fi

# Inside the virtual X server.
export XDG_SESSION_TYPE=x11 QT_QPA_PLATFORM=xcb
unset XDG_CURRENT_DESKTOP WAYLAND_DISPLAY
trap end_background EXIT

openbox >/dev/null 2>&1 &
pids+=($!)

"$ctl" rules add --app alpha --profile 1 >/dev/null || fail "rules add alpha"
"$ctl" rules add --app BETA --profile 2 >/dev/null || fail "rules add beta"
"$ctl" rules fallback stay >/dev/null || fail "rules fallback"
listed="$("$ctl" rules)"
echo "$listed" | grep -q "^0: app alpha -> 1$" || fail "the listing: $listed"

"$vantrel" --simulate="$SCRATCH/state.json" --trace "$SCRATCH/trace.txt" --language 1033 >"$SCRATCH/vantrel.log" 2>&1 &
pids+=($!)

wait_for_keyboard_read || fail "vantrel never talked to the keyboard"

xmessage -name alpha -geometry +50+50 "alpha" &
alpha_pid=$!
pids+=($alpha_pid)
xmessage -name beta -geometry +400+50 "beta" &
pids+=($!)
window_of() {
  local id i
  for ((i = 0; i < 50; i++)); do
    id="$(xdotool search --classname "^$1\$" 2>/dev/null | head -n 1)"
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}
alpha="$(window_of alpha)" || fail "no alpha window"
beta="$(window_of beta)" || fail "no beta window"
# Xt programs do not name their process; a toolkit that does sets _NET_WM_PID like this.
xprop -id "$alpha" -f _NET_WM_PID 32c -set _NET_WM_PID "$alpha_pid" || fail "xprop"

# vantrelctl focus --watch prints what the program sees: the active window at once, then
# each window focused. Beta is focused first, so the watch starts from a known window, and
# each focus change waits for the line of the one before: the window manager may still be
# focusing the windows it has just mapped.
lines_in_watch() {
  local i
  for ((i = 0; i < 100; i++)); do
    [ "$(wc -l <"$SCRATCH/watch.txt")" -ge "$1" ] && return 0
    sleep 0.1
  done
  return 1
}
xdotool windowactivate --sync "$beta" || fail "activate beta"
"$ctl" focus --watch --count 3 >"$SCRATCH/watch.txt" 2>&1 &
watcher=$!
lines_in_watch 1 || fail "focus --watch printed no active window: $(cat "$SCRATCH/watch.txt")"
xdotool windowactivate --sync "$alpha" || fail "activate alpha"
lines_in_watch 2 || fail "focus --watch missed alpha: $(cat "$SCRATCH/watch.txt")"
xdotool windowactivate --sync "$beta" || fail "activate beta"
for ((i = 0; i < 100; i++)); do
  kill -0 "$watcher" 2>/dev/null || break
  sleep 0.1
done
kill "$watcher" 2>/dev/null && fail "focus --watch did not end after 3 windows: $(cat "$SCRATCH/watch.txt")"
wait "$watcher" || fail "focus --watch failed: $(cat "$SCRATCH/watch.txt")"
grep -Eq "^app=alpha class=Xmessage exe=[^ ]*/xmessage pid=$alpha_pid title=alpha$" "$SCRATCH/watch.txt" ||
  fail "focus --watch output: $(cat "$SCRATCH/watch.txt")"
grep -Eq "^app=beta class=Xmessage " "$SCRATCH/watch.txt" || fail "focus --watch output: $(cat "$SCRATCH/watch.txt")"

# The window manager may have focused the new windows already: start from beta, settled.
xdotool windowactivate --sync "$beta" || fail "activate beta"
wait_for_profile 02 || fail "beta focused: profile 2 expected (rules ignore case)"
sleep 1.2
before="$(profile_writes | wc -l)"

xdotool windowactivate --sync "$alpha" || fail "activate alpha"
wait_for_profile 01 || fail "alpha focused: profile 1 expected"
xdotool windowactivate --sync "$beta" || fail "activate beta"
wait_for_profile 02 || fail "beta focused: profile 2 expected (rules ignore case)"
xdotool windowactivate --sync "$alpha" || fail "activate alpha again"
wait_for_profile 01 || fail "alpha focused again: profile 1 expected"

# A rule changed by vantrelctl while the program runs applies at once.
"$ctl" rules rm 0 >/dev/null || fail "rules rm"
"$ctl" rules add --app alpha --profile 0 >/dev/null || fail "rules add alpha 0"
wait_for_profile 00 || fail "the changed rule for the focused window: profile 0 expected"

# Back and forth exactly: 1 2 1 0, no write in between.
got="$(profile_writes | tail -n +$((before + 1)) | tr '\n' ' ')"
[ "$got" = "01 02 01 00 " ] || fail "profile writes: $got"
echo "profiles written: $got"
exit 0
