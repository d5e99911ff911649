#!/usr/bin/env bash
# Builds both platforms from scratch and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

# e2e: Wine, Xvfb and the rest that run the .exe end to end (tests/e2e).
scripts/install-deps.sh e2e

# Runs one ctest preset and keeps the count of tests it passed for the summary at the end.
passed=0
run_tests() {
    local log="build/ctest-$1.log"
    mkdir -p build
    ctest --preset "$1" | tee "$log"
    passed=$((passed + $(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' "$log")))
}

cmake --preset host
cmake --build --preset host
cmake --preset windows
cmake --build --preset windows
# Includes the .exe under Wine against the emulated drives (label e2e), so after both builds.
run_tests host

# The unit and scenario tests again under the sanitizers: AddressSanitizer with
# UndefinedBehaviorSanitizer, then ThreadSanitizer (each in its own build folder).
for sanitizer in asan tsan; do
    cmake --preset "$sanitizer"
    cmake --build --preset "$sanitizer"
    run_tests "$sanitizer"
done

# The update against a drive that answers with the fuzzer's bytes: the seed corpus, then a
# minute of fuzzing.
fuzz/run.sh 60

echo "tests: $passed passed, 0 failed"
