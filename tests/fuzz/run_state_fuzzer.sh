#!/bin/sh
# Runs the state-restore fuzzer for a bounded time (default 60 s) from the committed seeds.
# New inputs go to <build-dir>/fuzz-corpus/state, never into the committed seed directory.
# Usage: tests/fuzz/run_state_fuzzer.sh <build-dir> [seconds]
set -eu
build=${1:?usage: run_state_fuzzer.sh <build-dir> [seconds]}
seconds=${2:-60}
here=$(cd "$(dirname "$0")" && pwd)
work="$build/fuzz-corpus/state"
mkdir -p "$work"
# A fixed seed and run count by default, so a run's outcome depends on the code alone; set
# FUZZ_SEED and FUZZ_RUNS to explore further.
exec "$build/tests/fuzz/fuzz_state_restore" -seed="${FUZZ_SEED:-1}" -runs="${FUZZ_RUNS:-1000000}" \
  -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 \
  -print_final_stats=1 "$work" "$here/corpus/state"
