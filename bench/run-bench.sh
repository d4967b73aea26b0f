#!/usr/bin/env bash
# Configures a Release build in build-bench/ with the benchmarks on, builds a benchmark program
# and runs it. Usage: run-bench.sh [page-read|choice|record|grid|display] [ARGS...]
#   (default)  the analysis benchmarks (e.g. --benchmark_filter=10MB)
#   page-read  the page read in the real engine with and without the image census, on a virtual
#              display
#   choice     choosing pictures: one entry per picture, filter and order, names
#   record     the engine's record of pictures: time to a page's read with and without it, and its
#              memory for 10,000 pictures, on a virtual display
#   grid       the Images tool's grid of 1,000 pictures: filter and order changes, its memory, on
#              a virtual display
#   display    the Source Code pane showing the views of a 10 MB page and of a 5 MB line, on a
#              virtual display (ARGS: further HTML files to time; "--files F..." those alone)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-bench"
program=velmora_analysis_bench
run=()
if [[ ${1:-} == page-read ]]; then
  shift
  program=velmora_page_read_bench
  run=(xvfb-run -a)
elif [[ ${1:-} == record ]]; then
  shift
  program=velmora_picture_record_bench
  run=(xvfb-run -a)
elif [[ ${1:-} == choice ]]; then
  shift
  program=velmora_choice_bench
elif [[ ${1:-} == display ]]; then
  shift
  program=velmora_display_bench
  run=(xvfb-run -a -s "-screen 0 1280x1024x24")
elif [[ ${1:-} == grid ]]; then
  shift
  program=velmora_grid_bench
  run=(xvfb-run -a)
fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DVELMORA_BENCHMARKS=ON -DVELMORA_TESTS=OFF -DVELMORA_FUZZ=OFF -DVELMORA_WERROR=ON >/dev/null
cmake --build "$build" --target "$program"
exec "${run[@]}" "$build/bench/$program" "$@"
