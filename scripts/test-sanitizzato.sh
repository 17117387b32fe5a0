#!/usr/bin/env bash
# Builds Sorvela with clang, AddressSanitizer and UndefinedBehaviorSanitizer
# in build-asan/ (beside build/, which it leaves alone) and runs the whole
# test suite there once; any sanitizer report fails it. The same build holds
# the fuzz targets (scripts/fuzz.sh runs them).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/dipendenze.sh
lanciatore=()
if command -v ccache >/dev/null; then
  lanciatore=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DSORVELA_SANITIZE=ON -DSORVELA_FUZZ=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON "${lanciatore[@]}"
cmake --build build-asan --parallel "$(nproc)"

soppressioni="$PWD/scripts/sanitizzatori"
# Every report fails: a test's own ends it with an error, and what the
# programs a test starts (the console, the simulated handset, the tools)
# report goes to files here, checked at the end, since their exit status is
# not always the test's business. Leaks are looked for (detect_leaks); the
# suppressions may name only libraries that are not ours.
rapporti="$PWD/build-asan/rapporti-sanitizzatori"
rm -rf "$rapporti"
mkdir -p "$rapporti"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1:log_path=$rapporti/asan"
export LSAN_OPTIONS="suppressions=$soppressioni/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:log_path=$rapporti/ubsan"
esito=0
# The instrumented build runs three times slower, which stretches the serial
# tests' real-time races: a test that fails is run once more. A sanitizer
# report cannot be retried away: its file stays and fails the run below.
(cd build-asan && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel "$(nproc)" --timeout 900 \
  --repeat until-pass:2) || esito=$?
if compgen -G "$rapporti/*" >/dev/null; then
  cat "$rapporti"/*
  echo "test-sanitizzato: sanitizer reports above (in $rapporti)" >&2
  exit 1
fi
exit "$esito"
