#!/usr/bin/env bash
# Configures a Release build in build-bench/ with the benchmarks on, builds the benchmark program
# and runs it. Arguments are passed to the program (e.g. --benchmark_filter=10MB).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-bench"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DVELMORA_BENCHMARKS=ON -DVELMORA_TESTS=OFF -DVELMORA_FUZZ=OFF >/dev/null
cmake --build "$build" --target velmora_analysis_bench
exec "$build/bench/velmora_analysis_bench" "$@"
