#!/usr/bin/env bash
# CI (as root, no display needed): builds the Debian package, installs it on
# this machine, runs the installed programs, removes the package and checks
# that nothing it installed is left. It refuses to touch a machine where the
# package is already installed. Usage: scripts/prova-pacchetto.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "$(id -u)" -ne 0 ]; then
  echo "prova-pacchetto: serve root (installa e rimuove il pacchetto)" >&2
  exit 1
fi
if dpkg-query -W -f='${Status}' sorvela 2>/dev/null | grep ' installed$' >/dev/null; then
  echo "prova-pacchetto: sorvela è già installato su questa macchina: la prova non lo tocca" >&2
  exit 1
fi

deb=$(scripts/pacchetto.sh "${1:-build-deb}" | tail -n 1)
versione=$(dpkg-deb -f "$deb" Version)
echo "Pacchetto: $deb"

tmp=$(mktemp -d)
console=
installato=
fine() {
  [ -n "$console" ] && kill -KILL "$console" 2>/dev/null || true
  [ -n "$installato" ] && dpkg --purge sorvela >/dev/null 2>&1 || true
  rm -rf "$tmp"
}
trap fine EXIT

# What the package holds, and which of its folders the machine has already.
dpkg-deb --fsys-tarfile "$deb" | tar -t | sed -e 's#^\./#/#' -e 's#/$##' | grep -v '^/\?$' > "$tmp/contenuto"
while read -r p; do
  [ -d "$p" ] && echo "$p"
done < "$tmp/contenuto" > "$tmp/cartelle-prima"

installato=1
dpkg -i "$deb"

# The installed programs, on the PATH, with their data where the package put it.
[ "$(command -v sorvela)" = /usr/bin/sorvela ]
[ "$(sorvela --version)" = "sorvela $versione" ]
sorvela --help | grep -- --data-dir >/dev/null
sorvela-db init --data-dir "$tmp/dati" --demo
[ -s "$tmp/dati/Sorvela.db" ]
if sorvela-db init --data-dir "$tmp/dati" 2>/dev/null; then
  echo "prova-pacchetto: sorvela-db ha sovrascritto un database" >&2
  exit 1
fi
sorvela-sms classify 'credito 12.50 batt 80' | grep '"battery"' >/dev/null
sorvela-sim --help | grep -- --link >/dev/null
for f in /usr/share/sorvela/schema.sql /usr/share/sorvela/demo.sql /usr/share/sorvela/blip.wav \
         /usr/share/icons/hicolor/scalable/apps/it.sorvela.Sorvela.svg \
         /usr/share/icons/hicolor/48x48/apps/it.sorvela.Sorvela.png; do
  [ -s "$f" ] || { echo "prova-pacchetto: manca $f" >&2; exit 1; }
done
desktop-file-validate /usr/share/applications/it.sorvela.Sorvela.desktop
appstreamcli validate --no-net /usr/share/metainfo/it.sorvela.Sorvela.metainfo.xml
# A manual page for every program, read without a warning (from the
# package itself: a minimal image may keep dpkg from installing them).
dpkg-deb -x "$deb" "$tmp/estratto"
for p in $(dpkg -L sorvela | sed -n 's#^/usr/bin/##p'); do
  pagina="$tmp/estratto/usr/share/man/man1/$p.1.gz"
  [ -s "$pagina" ] || { echo "prova-pacchetto: manca la pagina di manuale di $p" >&2; exit 1; }
  MANWIDTH=80 man --warnings -l "$pagina" 2>&1 >/dev/null | { ! grep .; }
  if [ -e "/usr/share/man/man1/$p.1.gz" ]; then
    [ "$(man -w "$p")" = "/usr/share/man/man1/$p.1.gz" ]
  fi
done

# The receiver and its service, in a package that carries them.
if [ -x /usr/bin/sorvela-ricevitore ]; then
  sorvela-ricevitore --help >/dev/null
  unita=$(dpkg -L sorvela | grep '/systemd/system/sorvela-ricevitore.service$')
  # It checks the unit's manual page too, where dpkg installed the pages.
  man=yes
  [ -e /usr/share/man/man1/sorvela-ricevitore.1.gz ] || man=no
  systemd-analyze verify --man="$man" "$unita"
  id -nG sorvela | grep -w dialout >/dev/null
fi

# The console on the demo database, offscreen, for a few seconds: it must
# still be running, then close cleanly on SIGTERM. It plays the installed
# sound rather than writing its own to a temporary file. Its port leads
# nowhere, so no serial device of this machine is opened.
mkdir -p "$tmp/config/Sorvela" "$tmp/tmp"
printf '[Porte]\nCOM1=%s\n' "$tmp/nessun-telefono" > "$tmp/config/Sorvela/Sorvela.ini"
XDG_CONFIG_HOME="$tmp/config" XDG_RUNTIME_DIR="$tmp" TMPDIR="$tmp/tmp" QT_QPA_PLATFORM=offscreen \
  sorvela --data-dir "$tmp/dati" > "$tmp/console.log" 2>&1 &
console=$!
sleep 5
if ! kill -0 "$console" 2>/dev/null; then
  echo "prova-pacchetto: la console è uscita da sola:" >&2
  cat "$tmp/console.log" >&2
  exit 1
fi
if ls "$tmp/tmp"/sorvela-*.wav >/dev/null 2>&1; then
  echo "prova-pacchetto: la console non ha trovato il suono installato" >&2
  exit 1
fi
kill -TERM "$console"
stato=0
wait "$console" || stato=$?
console=
if [ "$stato" -ne 0 ]; then
  echo "prova-pacchetto: la console è uscita con $stato:" >&2
  cat "$tmp/console.log" >&2
  exit 1
fi

# Removed, nothing of it is left: no file, and no folder the machine did
# not have before.
dpkg --purge sorvela
installato=
rimasti=0
while read -r p; do
  if [ -d "$p" ]; then
    grep -qxF "$p" "$tmp/cartelle-prima" && continue
  elif [ ! -e "$p" ] && [ ! -L "$p" ]; then
    continue
  fi
  echo "prova-pacchetto: rimasto dopo la rimozione: $p" >&2
  rimasti=1
done < "$tmp/contenuto"
[ "$rimasti" -eq 0 ]
echo "prova-pacchetto: pacchetto $versione installato, provato e rimosso senza residui"
