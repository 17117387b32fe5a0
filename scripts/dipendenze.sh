#!/usr/bin/env bash
# Installs the Debian 12 packages Sorvela needs to build, test and run, when
# any is missing. Uses sudo when not run as root.
set -euo pipefail

PACCHETTI=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-multimedia-dev libgl-dev
  qt6-translations-l10n
  libsqlite3-dev sqlite3 libpq-dev postgresql-15
  libbenchmark-dev
  fonts-liberation python3
  clang libclang-rt-14-dev
  librsvg2-bin dpkg-dev lintian desktop-file-utils appstream systemd man-db
)

mancanti=()
for p in "${PACCHETTI[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    mancanti+=("$p")
  fi
done
[ ${#mancanti[@]} -eq 0 ] && exit 0

echo "Installo: ${mancanti[*]}"
if [ "$(id -u)" -eq 0 ]; then
  SUDO=()
else
  SUDO=(sudo)
fi
"${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${mancanti[@]}"
