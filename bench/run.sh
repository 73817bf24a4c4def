#!/usr/bin/env bash
# Builds what the benchmarks need and runs them under Wine; prints the tables.
#   bench/run.sh [expand|stage|extract|compress|all] [--runs K] [--quick]
# BUILD_DIR picks the build tree (default: build-bench, so the figures never share a tree with a
# test run).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
export BUILD_DIR="${BUILD_DIR:-$top/build-bench}"
build="$BUILD_DIR"

if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
ninja -C "$build" setup respack tzbuild bench_memrun bench_expand bench_7zr | { grep -v '^\[' || true; }

source "$top/scripts/wine-env.sh"
start_display
start_wine
trap stop_wine EXIT
python3 "$top/bench/bench.py" "$build" "$@"
