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
