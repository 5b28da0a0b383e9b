#!/usr/bin/env bash
# Runs every libFuzzer target of a fuzz build for a bounded time, each from its committed seed
# corpus (tests/fuzz/corpus/<target>), working on a scratch copy so the corpus stays as committed.
#   tools/run-fuzzers.sh BUILD_DIR SECONDS
set -euo pipefail
build=$1
seconds=$2
root=$(cd "$(dirname "$0")/.." && pwd)

found=0
for fuzzer in "$build"/tests/fuzz/fuzz_*; do
  [ -x "$fuzzer" ] || continue
  found=1
  name=$(basename "$fuzzer")
  scratch=$(mktemp -d)
  if [ -d "$root/tests/fuzz/corpus/$name" ]; then
    cp -r "$root/tests/fuzz/corpus/$name/." "$scratch/"
  fi
  echo "fuzzing $name for $seconds s"
  "$fuzzer" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$build/$name-" "$scratch"
  rm -rf "$scratch"
done
[ $found -eq 1 ] || echo "no fuzz targets built"
