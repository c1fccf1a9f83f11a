#!/bin/bash
# How the program answers while a loop runs: starts quillon_loop_probe
# (build it with `cmake --build build --target quillon_loop_probe`) in MODE
# (idle, focus or guide) on the simulator, times 25 reads of the
# accessibility bus in a row and a walk of the main window's tree once the
# loop runs, and the program's CPU share over 10 s from /proc. With
# SWEEP=1 the pointer moves over the screen meanwhile (tools/pointer_sweep.py):
# the moves are input the loop leaves for its own pump.
#
#   xvfb-run -a -s "-screen 0 1600x1000x24" dbus-run-session -- \
#     tools/loop_responsiveness.sh build focus
set -euo pipefail
build=${1:-build}
mode=${2:-idle}
here=$(cd "$(dirname "$0")" && pwd)
export QUILLON_HOME=$(mktemp -d)
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
log=$QUILLON_HOME/probe.log
"$build/quillon_loop_probe" "$mode" 60 > "$log" 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null || true; rm -rf "$QUILLON_HOME"' EXIT
for _ in $(seq 100); do
  grep -q running "$log" && break
  sleep 0.2
done
grep -q running "$log" || { cat "$log"; exit 1; }
sleep 5 # the loop under way
echo "== $mode"
/usr/bin/python3 "$here/a11y_reads.py" --app quillon --walk
ticks() { awk '{ print $14 + $15 }' "/proc/$pid/stat"; }
hz=$(getconf CLK_TCK)
before=$(ticks)
if [ "${SWEEP:-0}" = 1 ]; then
  /usr/bin/python3 "$here/pointer_sweep.py" 10
else
  sleep 10
fi
after=$(ticks)
awk -v d=$((after - before)) -v hz="$hz" 'BEGIN { printf "CPU over 10 s: %.1f %% of a core\n", 100 * d / hz / 10 }'
/usr/bin/python3 "$here/a11y_reads.py" --app quillon
wait $pid || true
grep -E "beeps|still" "$log" || true
