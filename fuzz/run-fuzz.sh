#!/usr/bin/env bash
# Builds a fuzz target with clang in build-fuzz/ and runs it for the given number of seconds
# (default 60) on a copy of its seed corpus, then lists what it found, one line per cause.
#   Usage: fuzz/run-fuzz.sh [seconds [target] [more libFuzzer flags]]
# target: fuzz_analyze_page (the default: the page analysis, seeds in fuzz/corpus/) or fuzz_rtf
# (the help window's rich-text reader, seeds in fuzz/corpus-rtf/). VELMORA_FUZZ_BUILD names
# another build folder than build-fuzz/.
# The fuzzer keeps going after a crash or a broken invariant (one worker process, restarted after
# each), so one bug does not hide the others. Each failing input is saved as
# build-fuzz/fuzz-artifacts/crash-* (fuzz-artifacts-rtf/ for fuzz_rtf); replay one with
#   build-fuzz/fuzz/fuzz_analyze_page build-fuzz/fuzz-artifacts/crash-...
# The grown corpus stays in build-fuzz/fuzz-corpus/ (fuzz-corpus-rtf/) for the next run. Exit
# status: 0 when this run found nothing, 1 when it saved failing inputs, 2 on bad usage.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
if ! [[ $seconds =~ ^[0-9]+$ ]] || ((seconds == 0)); then
  echo "usage: fuzz/run-fuzz.sh [seconds [target] [libFuzzer flags]]   (seconds: a whole number above 0)" >&2
  exit 2
fi
shift $(($# > 0 ? 1 : 0))

# The target, when the next argument names one (anything else is a libFuzzer flag). The reader
# runs in linear time, so an input that takes seconds is a fault worth keeping.
name=fuzz_analyze_page
if (($# > 0)) && [[ $1 != -* ]]; then
  name=$1
  shift
fi
case $name in
  fuzz_analyze_page) seeds=corpus dict=analyze_page.dict suffix= timeout=25 ;;
  fuzz_rtf) seeds=corpus-rtf dict=rtf.dict suffix=-rtf timeout=5 ;;
  *)
    echo "run-fuzz: unknown target \"$name\" (fuzz_analyze_page or fuzz_rtf)" >&2
    exit 2
    ;;
esac

build=${VELMORA_FUZZ_BUILD:-"$root/build-fuzz"}
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVELMORA_FUZZ=ON -DVELMORA_TESTS=OFF -DVELMORA_BENCHMARKS=OFF -DVELMORA_WERROR=ON >/dev/null
cmake --build "$build" --target "$name"
target="$build/fuzz/$name"

corpus="$build/fuzz-corpus$suffix"
artifacts="$build/fuzz-artifacts$suffix"
mkdir -p "$corpus" "$artifacts"
cp -n "$root/fuzz/$seeds"/* "$corpus"/
started="$artifacts/.started"
touch "$started"

# Every input is analysed into two fresh folders under TMPDIR (memory is quicker than a disk when
# TMPDIR is not set). An input that crashes leaves its folders behind, so they all go into one
# scratch folder that is removed at the end.
scratchRoot=${TMPDIR:-/tmp}
if [[ -z ${TMPDIR:-} && -d /dev/shm && -w /dev/shm ]]; then
  scratchRoot=/dev/shm
fi
scratch=$(mktemp -d "$scratchRoot/velmora-fuzz-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
export TMPDIR="$scratch"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

status=0
"$target" -fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 \
  -max_len=65536 -max_total_time="$seconds" -timeout="$timeout" -rss_limit_mb=4096 \
  -dict="$root/fuzz/$dict" -artifact_prefix="$artifacts/" "$@" "$corpus" || status=$?

# What this run found: each new failing input replayed, grouped by the first line that names
# the cause (a broken invariant, an exception, a sanitizer report, a timeout).
mapfile -t found < <(find "$artifacts" -maxdepth 1 -type f \
  \( -name 'crash-*' -o -name 'timeout-*' -o -name 'oom-*' -o -name 'leak-*' \) \
  -newer "$started" | sort)
echo
if ((${#found[@]} == 0)); then
  echo "run-fuzz: no failing input in ${seconds} s (libFuzzer status $status)"
  exit 0
fi
echo "run-fuzz: ${#found[@]} failing input(s) saved in $artifacts; causes:"
for input in "${found[@]}"; do
  cause=$("$target" -timeout="$timeout" "$input" 2>&1 |
    grep -m1 -E '\*\*\* invariant broken|what\(\):|ERROR: AddressSanitizer|runtime error|ERROR: LeakSanitizer|ERROR: libFuzzer: (timeout|out-of-memory)' |
    sed -E 's/^.*(\*\*\* invariant broken: |what\(\): +|ERROR: )//' | cut -c1-160 || true)
  printf '%s\t%s\n' "${cause:-unknown (replay it to see)}" "$(basename "$input")"
done | sort | awk -F'\t' '{ n[$1]++; if (!($1 in example)) example[$1] = $2 }
  END { for (c in n) printf "  %4d x %s\n         e.g. %s\n", n[c], c, example[c] }'
exit 1
