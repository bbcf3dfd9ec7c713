#!/bin/bash
# CPU of `vantrel --simulate` under xvfb with the lighting panel open (DengCheck=1 opens it
# at start), sampled from /proc/PID/stat over SECONDS seconds after a settle time.
# Usage: bench/measure_vantrel_cpu.sh BIN_DIR [SECONDS]   (BIN_DIR: e.g. build/bin)
set -euo pipefail
bin=$1
seconds=${2:-30}
run=$(mktemp -d /tmp/vantrel_cpu.XXXXXX)
chmod 700 "$run"
mkdir -m 700 "$run/home" "$run/xdg"
export HOME=$run/home XDG_RUNTIME_DIR=$run/xdg
unset XDG_DATA_HOME XDG_CONFIG_HOME
mkdir -p "$HOME/.local/share/PX204-1127"
printf '[KEYCOLOR]\r\nDengCheck=1\r\n' > "$HOME/.local/share/PX204-1127/wskb.ini"
xvfb-run -a -s "-screen 0 1600x900x24" sh -c "echo \$\$ > '$run/pid'; exec '$bin/vantrel' --simulate='$run/state.json'" \
  > "$run/out.log" 2>&1 &
runner=$!
sleep 6
pid=$(cat "$run/pid")
tick=$(getconf CLK_TCK)
cpu() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
c0=$(cpu); t0=$(date +%s.%N)
sleep "$seconds"
c1=$(cpu); t1=$(date +%s.%N)
load=$(cat /proc/loadavg)
kill -TERM "$pid" 2>/dev/null || true
wait "$runner" 2>/dev/null || true
awk -v c0="$c0" -v c1="$c1" -v t0="$t0" -v t1="$t1" -v hz="$tick" -v load="$load" \
  'BEGIN { printf "cpu_percent=%.2f  loadavg=%s\n", 100 * (c1 - c0) / hz / (t1 - t0), load }'
rm -rf "$run"
