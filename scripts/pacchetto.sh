#!/usr/bin/env bash
# Builds the Debian package in build-deb/ (a tree configured for /usr; only
# what is installed, not the tests), checks it with lintian and prints its
# path on the last line. Usage: scripts/pacchetto.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-deb}
scripts/dipendenze.sh
opzioni=(-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr)
if command -v ccache >/dev/null; then
  opzioni+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$dir" "${opzioni[@]}" >/dev/null
cmake --build "$dir" --target installabili --parallel "$(nproc)"
rm -rf "$dir/pacchetto"
(cd "$dir" && cpack -G DEB >/dev/null)
deb=$(ls "$dir"/pacchetto/sorvela_*.deb)
# Errors fail the package; warnings are shown.
lintian --fail-on error --no-tag-display-limit "$deb" >&2
echo "$deb"
