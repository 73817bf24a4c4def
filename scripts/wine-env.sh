# Sourced by the scripts: the build tree, its Wine prefix, a virtual display and a running
# wineserver. Creates the 64-bit prefix on first use.
build="${BUILD_DIR:-$top/build}"
export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# Starts Xvfb on the first free display unless one is usable; fails with Xvfb's own words when
# the server does not come up.
start_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    return 0
  fi
  if ! command -v Xvfb >/dev/null; then
    echo "wine-env: Xvfb is not installed (package xvfb; scripts/bootstrap.sh installs it)" >&2
    return 1
  fi
  mkdir -p "$build"
  local n log="$build/xvfb.log"
  for n in $(seq 90 120); do
    if [ ! -e /tmp/.X11-unix/X$n ] && [ ! -e /tmp/.X$n-lock ]; then
      # No key auto-repeat: a driven key press whose release comes late on a loaded machine must not
      # arrive as several presses.
      Xvfb :$n -screen 0 1280x800x24 -nolisten tcp -ardelay 30000 >"$log" 2>&1 &
      xvfb_pid=$!
      export DISPLAY=:$n
      for _ in $(seq 50); do
        xdpyinfo >/dev/null 2>&1 && return 0
        kill -0 "$xvfb_pid" 2>/dev/null || break
        sleep 0.1
      done
      echo "wine-env: Xvfb did not start on display :$n; its output ($log):" >&2
      tail -5 "$log" | sed 's/^/wine-env:   /' >&2
      kill "$xvfb_pid" 2>/dev/null || true
      xvfb_pid=
      return 1
    fi
  done
  echo "wine-env: no free X display between :90 and :120 (stale /tmp/.X*-lock files?)" >&2
  return 1
}

start_wine() {
  mkdir -p "$build"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wine: creating the prefix $WINEPREFIX"
    local log="$build/wineboot.log"
    WINEARCH=win64 wineboot -i >"$log" 2>&1 || true
    wineserver -w || true
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      echo "wine-env: the Wine prefix $WINEPREFIX was not created; wineboot said ($log):" >&2
      tail -5 "$log" | sed 's/^/wine-env:   /' >&2
      echo "wine-env: check that wine, wine64 and wine32:i386 are installed and that $build is writable" >&2
      return 1
    fi
    # Chinese texts need a font that has the glyphs.
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
      /v 'Microsoft Yahei' /d 'WenQuanYi Micro Hei' /f >/dev/null 2>&1 || true
    wineserver -w
  fi
  # A server left by the build (tzbuild runs under Wine, with a short-lived server) is replaced by
  # this one, so that no server ends between two tests.
  wineserver -k >/dev/null 2>&1 || true
  # A persistent server keeps each Wine start fast; its first client must not hold our pipes. One
  # still running from an earlier run makes "-p" answer 2: that server is used as it is.
  local status=0
  wineserver -p 2>/dev/null || status=$?
  if [ "$status" != 0 ] && [ "$status" != 2 ]; then
    echo "wine-env: wineserver -p failed with exit code $status" >&2
    return 1
  fi
  # The virtual display has no window manager: Wine must not wait for one when windows hide.
  if ! grep -q '"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null; then
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 </dev/null || true
  fi
  wineboot >/dev/null 2>&1 </dev/null || true
}

stop_wine() {
  wineserver -k 2>/dev/null || true
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
}
