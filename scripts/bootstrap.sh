#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian 12 machine (run as root).
# Idempotent: when every package and source is present it returns in a few seconds.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
deps="$top/.deps"
mkdir -p "$deps"
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
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

need_src=0
ls -d "$deps"/7zip-*/ >/dev/null 2>&1 || need_src=1
ls -d "$deps"/libjsoncpp-*/ >/dev/null 2>&1 || need_src=1

if [ ${#missing[@]} -gt 0 ] || [ $need_src = 1 ]; then
  export DEBIAN_FRONTEND=noninteractive
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  # apt-get source needs deb-src entries; add them beside the binary ones when missing.
  if ! grep -rqs -E '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
      sed -e 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
        > /etc/apt/sources.list.d/installer-deb-src.sources
    else
      grep -h '^deb ' /etc/apt/sources.list 2>/dev/null | sed 's/^deb /deb-src /' \
        > /etc/apt/sources.list.d/installer-deb-src.list
    fi
  fi
  apt-get update -qq
  if [ ${#missing[@]} -gt 0 ]; then
    echo "bootstrap: installing ${missing[*]}"
    apt-get install -y -qq --no-install-recommends "${packages[@]}" >/dev/null
  fi
  if [ $need_src = 1 ]; then
    # Debian names jsoncpp's source package libjsoncpp.
    (cd "$deps" && rm -rf 7zip[-_]* libjsoncpp[-_]* && apt-get source -q 7zip libjsoncpp >/dev/null)
  fi
fi

echo "bootstrap: 7-Zip source $(basename "$(ls -d "$deps"/7zip-*/ | head -1)"), jsoncpp source $(basename "$(ls -d "$deps"/libjsoncpp-*/ | head -1)")"
echo "bootstrap: done in $(( $(date +%s) - t0 ))s"
