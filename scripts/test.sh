#!/usr/bin/env bash
# Builds Sorvela and runs the whole test suite through CTest.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/dipendenze.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --parallel "$(nproc)"
cd build
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel "$(nproc)" --timeout 300
