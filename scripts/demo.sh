#!/usr/bin/env bash
# Builds Sorvela and starts the console on a demo database, with the
# simulated handset on COM1 and simulated units that report now and then.
# Everything lives in demo/ (data folder and settings folder of its own).
set -euo pipefail
cd "$(dirname "$0")/.."
TOP=$PWD
scripts/dipendenze.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --parallel "$(nproc)" --target sorvela sorvela-db sorvela-sim

DEMO=$TOP/demo
mkdir -p "$DEMO/data" "$DEMO/config/Sorvela"
if [ ! -f "$DEMO/data/Sorvela.db" ]; then
  build/tools/sorvela-db/sorvela-db init --data-dir "$DEMO/data" --demo
fi

# The simulated handset: a pseudo-terminal reached through a fixed link,
# driven by appending commands to a control file.
CONTROLLO=$DEMO/sim-controllo.txt
: > "$CONTROLLO"
build/tools/sorvela-sim/sorvela-sim --no-stdin --control "$CONTROLLO" --link "$DEMO/COM1" \
  > "$DEMO/sim.log" 2>&1 &
SIM=$!
UNITA=
fine() {
  [ -n "$UNITA" ] && kill "$UNITA" 2>/dev/null || true
  kill "$SIM" 2>/dev/null || true
}
trap fine EXIT
for _ in $(seq 50); do [ -e "$DEMO/COM1" ] && break; sleep 0.1; done

# The demo's own settings: COM1 is the simulator.
INI=$DEMO/config/Sorvela/Sorvela.ini
if ! grep -q '^\[Porte\]' "$INI" 2>/dev/null; then
  printf '[Impostazioni]\nNumPort=1\n\n[Porte]\nCOM1=%s\n' "$DEMO/COM1" > "$INI"
fi

if [ -x tools/demo-unita.py ] || [ -f tools/demo-unita.py ]; then
  python3 tools/demo-unita.py --control "$CONTROLLO" --database "$DEMO/data/Sorvela.db" \
    > "$DEMO/unita.log" 2>&1 &
  UNITA=$!
fi

XDG_CONFIG_HOME=$DEMO/config build/src/shell/sorvela --data-dir "$DEMO/data"
