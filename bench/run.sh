#!/usr/bin/env bash
# Builds the benchmarks (preset `bench`, Release) and runs them: the pass-through path per
# command, a complete update in real time (about 25 s a run) and on the virtual clock, and the
# size of the .exe. About three minutes on two cores. Not part of scripts/test.sh.
#
# Usage: bench/run.sh [REPETITIONS]    (default 3 runs of the real-time update)
set -euo pipefail
cd "$(dirname "$0")/.."

repetitions=${1:-3}

if ! dpkg -s libbenchmark-dev >/dev/null 2>&1; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends libbenchmark-dev
fi
scripts/install-deps.sh

cmake --preset bench
cmake --build --preset bench

echo "== The pass-through path, per command"
build/bench/bench/passthrough_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

echo "== A complete update"
build/bench/bench/update_bench --benchmark_filter=real_time --benchmark_repetitions="$repetitions"
build/bench/bench/update_bench --benchmark_filter=virtual_clock --benchmark_repetitions=5 \
    --benchmark_report_aggregates_only=true

echo "== The .exe"
bench/exe_size.sh
