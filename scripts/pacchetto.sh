#!/usr/bin/env bash
# Builds the Debian package in BUILD_DIR (default build-deb/, configured for
# the prefix /usr; only what is installed is built, not the tests), checks it
# with lintian and prints its path on the last line.
# Usage: scripts/pacchetto.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-deb}
scripts/dipendenze.sh
# An existing build tree (CI passes build/) only changes its prefix, which
# rebuilds no object: nothing compiled depends on it.
opzioni=(-DCMAKE_INSTALL_PREFIX=/usr)
if [ ! -f "$dir/CMakeCache.txt" ]; then
  opzioni+=(-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo)
  if command -v ccache >/dev/null; then
    opzioni+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
fi
cmake -S . -B "$dir" "${opzioni[@]}" >/dev/null
cmake --build "$dir" --target installabili --parallel "$(nproc)"
rm -rf "$dir/pacchetto"
(cd "$dir" && cpack -G DEB >/dev/null)
deb=$(ls "$dir"/pacchetto/sorvela_*.deb)
# Errors fail the package; warnings are shown.
lintian --fail-on error --tag-display-limit 0 "$deb" >&2
echo "$deb"
