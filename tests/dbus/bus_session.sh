# Shared by the bus journeys: the private session bus they run on, and calls to the program
# on it. Sourced; the sourcing script takes VANTREL and VANTRELCTL as its first arguments.

# Outside the bus: checks the tools (exit 77, skipped, when one is missing), makes a scratch
# home and runtime folder, and runs the sourcing script again with the given arguments and
# --inside on a private session bus; exits with its status.
run_on_private_bus() {
  local tool scratch
  for tool in dbus-run-session gdbus; do
    if ! command -v "$tool" >/dev/null 2>&1; then
      echo "skipped: $tool is missing (packages dbus, libglib2.0-bin)"
      exit 77
    fi
  done
  scratch="$(mktemp -d)"
  # shellcheck disable=SC2064 # the folder is known now
  trap "rm -rf '$scratch'" EXIT
  mkdir -p "$scratch/home" "$scratch/run"
  chmod 700 "$scratch/run"
  export HOME="$scratch/home" XDG_RUNTIME_DIR="$scratch/run" XDG_CONFIG_HOME="$scratch/home/.config"
  export XDG_DATA_HOME="$scratch/home/.local/share" XDG_STATE_HOME="$scratch/home/.local/state" SCRATCH="$scratch"
  export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
  unset DBUS_SESSION_BUS_ADDRESS
  dbus-run-session -- bash "$0" "$@" --inside
  exit $?
}

check() { if ! "$@"; then echo "FAILED (line ${BASH_LINENO[0]}): $*"; fail=1; fi; }
has() { grep -qF -- "$2" <<<"$1" || { echo "  expected [$2] in: $1"; return 1; }; }
lacks() { ! grep -qF -- "$2" <<<"$1" || { echo "  did not expect [$2] in: $1"; return 1; }; }
call() {
  local method=$1
  shift
  gdbus call --session --dest org.vantrel.Vantrel1 --object-path /org/vantrel/Vantrel1 \
    --method "org.vantrel.Vantrel1.Keyboard.$method" "$@" 2>&1
}
# The test-only interface the program carries on the virtual keyboard.
tcall() {
  local method=$1
  shift
  gdbus call --session --dest org.vantrel.Vantrel1 --object-path /org/vantrel/Vantrel1 \
    --method "org.vantrel.Vantrel1.Testing.$method" "$@" 2>&1
}
prop() {
  gdbus call --session --dest org.vantrel.Vantrel1 --object-path /org/vantrel/Vantrel1 \
    --method org.freedesktop.DBus.Properties.Get org.vantrel.Vantrel1.Keyboard "$1" 2>&1
}
# Waits up to ten seconds for a property to read as `want`.
wait_prop() {
  for _ in $(seq 100); do
    [ "$(prop "$1")" = "$2" ] && return 0
    sleep 0.1
  done
  echo "  $1 is $(prop "$1"), not $2"
  return 1
}
# A document returned by ExportJson, as plain text.
unwrap() { /usr/bin/python3 -c 'import ast,sys; sys.stdout.write(ast.literal_eval(sys.stdin.read())[0])'; }
