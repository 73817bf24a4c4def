#!/usr/bin/env bash
# The set-up scripts against a package mirror that fails the way Debian's did mid-sync, and against
# a display server and a Wine that do not start. Stand-ins for apt-get, dpkg, id, Xvfb and wineboot
# come first on PATH; nothing reaches the network or the machine's package state.
set -uo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fake="$tmp/bin"
mkdir -p "$fake"

# apt-get: update fails FAKE_UPDATE_FAILS times (or always with "always") with the mirror's words;
# install and source succeed unless FAKE_INSTALL / FAKE_SOURCE say "fail". Every call is logged.
cat > "$fake/apt-get" <<'SH'
#!/bin/bash
echo "apt-get $*" >> "$FAKE_LOG"
case " $* " in
  *" update "*)
    n=$(grep -c '^apt-get update' "$FAKE_LOG")
    if [ "${FAKE_UPDATE_FAILS:-0}" = always ] || [ "$n" -le "${FAKE_UPDATE_FAILS:-0}" ]; then
      echo "E: Failed to fetch http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 151.101.2.132 80]"
      echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
      exit 100
    fi ;;
  *" install "*)
    if [ "${FAKE_INSTALL:-ok}" = fail ]; then
      echo "E: Package 'wine32:i386' has no installation candidate"; exit 100
    fi
    echo "Setting up wine32:i386 (8.0~repack-4) ..."; echo "Setting up xvfb (2:21.1.7-3) ..." ;;
  *" source "*)
    [ "${FAKE_SOURCE:-ok}" = fail ] && { echo "E: Failed to fetch http://deb.debian.org/debian/pool/main/7/7zip/x.dsc"; exit 100; }
    for p in "$@"; do
      case $p in source|-*) continue ;; esac
      mkdir -p "$p-1.0/debian/patches" "$p-1.0/.pc"
      echo "x (1.0) unstable" > "$p-1.0/debian/changelog"
      echo a.patch > "$p-1.0/debian/patches/series"; echo a.patch > "$p-1.0/.pc/applied-patches"
    done ;;
esac
exit 0
SH
cat > "$fake/dpkg-query" <<'SH'
#!/bin/bash
for m in ${FAKE_MISSING:-}; do [ "${!#}" = "$m" ] && exit 1; done
printf 'install ok installed'
SH
printf '#!/bin/bash\n[ "$1" = --print-foreign-architectures ] && echo i386\nexit 0\n' > "$fake/dpkg"
printf '#!/bin/bash\n[ "$1" = -u ] && { echo "${FAKE_UID:-0}"; exit 0; }\nexec /usr/bin/id "$@"\n' > "$fake/id"
printf '#!/bin/bash\necho "(EE) Fatal server error:"; echo "(EE) Cannot establish any listening sockets"; exit 1\n' > "$fake/Xvfb"
printf '#!/bin/bash\nexit 1\n' > "$fake/xdpyinfo"
printf '#!/bin/bash\necho "wine: could not load kernel32.dll, status c0000135"; exit 1\n' > "$fake/wineboot"
printf '#!/bin/bash\n[ "$1" = -p ] && exit "${FAKE_SERVER_P:-0}"\nexit 0\n' > "$fake/wineserver"
chmod +x "$fake"/*

failures=0
# case NAME EXPECTED_EXIT 'ENV...' 'REQUIRED PATTERNS (|-separated, all must appear)' 'FORBIDDEN PATTERN' 'APT CALLS'
# A fresh .deps and apt configuration per case; a deps tree named in PRESET is made first.
check() {
  local name=$1 want=$2 envs=$3 need=$4 forbid=$5 calls=$6
  local dir="$tmp/$name"
  mkdir -p "$dir/deps" "$dir/apt/sources.list.d"
  echo "Types: deb-src" > "$dir/apt/sources.list.d/debian.sources"
  for s in 7zip libjsoncpp; do
    [ "${PRESET:-}" = "partial-$s" ] && { mkdir -p "$dir/deps/$s-1.0/debian/patches"; echo "x" > "$dir/deps/$s-1.0/debian/changelog"; echo a.patch > "$dir/deps/$s-1.0/debian/patches/series"; continue; }
    mkdir -p "$dir/deps/$s-1.0/debian"; echo "x" > "$dir/deps/$s-1.0/debian/changelog"
  done
  : > "$dir/apt.log"
  env PATH="$fake:$PATH" FAKE_LOG="$dir/apt.log" TZ_DEPS_DIR="$dir/deps" TZ_APT_ETC="$dir/apt" \
    TZ_BOOTSTRAP_PAUSE=0 $envs bash "$top/scripts/bootstrap.sh" > "$dir/out" 2>&1
  local rc=$? ok=1 why=""
  [ "$rc" = "$want" ] || { ok=0; why="exit $rc, wanted $want"; }
  local IFS='|' p
  for p in $need; do grep -qF -- "$p" "$dir/out" || { ok=0; why="$why; missing \"$p\""; }; done
  [ -n "$forbid" ] && grep -qF -- "$forbid" "$dir/out" && { ok=0; why="$why; unwanted \"$forbid\""; }
  local got
  got=$(awk '{for (i = 2; i <= NF; i++) if ($i !~ /^-/) { printf "%s%s", sep, $i; sep = " "; break }}' "$dir/apt.log")
  [ "$got" = "$calls" ] || { ok=0; why="$why; apt-get calls \"$got\", wanted \"$calls\""; }
  if [ $ok = 1 ]; then
    echo "PASS $name"
  else
    echo "FAIL $name: $why"; sed 's/^/    | /' "$dir/out"; failures=$((failures + 1))
  fi
}

idx="deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz"
# The mirror's sync breaks one index for good, yet every package still installs: go on (exit 0).
check mirror_partial_index_packages_install 0 "FAKE_UPDATE_FAILS=always FAKE_MISSING=xvfb" \
  "try 1 of 3|try 2 of 3|$idx|set up 1: wine32:i386|done in" "error:" "update update update install"
# The broken index keeps wine32 out: stop, name the index and what to try.
check mirror_partial_index_install_fails 1 "FAKE_UPDATE_FAILS=always FAKE_INSTALL=fail FAKE_MISSING=wine32:i386" \
  "$idx|wait a few minutes and run this again|another Debian mirror|installing the packages failed after 3 tries" \
  "done in" "update update update install install install"
# A sync that ends between two tries leaves no trace but the retry.
check mirror_recovers_on_second_try 0 "FAKE_UPDATE_FAILS=1 FAKE_MISSING=xvfb" \
  "try 1 of 3|done in" "warning:" "update update install"
check not_root_says_so 1 "FAKE_UID=1000 FAKE_MISSING=xvfb" "needs root|run this again as root" "" ""
check everything_present_touches_nothing 0 "" "7-Zip source 7zip-1.0|done in" "" ""
PRESET=partial-7zip check interrupted_source_unpack_redone 0 "" \
  "source of 7zip in|incomplete|fetching and unpacking the Debian source of 7zip|done in" "source of libjsoncpp" "update source"
PRESET=partial-libjsoncpp check source_fetch_fails 1 "FAKE_SOURCE=fail FAKE_UPDATE_FAILS=always" \
  "apt-get source libjsoncpp failed after 3 tries|$idx" "done in" "update update update source source source"

# wine-env.sh: a display server and a prefix that do not come up are reported with their reason.
# wine_case NAME FUNCTION 'PATTERNS' [ok | fail | fail-with-prefix (default fail)] [ENV...]
wine_case() {
  local name=$1 fn=$2 need=$3 want=${4:-fail} dir="$tmp/$1"
  mkdir -p "$dir/build/wineprefix"
  [ "$want" != fail ] && : > "$dir/build/wineprefix/system.reg"
  (export PATH="$fake:$PATH" BUILD_DIR="$dir/build" ${5:-}; unset DISPLAY; top=$top
   source "$top/scripts/wine-env.sh"; $fn) > "$dir/out" 2>&1
  local rc=$? ok=1 IFS='|' p
  if [ "$want" = ok ]; then [ $rc = 0 ] || ok=0; else [ $rc != 0 ] || ok=0; fi
  for p in $need; do grep -qF -- "$p" "$dir/out" || ok=0; done
  if [ $ok = 1 ]; then echo "PASS $name"; else echo "FAIL $name (exit $rc)"; sed 's/^/    | /' "$dir/out"; failures=$((failures + 1)); fi
}
wine_case xvfb_failure_reported start_display "Xvfb did not start on display|Cannot establish any listening sockets"
wine_case prefix_failure_reported start_wine "was not created|could not load kernel32.dll|wine32:i386"
# A server left running by an earlier run answers "-p" with 2: it is used, the run goes on.
wine_case server_already_running start_wine "" ok FAKE_SERVER_P=2
wine_case server_failure_reported start_wine "wineserver -p failed with exit code 1" fail-with-prefix FAKE_SERVER_P=1

echo "$failures failed"
[ $failures = 0 ]
