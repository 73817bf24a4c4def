#!/usr/bin/env bash
# tools/fuzz/run.sh [FIRST_SEED] [CHUNKS] [CASES_PER_CHUNK]
# Builds script_fuzz into $BUILD_DIR (default build-fuzz) and runs one process per chunk under Wine,
# seed FIRST_SEED + chunk. A finding stops the run: reproduce it with
#   wine script_fuzz.exe SEED COUNT --only CASE FILE...
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
export BUILD_DIR="${BUILD_DIR:-$top/build-fuzz}"
seed=${1:-1}; chunks=${2:-10}; cases=${3:-2000}
bash "$top/scripts/build.sh" script_fuzz
source "$top/scripts/wine-env.sh"
start_display
start_wine
trap stop_wine EXIT
files=()
for f in "$top"/tests/e2e/*/script.xml "$top"/product/demo/install.xml; do files+=("Z:$f"); done
mkdir -p "$BUILD_DIR/fuzz/work"
cd "$BUILD_DIR/fuzz/work"
for ((c = 0; c < chunks; c++)); do
  s=$((seed + c))
  t0=$(date +%s)
  if ! timeout 900 wine "$BUILD_DIR/fuzz/script_fuzz.exe" "$s" "$cases" "${files[@]}" > "chunk-$s.log" 2>&1; then
    cat "chunk-$s.log"; echo "finding: seed $s (input in $PWD/fuzz-case.xml)"; exit 1
  fi
  echo "seed $s: $cases cases in $(( $(date +%s) - t0 ))s"
done
