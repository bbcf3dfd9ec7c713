# Sourced by the tests that run the program in a desktop of their own (a virtual X server,
# a private session bus): the skip when a tool is missing, a scratch home, and, inside
# that desktop, the background processes and the profile writes read from the trace.

# require_tools "PACKAGES" TOOL...: exits 77 (skipped) unless every tool is on the PATH.
require_tools() {
  local packages="$1" tool
  shift
  for tool in "$@"; do
    if ! command -v "$tool" >/dev/null 2>&1; then
      echo "skipped: $tool is missing (packages $packages)"
      exit 77
    fi
  done
}

# enter_scratch_home: a fresh home with its runtime, settings and data folders in
# $SCRATCH, removed on exit.
enter_scratch_home() {
  SCRATCH="$(mktemp -d)"
  trap 'rm -rf "$SCRATCH"' EXIT
  mkdir -p "$SCRATCH/home" "$SCRATCH/run"
  chmod 700 "$SCRATCH/run"
  export HOME="$SCRATCH/home" XDG_RUNTIME_DIR="$SCRATCH/run" XDG_CONFIG_HOME="$SCRATCH/home/.config"
  export XDG_DATA_HOME="$SCRATCH/home/.local/share" SCRATCH
  # Sanitizer builds: the X and D-Bus client libraries keep allocations until exit.
  export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
}

# Background processes: `pids+=($!)` after starting one; all are ended on exit.
pids=()
end_background() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
}

# fail MESSAGE: says what failed, the profiles written, the logs named in FAIL_LOGS
# (besides the program's own) and ends the test.
FAIL_LOGS=()
fail() {
  local log
  echo "FAILED: $*"
  echo "--- profile writes in the trace ---"
  profile_writes | tr '\n' ' '
  echo
  for log in "${FAIL_LOGS[@]}" "$SCRATCH/vantrel.log"; do
    echo "--- $(basename "$log") ---"
    cat "$log" 2>/dev/null
  done
  exit 1
}

# The profiles written so far, one per line: writes of the device state record (command
# 04, the record from byte 8, the profile in its byte 10).
profile_writes() { awk '$1 == ">" && $2 == "CTRL" && $6 == "04" { print $21 }' "$SCRATCH/trace.txt" 2>/dev/null; }

# wait_for_profile PROFILE [SECONDS]: until the last profile written is PROFILE (5 s).
wait_for_profile() {
  local i
  for ((i = 0; i < ${2:-5} * 10; i++)); do
    [ "$(profile_writes | tail -n 1)" = "$1" ] && return 0
    sleep 0.1
  done
  return 1
}

# wait_for_keyboard_read: until the program has talked to the keyboard (30 s), then a
# second for it to settle.
wait_for_keyboard_read() {
  local i
  for ((i = 0; i < 300; i++)); do
    grep -q "^> CTRL" "$SCRATCH/trace.txt" 2>/dev/null && { sleep 1; return 0; }
    sleep 0.1
  done
  return 1
}
