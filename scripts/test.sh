#!/usr/bin/env bash
# Installs what is needed, builds Velmora twice (normal, and with AddressSanitizer +
# UndefinedBehaviorSanitizer) and runs the whole test suite on both builds.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
jobs=$(nproc)
echo "== formatting"
bash "$root/scripts/check-format.sh"
for kind in release asan; do
  echo "== $kind build"
  bash "$root/scripts/build.sh" "$kind"
  dir="$root/build"; [[ $kind == asan ]] && dir="$root/build-asan"
  echo "== $kind tests"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir "$dir" --output-on-failure --no-tests=error -j "$jobs" --timeout 600
done
echo "== package"
bash "$root/scripts/package.sh" "$root/build"
