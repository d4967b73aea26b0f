#!/usr/bin/env bash
# Builds the fuzz target with clang in build-fuzz/ and runs it for the given number of seconds
# (default 60) on a copy of the seed corpus. Usage: fuzz/run-fuzz.sh [seconds]
# The grown corpus stays in build-fuzz/fuzz-corpus/ for the next run; a crash or a broken
# invariant is saved as build-fuzz/fuzz-artifacts/crash-* and ends the run with status 1.
# Replay one: build-fuzz/fuzz/fuzz_analyze_page build-fuzz/fuzz-artifacts/crash-...
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
if ! [[ $seconds =~ ^[0-9]+$ ]] || ((seconds == 0)); then
  echo "usage: fuzz/run-fuzz.sh [seconds]   (a whole number above 0; default 60)" >&2
  exit 2
fi

build="$root/build-fuzz"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVELMORA_FUZZ=ON -DVELMORA_TESTS=OFF -DVELMORA_BENCHMARKS=OFF >/dev/null
cmake --build "$build" --target fuzz_analyze_page

corpus="$build/fuzz-corpus"
artifacts="$build/fuzz-artifacts"
mkdir -p "$corpus" "$artifacts"
cp -n "$root"/fuzz/corpus/* "$corpus"/

# Every input is analysed into two fresh folders under TMPDIR: memory is quicker than a disk.
if [[ -z ${TMPDIR:-} && -d /dev/shm && -w /dev/shm ]]; then
  export TMPDIR=/dev/shm
fi
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

exec "$build/fuzz/fuzz_analyze_page" -max_len=65536 -max_total_time="$seconds" -timeout=25 \
  -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus"
