#!/usr/bin/env bash
# Configures and builds setup.exe, the tools and the tests.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build="${BUILD_DIR:-$top/build}"
t0=$(date +%s)
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
# Errors and warnings stay; ninja's progress lines are cut to one per tenth of a long build (the
# first build compiles 7-Zip: several minutes). A failed build fails the script.
ninja -C "$build" "$@" | awk '
  /^\[[0-9]+\/[0-9]+\]/ {
    split(substr($1, 2), f, "/"); total = f[2] + 0; step = int(10 * f[1] / total)
    if (total >= 100 && step > shown) { shown = step; printf "build: %d of %d steps\n", f[1], total; fflush() }
    next
  }
  { print; fflush() }'
echo "build: done in $(( $(date +%s) - t0 ))s"
