#!/usr/bin/env bash
# Configures and builds one build folder. Usage: scripts/build.sh [release|asan]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
kind=${1:-release}
case "$kind" in
  release) dir="$root/build" ; flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_TESTS=ON -DVELMORA_SANITIZE=OFF) ;;
  asan)    dir="$root/build-asan" ; flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_TESTS=ON -DVELMORA_SANITIZE=ON) ;;
  *) echo "build.sh: unknown build kind '$kind' (release or asan)" >&2; exit 2 ;;
esac
cmake -S "$root" -B "$dir" -G Ninja -DVELMORA_WERROR=ON "${flags[@]}" >/dev/null
cmake --build "$dir"
