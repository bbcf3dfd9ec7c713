#!/usr/bin/env bash
# Automatic profiles on the real GNOME Shell (headless, with Xwayland) on a private session
# bus: with the extension "Vantrel focus" enabled, the focus moved between an Xwayland
# window (xmessage) and a native Wayland one (weston-terminal) switches the virtual
# keyboard's profile as the rules say (read from the trace), vantrelctl focus --watch shows
# the names GNOME reports, and once the program has ended no focus change starts it again
# through the bus. Prints the delay from each focus change to the switch, and leaves a
# picture of the main window on the 1280-pixel screen in SCREENSHOT_DIR. The focus is moved
# with org.gnome.Shell.Eval, which a test-only extension allows. Exit 77 (skipped) when a
# tool is missing or GNOME Shell cannot start here.
# Usage: auto_switch_gnome_test.sh VANTREL VANTRELCTL EXTENSION_DIR SCREENSHOT_DIR
set -u
vantrel="${1:?}" ctl="${2:?}" extension="${3:?}" shots="${4:?}"
here="$(cd "$(dirname "$0")" && pwd)"
socket=vantrel-gnome-test
unsafe=vantrel-test-unsafe@vantrel.org

source "$here/desktop_session.sh"
source "$here/real_desktop.sh"

if [ "${5:-}" != "--inside" ]; then
  require_tools "gnome-shell, xwayland, x11-apps, weston, dbus, libglib2.0-bin" \
    dbus-run-session dbus-daemon gnome-shell Xwayland xmessage xcalc weston-terminal gdbus
  need_x11_socket_folder
  enter_scratch_home
  # The extensions are found when the shell starts; they are enabled once it runs.
  extensions="$XDG_DATA_HOME/gnome-shell/extensions"
  mkdir -p "$extensions/$unsafe"
  cp -r "$extension" "$extensions/" || exit 1
  printf '{"uuid": "%s", "name": "Vantrel test: unsafe mode", "description": "Lets the test call Eval.", "shell-version": ["43", "44"]}\n' \
    "$unsafe" >"$extensions/$unsafe/metadata.json"
  cat >"$extensions/$unsafe/extension.js" <<'EOF'
'use strict';
class Unsafe {
    enable() { global.context.unsafe_mode = true; }
    disable() { global.context.unsafe_mode = false; }
}
// eslint-disable-next-line no-unused-vars
function init() { return new Unsafe(); }
EOF
  install_start_marker
  shots="$(mkdir -p "$shots" && cd "$shots" && pwd)" || exit 1
  dbus-run-session -- bash "$0" "$vantrel" "$ctl" "$extension" "$shots" --inside
  exit $?
fi

export XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=GNOME
unset DISPLAY WAYLAND_DISPLAY
trap end_background EXIT
FAIL_LOGS=("$SCRATCH/shell.log" "$SCRATCH/watch.txt")

# GNOME Shell wants a system bus: a bus of its own stands in for it.
dbus-daemon --session --address="unix:path=$XDG_RUNTIME_DIR/system_bus" --nofork --nopidfile >/dev/null 2>&1 &
pids+=($!)
for ((i = 0; i < 50; i++)); do [ -S "$XDG_RUNTIME_DIR/system_bus" ] && break; sleep 0.1; done
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$XDG_RUNTIME_DIR/system_bus"

gnome-shell --headless --wayland --virtual-monitor 1280x800 --wayland-display "$socket" --sm-disable \
  >"$SCRATCH/shell.log" 2>&1 &
pids+=($!)
shell() {
  gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell --method "$@"
}
for ((i = 0; i < 200; i++)); do shell org.gnome.Shell.Extensions.ListExtensions >/dev/null 2>&1 && break; sleep 0.1; done
if ! shell org.gnome.Shell.Extensions.ListExtensions >/dev/null 2>&1; then
  echo "skipped: gnome-shell did not start here: $(grep -v '^$' "$SCRATCH/shell.log" | tail -n 3 | tr '\n' ' ')"
  exit 77
fi
# What gnome-extensions enable asks the shell.
shell org.gnome.Shell.Extensions.EnableExtension "$unsafe" >/dev/null || fail "enable the test extension"
shell org.gnome.Shell.Extensions.EnableExtension "$(basename "$extension")" >/dev/null ||
  fail "enable the extension Vantrel focus"
# eval CODE: runs CODE in the shell and prints its result.
eval_js() { shell org.gnome.Shell.Eval "$1"; }
for ((i = 0; i < 100; i++)); do eval_js 'GLib.getenv("DISPLAY")' | grep -q true && break; sleep 0.1; done
state="$(eval_js "Main.extensionManager.lookup('$(basename "$extension")').state")"
[ "$state" = "(true, '1')" ] || fail "the extension Vantrel focus is not running: $state"
# Where Xwayland is, and the key to it.
shell_env() { eval_js "GLib.getenv('$1')" | sed -n "s/^(true, '\"\\(.*\\)\"')\$/\\1/p"; }
xdisplay="$(shell_env DISPLAY)"
[ -n "$xdisplay" ] || fail "no Xwayland display"
XAUTHORITY="$(shell_env XAUTHORITY)"
export XAUTHORITY
eval_js 'Main.overview.hide()' >/dev/null

# activate CLASS: gives the focus to the window of that class (GNOME gives an X11 window's
# WM_CLASS class, a Wayland window's app id) and prints when, in nanoseconds of the
# real-time clock as `date +%s%N` gives them.
activate() {
  local got
  got="$(eval_js "(() => {
    const w = global.get_window_actors().map(a => a.meta_window).find(w => w.get_wm_class() === '$1');
    if (!w) return 'none';
    const at = Date.now();
    w.activate(global.display.get_current_time_roundtrip());
    return String(at);
  })()")"
  got="$(echo "$got" | sed -n "s/^(true, '\"\([0-9]*\)\"')\$/\1/p")"
  [ -n "$got" ] && echo "${got}000000"
}
active_class() {
  eval_js "global.display.focus_window ? global.display.focus_window.get_wm_class() : 'none'" |
    sed -n "s/^(true, '\"\(.*\)\"')\$/\1/p"
}
window_classes() {
  eval_js "global.get_window_actors().map(a => a.meta_window.get_wm_class()).join(',')"
}

xterm_class=Xmessage
wayland_class=org.freedesktop.weston.wayland-terminal
"$ctl" rules add --app xmessage --profile 1 >/dev/null || fail "rules add"
"$ctl" rules add --app "$wayland_class" --profile 2 >/dev/null || fail "rules add"

WAYLAND_DISPLAY="$socket" QT_QPA_PLATFORM=wayland "$vantrel" --simulate="$SCRATCH/state.json" \
  --trace "$SCRATCH/trace.txt" --language 1033 >"$SCRATCH/vantrel.log" 2>&1 &
vantrel_pid=$!
pids+=($vantrel_pid)
wait_owner org.vantrel.Vantrel1 || fail "vantrel did not take its bus name"
wait_for_keyboard_read || fail "vantrel never talked to the keyboard"
# The main window as GNOME placed it on a 1280 x 800 screen, once it is there.
for ((i = 0; i < 50; i++)); do [[ "$(window_classes)" == *vantrel* ]] && break; sleep 0.2; done
sleep 1
gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell/Screenshot \
  --method org.gnome.Shell.Screenshot.Screenshot false false "$shots/gnome_main_window_1280.png" >/dev/null ||
  echo "note: no picture of the screen: GNOME Shell refused the screenshot"

focus_journey "GNOME Shell" XCalc

# After the program has ended, a focus change does not start it through the bus.
QT_QPA_PLATFORM=offscreen "$vantrel" /Kill >/dev/null 2>&1 || fail "vantrel /Kill"
for ((i = 0; i < 50; i++)); do kill -0 "$vantrel_pid" 2>/dev/null || break; sleep 0.1; done
activate "$wayland_class" >/dev/null || fail "GNOME Shell did not move the focus"
activate "$xterm_class" >/dev/null || fail "GNOME Shell did not move the focus"
sleep 1
[ -e "$SCRATCH/started-by-bus" ] && fail "a focus report started the program through the bus"
has_owner org.vantrel.Vantrel1 && fail "something owns the program's bus name after it ended"
exit 0
