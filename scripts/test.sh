#!/usr/bin/env bash
# Builds both platforms from scratch and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

# e2e: Wine, Xvfb and the rest that run the .exe end to end (tests/e2e).
scripts/install-deps.sh e2e

cmake --preset host
cmake --build --preset host
cmake --preset windows
cmake --build --preset windows
# Includes the .exe under Wine against the emulated drives (label e2e), so after both builds.
ctest --preset host

# The unit and scenario tests again under the sanitizers: AddressSanitizer with
# UndefinedBehaviorSanitizer, then ThreadSanitizer (each in its own build folder).
for sanitizer in asan tsan; do
    cmake --preset "$sanitizer"
    cmake --build --preset "$sanitizer"
    ctest --preset "$sanitizer"
done

# The update against a drive that answers with the fuzzer's bytes: the seed corpus, then a
# minute of fuzzing.
fuzz/run.sh 60
