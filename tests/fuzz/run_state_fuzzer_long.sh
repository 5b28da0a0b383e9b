#!/bin/sh
# A long fuzz job: WORKERS parallel workers for SECONDS each, a limit of 1 s per input, at low
# priority. Afterwards the inputs that add coverage, and every input that failed, are merged into
# the committed seeds, and the executions of all workers are added up. TARGET is a fuzz target
# (default fuzz_state_restore) and CORPUS its seed directory under corpus/ (default state);
# FUZZ_FLAGS adds libFuzzer flags.
# Usage: tests/fuzz/run_state_fuzzer_long.sh <build-dir> [workers] [seconds] [target] [corpus]
set -eu
build=$(cd "${1:?usage: run_state_fuzzer_long.sh <build-dir> [workers] [seconds] [target] [corpus]}" && pwd)
workers=${2:-4}
seconds=${3:-1800}
target=${4:-fuzz_state_restore}
seeds=$(cd "$(dirname "$0")" && pwd)/corpus/${5:-state}
fuzzer="$build/tests/fuzz/$target"
work="$build/fuzz-long/$target"
rm -rf "$work"
mkdir -p "$work/corpus" "$work/artifacts"
cd "$work"
# The allocator's quarantine is kept small and its memory is not handed back to the system, so
# that its housekeeping cannot stall one input beyond the limit on a busy machine.
export ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}:quarantine_size_mb=16:allocator_release_to_os_interval_ms=-1"
status=0
# shellcheck disable=SC2086 # FUZZ_FLAGS is a list of flags
nice -n 10 "$fuzzer" -jobs="$workers" -workers="$workers" -max_total_time="$seconds" -timeout=1 \
  -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$work/artifacts/" ${FUZZ_FLAGS:-} \
  "$work/corpus" "$seeds" > driver.log 2>&1 || status=$?
total() { cat fuzz-*.log | sed -n "s/^stat::$1: *//p" | awk '{ n += $1 } END { print n + 0 }'; }
executions=$(total number_of_executed_units)
# A failing input leaves an artifact; a leak found when a worker exits only a report in its log.
failures=$(ls artifacts | wc -l)
reports=$(grep -l "ERROR: " fuzz-*.log | wc -l)
echo "$target: workers $workers, $seconds s each: $executions executions, $failures failing inputs, $reports worker logs with errors"
if [ "$(total state_blocks_accepted)" -gt 0 ]; then
  echo "number oracle: $(total state_blocks_accepted) blocks accepted, $(total state_blocks_read_by_expat) of them" \
    "read by expat too, $(total state_numbers_compared) numbers compared"
fi
# Failing inputs become seeds as they are; the rest only where they add coverage.
[ "$failures" -eq 0 ] || cp artifacts/* "$seeds/"
nice -n 10 "$fuzzer" -merge=1 "$seeds" "$work/corpus" > merge.log 2>&1
[ "$failures" -eq 0 ] && [ "$reports" -eq 0 ] && [ "$status" -eq 0 ]
