#!/usr/bin/env bash
# The console's CPU use while nobody touches it: a demo database, the
# simulated handset on COM1 (so the tick reads the line every second), a
# virtual X display, a warm-up, then user + system time over a measured span
# read from /proc/<pid>/stat.
#
#   bench/tick/cpu-inattivo.sh [BUILD_DIR] [SECONDS] [CONSOLE]
#
# BUILD_DIR defaults to build, SECONDS to 60; CONSOLE to BUILD_DIR's sorvela.
set -euo pipefail
BUILD=${1:-build}
DURATA=${2:-60}
CONSOLE=${3:-$BUILD/src/shell/sorvela}
SIM=$BUILD/tools/sorvela-sim/sorvela-sim
DB=$BUILD/tools/sorvela-db/sorvela-db
for p in "$CONSOLE" "$SIM" "$DB"; do
  [ -x "$p" ] || { echo "cpu-inattivo: $p not built" >&2; exit 2; }
done

LAVORO=$(mktemp -d)
PIDS=()
fine() {
  for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$LAVORO"
}
trap fine EXIT

mkdir -p "$LAVORO/data" "$LAVORO/config/Sorvela"
"$DB" init --data-dir "$LAVORO/data" --demo > /dev/null
: > "$LAVORO/ctl"
"$SIM" --no-stdin --control "$LAVORO/ctl" --link "$LAVORO/COM1" > "$LAVORO/sim.log" 2>&1 &
PIDS+=($!)
for _ in $(seq 50); do [ -e "$LAVORO/COM1" ] && break; sleep 0.1; done
printf '[Impostazioni]\nNumPort=1\n\n[Porte]\nCOM1=%s\n' "$LAVORO/COM1" > "$LAVORO/config/Sorvela/Sorvela.ini"

XDG_CONFIG_HOME=$LAVORO/config xvfb-run -a "$CONSOLE" --data-dir "$LAVORO/data" \
  > "$LAVORO/console.log" 2>&1 &
PIDS+=($!)
# xvfb-run forks: find the console itself.
PID=
for _ in $(seq 100); do
  PID=$(pgrep -n -f "^$CONSOLE --data-dir $LAVORO/data" || true)
  [ -n "$PID" ] && break
  sleep 0.1
done
[ -n "$PID" ] || { echo "cpu-inattivo: the console did not start" >&2; cat "$LAVORO/console.log" >&2; exit 1; }

tempo() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
HZ=$(getconf CLK_TCK)
sleep 10   # start-up, first ticks, the queue opening
T0=$(tempo "$PID"); S0=$(date +%s.%N)
sleep "$DURATA"
T1=$(tempo "$PID"); S1=$(date +%s.%N)
awk -v t0="$T0" -v t1="$T1" -v s0="$S0" -v s1="$S1" -v hz="$HZ" 'BEGIN {
  cpu = (t1 - t0) / hz; span = s1 - s0
  printf "idle console: %.2f s CPU in %.1f s = %.2f %% of one core (goal < 1 %%)\n", cpu, span, 100 * cpu / span
}'
