#!/usr/bin/env bash
# Builds the fuzzer (preset `fuzz`, clang) and runs it from the seed corpus for a bounded time.
# Usage: fuzz/run.sh [SECONDS] [libFuzzer options...]     (default 60 seconds)
#
# First every input of the corpus runs once with the leak check after each; then the fuzzer
# runs without it (the check takes longer than a run, and the stand-in keeps some state from
# one run to the next). New inputs go to build/fuzz/corpus, never to the seed corpus; an
# input that breaks something is written to build/fuzz/artifacts/ and the script fails.
# Replay one with FW_FUZZ_TRACE=1 build/fuzz/fuzz/update_fuzzer FILE.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true

packages=(clang libclang-rt-14-dev)
missing=()
for package in "${packages[@]}"; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if [ ${#missing[@]} -ne 0 ]; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake --preset fuzz
cmake --build --preset fuzz

fuzzer=build/fuzz/fuzz/update_fuzzer
found=build/fuzz/corpus
artifacts=build/fuzz/artifacts
mkdir -p "$found" "$artifacts"
options=(-timeout=30 -rss_limit_mb=4096 -artifact_prefix="$artifacts/" -print_final_stats=1)

echo "== The corpus once, with the leak check"
"$fuzzer" "${options[@]}" -runs=0 -detect_leaks=1 "$found" fuzz/corpus

echo "== Fuzzing for ${seconds} s"
"$fuzzer" "${options[@]}" -detect_leaks=0 -max_total_time="$seconds" "$@" "$found" fuzz/corpus
