#!/usr/bin/env bash
# Builds and runs every test: a Release build with all tests and the LV2 bundle validation, a
# Debug build with AddressSanitizer and UndefinedBehaviorSanitizer, a ThreadSanitizer build,
# and a bounded libFuzzer run of every fuzz target (clang).
#   tools/run-tests.sh             all stages
#   tools/run-tests.sh asan tsan   only the named stages (release, asan, tsan, fuzz)
#   BRONDAVELL_JOBS=3 tools/run-tests.sh   at most 3 parallel jobs (default: every core)
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh

stages=("$@")
[ ${#stages[@]} -gt 0 ] || stages=(release asan tsan fuzz)
# Parallel compile and test jobs: BRONDAVELL_JOBS, or every core.
jobs=${BRONDAVELL_JOBS:-$(nproc)}
test_jobs=$((jobs < 4 ? jobs : 4))  # the timing-sensitive tests share the cores with at most 3 others
export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan.supp"

configure_and_test() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja "$@"
  cmake --build "$dir" --parallel "$jobs"
  check_isa_symbols "$dir"
  ctest --test-dir "$dir" --output-on-failure --parallel "$test_jobs" --timeout 900
}

# No object built for a wider instruction set shares an external symbol with another object.
check_isa_symbols() {
  echo "lane-form symbols:"
  tools/check_isa_symbols.py "$1"
}

for stage in "${stages[@]}"; do
  echo "=== $stage"
  case $stage in
    release)
      configure_and_test build -DCMAKE_BUILD_TYPE=Release
      echo "lv2_validate:"
      # The report is kept even when lv2_validate fails, so that it can be printed.
      report=$(lv2_validate build/Brondavell_artefacts/Release/LV2/BrondavellV2.lv2/*.ttl 2>&1) || true
      echo "$report" | tail -n 1
      echo "$report" | grep -q "^Found 0 errors" || { echo "$report"; exit 1; }
      echo "renders on emulated processors:"
      tools/check-emulated-cpus.sh build Release
      ;;
    asan)
      configure_and_test build-asan -DCMAKE_BUILD_TYPE=Debug -DBRONDAVELL_SANITIZE="address;undefined" \
        -DBRONDAVELL_WITH_BENCH=OFF
      ;;
    tsan)
      # The tests that exercise threads (label "threads"): concurrent processing, automation,
      # restores and editors.
      cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRONDAVELL_SANITIZE=thread \
        -DBRONDAVELL_WITH_BENCH=OFF
      cmake --build build-tsan --parallel "$jobs"
      check_isa_symbols build-tsan
      ctest --test-dir build-tsan --output-on-failure --timeout 900 -L threads
      ;;
    fuzz)
      CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DBRONDAVELL_FUZZERS=ON -DBRONDAVELL_SANITIZE="address;undefined" -DBRONDAVELL_WITH_BENCH=OFF \
        -DBRONDAVELL_WITH_TESTS=ON
      # Every target, so that the configuration keeps linking; the fuzz run itself needs only its target.
      cmake --build build-fuzz --parallel "$jobs"
      tests/fuzz/run_state_fuzzer.sh build-fuzz "${FUZZ_SECONDS:-60}"
      # The format wrappers' restores in the built VST3 and LV2, 100,000 runs or 20 s each. Their
      # restores post to the plug-in's message thread, which frees the message after the input
      # returns, so leaks are checked once each run ends rather than after every input.
      for format in vst3 lv2; do
        FUZZ_RUNS=100000 FUZZ_FLAGS=-detect_leaks=0 tests/fuzz/run_state_fuzzer.sh build-fuzz 20 "fuzz_${format}_state" "$format"
      done
      ;;
    *)
      echo "unknown stage $stage" >&2
      exit 2
      ;;
  esac
done
echo "All test stages passed: ${stages[*]}"
