#!/usr/bin/env bash
# Runs every fuzz target of build-asan/ (made by scripts/test-sanitizzato.sh)
# from the seed corpus the encoder writes.
#   scripts/fuzz.sh               each target for a fixed number of runs (CI)
#   scripts/fuzz.sh 600           each target for 600 seconds
# New inputs that reach new code are kept in build-asan/fuzz-corpus/<target>;
# a crash leaves its input in build-asan/fuzz-crash/ and fails the script.
set -euo pipefail
cd "$(dirname "$0")/../build-asan"
cmake --build . --target fuzz
if [ $# -ge 1 ]; then
  limite=(-max_total_time="$1")
else
  limite=(-runs=200000)
fi
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/../scripts/sanitizzatori/lsan.supp:print_suppressions=0"
fuzz/fuzz-semi fuzz-corpus >/dev/null
mkdir -p fuzz-crash
for bersaglio in fuzz_lettura fuzz_elenco fuzz_scambio fuzz_rapporto; do
  registro=fuzz-crash/$bersaglio.log
  if ! fuzz/$bersaglio "${limite[@]}" -max_len=4096 -timeout=10 -print_final_stats=1 \
      -artifact_prefix=fuzz-crash/$bersaglio- fuzz-corpus/$bersaglio >"$registro" 2>&1; then
    tail -n 60 "$registro"
    echo "fuzz: $bersaglio failed; the input is in build-asan/fuzz-crash/" >&2
    exit 1
  fi
  echo "$bersaglio: $(grep -h '^stat::number_of_executed_units' "$registro" | awk '{print $2}') runs," \
       "$(ls fuzz-corpus/$bersaglio | wc -l) inputs in the corpus"
done
