#!/usr/bin/env bash
# The run command: builds setup.exe and runs its main job under Wine, then shows its log.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/bootstrap.sh"
bash "$top/scripts/build.sh" product-setup
source "$top/scripts/wine-env.sh"
trap stop_wine EXIT
start_display
start_wine
echo "run: wine $build/product/setup.exe /s $*"
set +e
wine "$build/product/setup.exe" /s "$@"
rc=$?
set -e
echo "run: exit code $rc"
log="$WINEPREFIX/drive_c/users/Public/DemoApp/install.log"
if [ -f "$log" ]; then
  echo "run: script log at $log (C:\\users\\Public\\DemoApp\\install.log in the prefix); first lines:"
  iconv -f UTF-16 -t UTF-8 "$log" | head -n 60
else
  echo "run: no script log was written"
  exit 1
fi
