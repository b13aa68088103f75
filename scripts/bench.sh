#!/usr/bin/env bash
# Builds the benchmarks in Release (build-bench/) and prints one table: each workload's qx median
# time, the medians of its baselines (plain C++, Eigen, Lua 5.4) and the ratios qx / baseline.
#   scripts/bench.sh                 full run (five repetitions of each benchmark)
#   scripts/bench.sh --json FILE     also keep the raw Google Benchmark JSON in FILE
#   BENCH_FILTER=REGEX scripts/bench.sh   only the benchmarks whose name matches
set -euo pipefail
cd "$(dirname "$0")/.."

json_out=""
if [ "${1:-}" = "--json" ]; then json_out="${2:?usage: scripts/bench.sh [--json FILE]}"; fi

scripts/deps.sh cmake make g++ pkg-config libeigen3-dev libbenchmark-dev liblua5.4-dev python3

dir=build-bench
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DQX_BUILD_BENCHMARKS=ON -DQX_BUILD_TESTS=OFF \
    -DQX_BUILD_TOOLS=OFF > /dev/null
cmake --build "$dir" -j "$jobs" --target qx_bench > /dev/null

raw=$(mktemp)
trap 'rm -f "$raw"' EXIT
"$dir/bench/qx_bench" --benchmark_filter="${BENCH_FILTER:-.}" --benchmark_repetitions=5 \
    --benchmark_min_time=0.3 --benchmark_report_aggregates_only=true \
    --benchmark_format=json > "$raw"
[ -n "$json_out" ] && cp "$raw" "$json_out"
python3 scripts/bench_table.py "$raw"
