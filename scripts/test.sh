#!/usr/bin/env bash
# Builds Sorvela and runs the whole test suite through CTest.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/dipendenze.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --parallel "$(nproc)"
cd build
# Tests labelled "lungo" (over a minute each) run in CI after this: .ci/run.
QT_QPA_PLATFORM=offscreen ctest -LE lungo --output-on-failure --parallel "$(nproc)" --timeout 300
