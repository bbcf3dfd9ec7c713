#!/usr/bin/env bash
# Macro recording in the program itself under a virtual X server with the server's own
# auto-repeat: xdotool, one process per step as a user's keyboard would send them, types
# Shift+a b and holds a for 1.5 s while G9's macro editor records. The macro is applied
# and read back with vantrelctl: Shift+ A+ A- B+ B- Shift- A+ A-, the last A+ with the
# hold time as its delay. Run once without a window manager and once under openbox.
# Exit 77 (skipped) when a tool is missing.
# Usage: record_x11_test.sh VANTREL_BINARY VANTRELCTL_BINARY
set -u
vantrel="${1:?usage: $0 VANTREL VANTRELCTL}"
ctl="${2:?usage: $0 VANTREL VANTRELCTL}"

source "$(dirname "$0")/desktop_session.sh"

if [ "${3:-}" != "--inside" ]; then
  require_tools "xvfb, openbox, xdotool, python3" xvfb-run openbox xdotool python3
  status=0
  for wm in none openbox; do
    echo "--- window manager: $wm"
    (
      enter_scratch_home
      xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$vantrel" "$ctl" --inside "$wm"
    ) || status=1
  done
  exit $status
fi

# Inside the virtual X server.
wm="$4"
export XDG_SESSION_TYPE=x11 QT_QPA_PLATFORM=xcb
unset XDG_CURRENT_DESKTOP WAYLAND_DISPLAY
trap end_background EXIT
skins="$(dirname "$vantrel")/Skins"

if [ "$wm" = openbox ]; then
  openbox >/dev/null 2>&1 &
  pids+=($!)
fi

"$vantrel" --simulate="$SCRATCH/state.json" --trace "$SCRATCH/trace.txt" --language 1033 >"$SCRATCH/vantrel.log" 2>&1 &
pids+=($!)
wait_for_keyboard_read || fail "vantrel never talked to the keyboard"

# window_named PATTERN: the visible window whose name matches (10 s).
window_named() {
  local id i
  for ((i = 0; i < 100; i++)); do
    id="$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)"
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}
# click WINDOW SKIN_FILE KEY: a left click in the middle of the control the skin places. A
# window wider than the screen is drawn smaller: the skin's place is scaled by the window's
# width over the skin's (its mask picture's width).
click() {
  local x y w h X Y WIDTH HEIGHT SCREEN WINDOW mask skinWidth
  IFS=', ' read -r x y w h < <(grep -m 1 "^$3=" "$skins/$2" | cut -d= -f2 | tr -d '\r')
  [ -n "${h:-}" ] || fail "no $3 in $2"
  mask="$(grep -m 1 '^Mask=' "$skins/$2" | cut -d= -f2 | tr -d '\r')"
  skinWidth="$(python3 -c 'import struct,sys; print(struct.unpack("<i", open(sys.argv[1], "rb").read()[18:22])[0])' "$skins/$mask")"
  eval "$(xdotool getwindowgeometry --shell "$1")"
  xdotool mousemove --sync $((X + (2 * x + w) * WIDTH / (2 * skinWidth))) $((Y + (2 * y + h) * WIDTH / (2 * skinWidth))) \
    click 1 || fail "click $3"
  sleep 0.4
}

main="$(window_named '^Vantrel Gaming Keyboard$')" || fail "no main window"
[ "$wm" = openbox ] && xdotool windowactivate --sync "$main"
click "$main" Main.ini FUNC_MACRO
page="$(window_named '^Macro editor')" || fail "the Macros button opened no macro editor"
[ "$wm" = openbox ] && xdotool windowactivate --sync "$page"
click "$page" Composite.ini FUNC_MACRO_ADD
click "$page" Composite.ini FUNC_MACRO_RECORD_DELAY
click "$page" Composite.ini FUNC_MACRO_RECORD

# As a keyboard sends them: each edge from a process of its own.
xdotool keydown shift
xdotool key --delay 120 a b
xdotool keyup shift
sleep 0.3
xdotool keydown a
sleep 1.5
xdotool keyup a
sleep 0.3

click "$page" Composite.ini FUNC_MACRO_RECORD
click "$page" Composite.ini CONTROL_OK
click "$main" Main.ini CONTROL2_APPLY
sleep 1

got="$("$ctl" --simulate="$SCRATCH/state.json" macros --json 2>&1)" || fail "macros: $got"
id="$(python3 -c 'import json,sys; m=json.load(sys.stdin)["macros"]; print(m[-1]["id"] if m else "")' <<<"$got")"
[ -n "$id" ] || fail "no macro on the keyboard: $got"
shown="$("$ctl" --simulate="$SCRATCH/state.json" macros show "$id" --json 2>&1)" || fail "macros show: $shown"
steps="$(python3 -c '
import json, sys
s = json.load(sys.stdin)["steps"]
print(" ".join("%X%s" % (x["code"], "+" if x["direction"] == "press" else "-") for x in s))
print(s[-2]["delay"] if len(s) >= 2 else -1)' <<<"$shown")"
order="$(head -n 1 <<<"$steps")"
held="$(tail -n 1 <<<"$steps")"
echo "recorded: $order; A held for $held ms"
[ "$order" = "2A+ 1E+ 1E- 30+ 30- 2A- 1E+ 1E-" ] || fail "recorded steps: $order"
[ "$held" -ge 1300 ] && [ "$held" -le 2600 ] || fail "the held key's delay: $held ms"
exit 0
