#!/usr/bin/env bash
# Builds Sorvela and starts the console on a demo database, with the
# simulated handset on COM1 and simulated units that report now and then.
# Everything lives in demo/ (data folder and settings folder of its own).
#
#   scripts/demo.sh [SECONDI]
#
# SECONDI: the mean time between two messages of the simulated units
# (default 40). The console is stopped by closing it ("Esci") or with Ctrl+C
# here; the simulator's and the units' logs are demo/sim.log and
# demo/unita.log.
set -euo pipefail
cd "$(dirname "$0")/.."
TOP=$PWD
INTERVALLO=${1:-40}
if ! [[ $INTERVALLO =~ ^[0-9]+([.][0-9]+)?$ ]] || [[ $INTERVALLO =~ ^0+([.]0*)?$ ]]; then
  echo "demo.sh: SECONDI dev'essere un numero positivo di secondi, non '$INTERVALLO'" >&2
  exit 2
fi
# The console is a desktop program: without a display there is nothing to
# show it on, and it is better said now than after a minute of building.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "demo.sh: nessun display (né DISPLAY né WAYLAND_DISPLAY sono impostate): avviarla da una sessione grafica, oppure su un display virtuale con: xvfb-run -a scripts/demo.sh" >&2
  exit 1
fi
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
    --intervallo "$INTERVALLO" > "$DEMO/unita.log" 2>&1 &
  UNITA=$!
fi

echo "Console avviata: per fermarla, \"Esci\" nel menu \"Gestione Eventi\" oppure Ctrl+C qui."
echo "Registri del simulatore e delle unità: $DEMO/sim.log, $DEMO/unita.log"
XDG_CONFIG_HOME=$DEMO/config build/src/shell/sorvela --data-dir "$DEMO/data"
