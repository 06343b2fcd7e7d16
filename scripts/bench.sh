#!/usr/bin/env bash
# Builds the benchmarks in build/bench (Release) and runs them, printing Google Benchmark's
# table. Extra arguments go to the benchmark program, e.g.
#     scripts/bench.sh --benchmark_filter=StartupScan --benchmark_repetitions=5
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/bench
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLARO_BENCH=ON \
  -DQUILLARO_WINDOWS_TESTS=OFF >/dev/null
ninja -C "$build" core_bench
"$build/bench/core_bench" --benchmark_counters_tabular=true "$@"
