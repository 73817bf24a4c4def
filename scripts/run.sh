#!/usr/bin/env bash
# The run command: builds the product installer (build/product/setup.exe, TzDemo) and runs its
# main job under Wine. Without a display it starts Xvfb and drives the interactive first install
# to its end as a user would (screenshots of each page in build/shots/run_*.png); with a display it
# just starts the installer. Then it shows where TzDemo was installed, its Uninstall entry and the
# installer's log. "--silent" runs the silent install instead.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/bootstrap.sh"
# The interactive run needs the skinned window and its driver (tests/e2e/ui_steps.py, acctree.exe);
# a tree without them runs the silent install.
interactive_ready=0
[ -f "$top/tests/e2e/ui_steps.py" ] && [ -f "$top/tools/e2etools/acctree.cpp" ] && interactive_ready=1
if [ $interactive_ready = 1 ]; then
  bash "$top/scripts/build.sh" product-setup regdump acctree
else
  bash "$top/scripts/build.sh" product-setup regdump
fi
source "$top/scripts/wine-env.sh"
had_display=0
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then had_display=1; fi
trap stop_wine EXIT
start_display
start_wine
user_dir="$WINEPREFIX/drive_c/users/$(whoami)"
logs="$user_dir/AppData/Roaming/TzDemo/logs"
before=$(ls "$logs" 2>/dev/null || true)
set +e
if [ "${1:-}" = "--silent" ] || [ $interactive_ready = 0 ]; then
  if [ "${1:-}" = "--silent" ]; then shift; else echo "run: this tree has no window driver yet: the silent install"; fi
  echo "run: wine $build/product/setup.exe /s $*"
  wine "$build/product/setup.exe" /s "$@"
  rc=$?
elif [ $had_display = 1 ]; then
  echo "run: wine $build/product/setup.exe $* (on your display)"
  wine "$build/product/setup.exe" "$@"
  rc=$?
else
  echo "run: no display: the interactive install runs on Xvfb ($DISPLAY), driven by scripts/drive_install.py"
  python3 "$top/scripts/drive_install.py" "$build" "$build/product/setup.exe"
  rc=$?
  echo "run: screenshots: $(ls "$build"/shots/run_*.png 2>/dev/null | tr '\n' ' ')"
fi
set -e
echo "run: exit code $rc"
# regdump prints "name<TAB>type<TAB>data" in UTF-8 ("@" is the default value, "\\" a backslash).
echo "run: installed to: $(wine "$build/tools/regdump.exe" 32 'HKLM\SOFTWARE\TzDemo' 2>/dev/null | sed -n 's/^@\tREG_SZ\t//p' | sed 's/\\\\/\\/g')"
echo "run: the Uninstall entry HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\TzDemo (32-bit view):"
wine "$build/tools/regdump.exe" 32 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\TzDemo' 2>/dev/null |
  sed 's/\\\\/\\/g; s/^/    /' || true
log=$(ls -t "$logs"/*.txt 2>/dev/null | head -n 1 || true)
if [ -n "$log" ] && ! grep -qxF "$(basename "$log")" <<<"$before"; then
  echo "run: the installer's log, $log:"
  iconv -f UTF-16 -t UTF-8 "$log"
else
  echo "run: no log was written"
  exit 1
fi
exit $rc
