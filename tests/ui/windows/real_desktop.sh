# Sourced (after desktop_session.sh) by the tests that run the program on a real Wayland
# desktop (KWin, GNOME Shell) started headless on a private session bus: the bus names, the
# service file that notices a start of the program by the bus, the X socket folder Xwayland
# needs, and the delay from a focus change to the profile switch.

# has_owner NAME / wait_owner NAME [TENTHS]: whether NAME has an owner on the session bus;
# until it has (10 s).
has_owner() {
  gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.NameHasOwner "$1" 2>/dev/null | grep -q true
}
wait_owner() {
  local i
  for ((i = 0; i < ${2:-100}; i++)); do has_owner "$1" && return 0; sleep 0.1; done
  return 1
}

# install_start_marker: a service file for the program's bus name whose "program" only
# notes that the bus started it, in $SCRATCH/started-by-bus. Call before the session bus
# starts (it reads $XDG_DATA_HOME/dbus-1/services then).
install_start_marker() {
  mkdir -p "$XDG_DATA_HOME/dbus-1/services"
  printf '#!/bin/sh\necho started >>"%s/started-by-bus"\n' "$SCRATCH" >"$SCRATCH/start-marker.sh"
  chmod +x "$SCRATCH/start-marker.sh"
  printf '[D-BUS Service]\nName=org.vantrel.Vantrel1\nExec=%s/start-marker.sh\n' "$SCRATCH" \
    >"$XDG_DATA_HOME/dbus-1/services/org.vantrel.Vantrel1.service"
}

# need_x11_socket_folder: Xwayland listens in /tmp/.X11-unix, which a container may lack;
# made when it can be (mode 1777), else the test is skipped.
need_x11_socket_folder() {
  [ -d /tmp/.X11-unix ] && return 0
  if ! { mkdir -p /tmp/.X11-unix && chmod 1777 /tmp/.X11-unix; } 2>/dev/null; then
    echo "skipped: /tmp/.X11-unix is missing and cannot be made (Xwayland needs it)"
    exit 77
  fi
}

now_ns() { date +%s%N; }

# Profile switches timed: `watch_switch PROFILE` (in the background, before the focus is
# moved) prints the time in nanoseconds at which the last profile written becomes PROFILE,
# polling every 10 ms for 10 s, and fails when it does not.
watch_switch() {
  local i
  for ((i = 0; i < 1000; i++)); do
    if [ "$(profile_writes | tail -n 1)" = "$1" ]; then
      now_ns
      return 0
    fi
    sleep 0.01
  done
  return 1
}

# The focus journey on a real desktop, once vantrel runs there with the rules added:
# `focus_journey DESKTOP XCALC_CLASS` opens an Xwayland window and a Wayland window with
# rules and xcalc without one, moves the focus between them with the desktop's `activate`,
# and checks that the profile follows and what `focus --watch` shows. DESKTOP names the
# desktop in failures; XCALC_CLASS is the class the desktop reports for xcalc.
focus_journey() {
  local desktop="$1" xcalc_class="$2"
  local classes before watcher target start poller got expected i
  # Two windows with rules, and xcalc (no rule: the profile stays) to start from.
  DISPLAY="$xdisplay" xmessage -name alphawin "alpha" >/dev/null 2>&1 &
  pids+=($!)
  WAYLAND_DISPLAY="$socket" weston-terminal >/dev/null 2>&1 &
  pids+=($!)
  DISPLAY="$xdisplay" xcalc >/dev/null 2>&1 &
  pids+=($!)
  for ((i = 0; i < 50; i++)); do
    classes="$(window_classes)"
    [[ "$classes" == *"$xterm_class"* && "$classes" == *"$wayland_class"* && "$classes" == *"$xcalc_class"* ]] && break
    sleep 0.2
  done
  [[ "$classes" == *"$xterm_class"* && "$classes" == *"$wayland_class"* && "$classes" == *"$xcalc_class"* ]] ||
    fail "the windows did not open: $classes"
  # Windows that have just opened may still take the focus: asked again until xcalc has it.
  for ((i = 0; i < 20; i++)); do
    activate "$xcalc_class" >/dev/null || fail "no xcalc window"
    sleep 0.3
    [ "$(active_class)" = "$xcalc_class" ] && break
  done
  [ "$(active_class)" = "$xcalc_class" ] || fail "$desktop did not move the focus to xcalc"
  sleep 1.1
  # Profile 0 by hand: each window focused next asks for another profile than the last.
  "$ctl" --simulate="$SCRATCH/state.json" profile 0 >/dev/null || fail "profile 0"
  before="$(profile_writes | wc -l)"

  "$ctl" focus --watch --count 3 >"$SCRATCH/watch.txt" 2>&1 &
  watcher=$!
  sleep 0.5
  delays=()
  expected=""
  for target in "$xterm_class:01" "$wayland_class:02" "$xterm_class:01"; do
    sleep 1.1  # the keyboard is written at most once a second
    watch_switch "${target#*:}" >"$SCRATCH/switched" &
    poller=$!
    start="$(activate "${target%:*}")" || fail "$desktop did not move the focus to ${target%:*}"
    wait "$poller" || fail "${target%:*}: profile ${target#*:} expected"
    delays+=("$((($(cat "$SCRATCH/switched") - start) / 1000000))")
    expected+="${target#*:} "
  done
  got="$(profile_writes | tail -n +$((before + 1)) | tr '\n' ' ')"
  [ "$got" = "$expected" ] || fail "profile writes after the one by hand: $got (expected $expected)"
  for ((i = 0; i < 50; i++)); do kill -0 "$watcher" 2>/dev/null || break; sleep 0.1; done
  kill "$watcher" 2>/dev/null && fail "focus --watch did not end"
  wait "$watcher" || fail "focus --watch failed"
  # The names the desktop reports: an Xwayland window's class (KWin: in lower case), not its
  # instance "alphawin"; a Wayland window's app id; no empty report between two windows.
  sed -n 1p "$SCRATCH/watch.txt" | grep -q "^app=$xterm_class class= " || fail "focus --watch, Xwayland window"
  sed -n 2p "$SCRATCH/watch.txt" | grep -q "^app=$wayland_class class= .* pid=[1-9]" || fail "focus --watch, Wayland window"
  grep -q "^app= class= exe= pid=0" "$SCRATCH/watch.txt" && fail "focus --watch shows an empty report"
  echo "profiles written: $got"
  echo "focus-to-switch delays (ms): ${delays[*]}"
}
