#!/usr/bin/env bash
# Brings a Debian 12 machine to the state needed to build Brindle and run it under Wine.
# Idempotent: when every package is already there it only checks and returns.
set -euo pipefail
packages=(g++-mingw-w64-i686-posix mingw-w64-i686-dev binutils-mingw-w64-i686 wine wine32:i386 wine64
          fonts-wine fonts-dejavu-core xvfb xdotool imagemagick cmake make googletest python3 unzip)
missing=()
source "$(dirname "$0")/cups.sh"; packages+=("${cups_packages[@]}")
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "setup: installing ${missing[*]}" >&2
SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO=sudo
dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386
$SUDO apt-get update -q
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q "${missing[@]}" >/dev/null
