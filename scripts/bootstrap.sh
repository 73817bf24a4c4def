#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian 12 machine (run as root).
# Idempotent: when every package and source is present it returns in a few seconds.
# A mirror in the middle of a sync fails single indexes for a while: every network step is tried
# three times with a pause, and an index that stays broken only stops us when packages are missing.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
deps="${TZ_DEPS_DIR:-$top/.deps}"
apt_etc="${TZ_APT_ETC:-/etc/apt}"
tries=${TZ_BOOTSTRAP_TRIES:-3}
pause=${TZ_BOOTSTRAP_PAUSE:-20}
t0=$(date +%s)

packages=(
  cmake ninja-build make dpkg-dev python3 ccache
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
  mingw-w64-tools
  wine wine32:i386 wine64
  xvfb xauth x11-utils xdotool imagemagick fonts-wqy-microhei
  7zip librapidxml-dev libsimpleini-dev googletest
  gcab
  osslsigncode openssl
)
sources=(7zip libjsoncpp)  # Debian names jsoncpp's source package libjsoncpp

say() { echo "bootstrap: $*"; }
fail() { echo "bootstrap: error: $*" >&2; exit 1; }

# retry LOG COMMAND...: runs COMMAND up to $tries times, its output kept in LOG; the last status.
retry() {
  local log=$1 n rc=0
  shift
  for ((n = 1; n <= tries; n++)); do
    "$@" >"$log" 2>&1 && return 0
    rc=$?
    if ((n < tries)); then
      say "'$*' failed (exit $rc, try $n of $tries); trying again in ${pause}s"
      grep -E '^(E|W|Err):' "$log" | head -3 | sed 's/^/bootstrap:   /' || true
      sleep "$pause"
    fi
  done
  return $rc
}

# The indexes apt could not fetch, one address a line, from an `apt-get update` output.
failed_indexes() { sed -n 's/^E: Failed to fetch \([^ ]*\).*/\1/p' "$1" | sort -u; }

# A source tree is whole when dpkg-source got to the end: the Debian files are in and every patch
# of the series is applied. An interrupted unpack leaves a tree that fails one of these.
source_complete() {
  local dir series applied
  dir=$(ls -d "$deps/$1"-*/ 2>/dev/null | head -1) || true
  [ -n "$dir" ] && [ -f "$dir/debian/changelog" ] || return 1
  series="$dir/debian/patches/series"
  [ -s "$series" ] || return 0
  applied="$dir/.pc/applied-patches"
  [ -f "$applied" ] || return 1
  diff -q <(grep -v -e '^#' -e '^[[:space:]]*$' "$series" | awk '{print $1}') "$applied" >/dev/null
}

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
need_src=()
for s in "${sources[@]}"; do
  source_complete "$s" && continue
  if ls -d "$deps/$s"-*/ >/dev/null 2>&1; then
    say "the source of $s in $deps is incomplete (an interrupted unpack?); fetching it again"
  fi
  need_src+=("$s")
done

if [ ${#missing[@]} -eq 0 ] && [ ${#need_src[@]} -eq 0 ]; then
  say "7-Zip source $(basename "$(ls -d "$deps"/7zip-*/ | head -1)"), jsoncpp source $(basename "$(ls -d "$deps"/libjsoncpp-*/ | head -1)")"
  say "done in $(( $(date +%s) - t0 ))s"
  exit 0
fi

what="${missing[*]}${missing[*]:+ }${need_src[*]:+sources of ${need_src[*]}}"
if [ "$(id -u)" != 0 ]; then
  fail "missing: $what. Installing them needs root: run this again as root (for example: sudo bash $0)."
fi

mkdir -p "$deps"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
# apt-get source needs deb-src entries; add them beside the binary ones when missing.
if ! grep -rqs -E '^(Types:.*deb-src|deb-src )' "$apt_etc/sources.list" "$apt_etc/sources.list.d/"; then
  if [ -f "$apt_etc/sources.list.d/debian.sources" ]; then
    sed -e 's/^Types: deb$/Types: deb-src/' "$apt_etc/sources.list.d/debian.sources" \
      > "$apt_etc/sources.list.d/installer-deb-src.sources"
  else
    grep -h '^deb ' "$apt_etc/sources.list" 2>/dev/null | sed 's/^deb /deb-src /' \
      > "$apt_etc/sources.list.d/installer-deb-src.list"
  fi
fi

say "updating the package indexes"
broken=""
if ! retry "$work/update.log" apt-get update -qq; then
  broken=$(failed_indexes "$work/update.log")
  if [ -n "$broken" ]; then
    say "warning: after $tries tries these indexes still fail (the old or no copy is used):"
    sed 's/^/bootstrap:   /' <<<"$broken"
  else
    cat "$work/update.log" >&2
    fail "apt-get update failed (see above); check the network and the entries in $apt_etc/sources.list.d/."
  fi
fi
# What to try when a step fails after a partial update: the indexes are the likely cause.
advice() {
  [ -n "$broken" ] || return 0
  echo "bootstrap: these package indexes failed to download:" >&2
  sed 's/^/bootstrap:   /' <<<"$broken" >&2
  echo "bootstrap: the mirror is probably in the middle of a sync: wait a few minutes and run this again," >&2
  echo "bootstrap: or point $apt_etc/sources.list.d/ at another Debian mirror." >&2
}

if [ ${#missing[@]} -gt 0 ]; then
  say "installing ${#missing[@]} packages: ${missing[*]} (a few minutes on a fresh machine)"
  # One progress line per package set up, so a long install shows it is moving.
  install() {
    apt-get install -y -q --no-install-recommends "${packages[@]}" 2>&1 | tee /dev/stderr |
      awk '/^Setting up /{n++; printf "bootstrap:   set up %d: %s\n", n, $3; fflush()}' >&3
  }
  exec 3>&1
  if ! retry "$work/install.log" install; then
    grep -E '^(E|W):' "$work/install.log" | tail -10 >&2 || true
    advice
    fail "installing the packages failed after $tries tries."
  fi
fi

for s in ${need_src[@]+"${need_src[@]}"}; do
  say "fetching and unpacking the Debian source of $s"
  fetch() { (cd "$deps" && rm -rf "$1"[-_]* && apt-get source -q "$1"); }
  if ! retry "$work/source.log" fetch "$s" || ! source_complete "$s"; then
    tail -20 "$work/source.log" >&2
    advice
    fail "apt-get source $s failed after $tries tries."
  fi
done

say "7-Zip source $(basename "$(ls -d "$deps"/7zip-*/ | head -1)"), jsoncpp source $(basename "$(ls -d "$deps"/libjsoncpp-*/ | head -1)")"
say "done in $(( $(date +%s) - t0 ))s"
