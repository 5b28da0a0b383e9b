#!/bin/sh
# Runs a state fuzzer for a bounded time (default 60 s) from the committed seeds: TARGET (default
# fuzz_state_restore) with its seeds in corpus/CORPUS (default state). New inputs go to
# <build-dir>/fuzz-corpus/CORPUS, never into the committed seed directory.
# Usage: tests/fuzz/run_state_fuzzer.sh <build-dir> [seconds] [target] [corpus]
set -eu
build=${1:?usage: run_state_fuzzer.sh <build-dir> [seconds] [target] [corpus]}
seconds=${2:-60}
target=${3:-fuzz_state_restore}
corpus=${4:-state}
here=$(cd "$(dirname "$0")" && pwd)
work="$build/fuzz-corpus/$corpus"
mkdir -p "$work"
# A fixed seed and run count by default, so a run's outcome depends on the code alone; set
# FUZZ_SEED and FUZZ_RUNS to explore further, FUZZ_FLAGS to add libFuzzer flags.
# shellcheck disable=SC2086 # FUZZ_FLAGS is a list of flags
exec "$build/tests/fuzz/$target" -seed="${FUZZ_SEED:-1}" -runs="${FUZZ_RUNS:-1000000}" \
  -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 \
  -print_final_stats=1 ${FUZZ_FLAGS:-} "$work" "$here/corpus/$corpus"
