#!/usr/bin/env bash
# The test command: installs what is missing, builds everything and runs every test under Wine.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
t0=$(date +%s)
bash "$top/scripts/bootstrap.sh"
bash "$top/scripts/build.sh"
t1=$(date +%s)
source "$top/scripts/wine-env.sh"
trap stop_wine EXIT
start_display
start_wine
t2=$(date +%s)
set +e
(cd "$build" && ctest --output-on-failure -j2 "$@")
rc=$?
set -e
t3=$(date +%s)
echo "times: bootstrap+build $((t1 - t0))s, wine $((t2 - t1))s, tests $((t3 - t2))s"
exit $rc
