#!/usr/bin/env bash
# Builds and runs every benchmark under Wine; each prints its own figures.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BRINDLE_BUILD:-$root/build}"
bash "$root/tools/build.sh"
export WINEPREFIX="$build/wineprefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
bash "$root/tools/wine-prefix.sh" "$WINEPREFIX"
source "$root/tools/xvfb.sh"
for exe in "$build"/bench/*.exe; do
  [ -n "${1:-}" ] && [[ "$(basename "$exe")" != *"$1"* ]] && continue
  echo "== $(basename "$exe")"
  wine "$exe" </dev/null
done
wineserver -k || true
