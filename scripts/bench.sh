#!/usr/bin/env bash
# Builds the native preset and runs the benchmarks; the ratios are printed at the end.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/setup.sh
cmake --preset native >/dev/null
cmake --build --preset native --target kh_bench -j "$(nproc 2>/dev/null || echo 2)"
exec "$root/build/native/bench/kh_bench" --benchmark_report_aggregates_only=true "$@"
