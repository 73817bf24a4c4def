#!/usr/bin/env bash
# Configures and builds setup.exe, the tools and the tests.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build="${BUILD_DIR:-$top/build}"
t0=$(date +%s)
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
# Progress lines are dropped; errors and warnings stay. A failed build fails the script.
ninja -C "$build" "$@" | { grep -v '^\[' || true; }
echo "build: done in $(( $(date +%s) - t0 ))s"
