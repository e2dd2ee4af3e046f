#!/usr/bin/env bash
# Builds Brindle and runs it under Wine on the given file, or on a demo log that keeps growing.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BRINDLE_BUILD:-$root/build}"
bash "$root/tools/build.sh" --target brindle
export WINEPREFIX="$build/wineprefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Update checks stay on this machine unless a service is named (port 9 is closed).
export BRINDLE_UPDATE_URL="${BRINDLE_UPDATE_URL:-http://127.0.0.1:9/skelby/services/brindle.php}"
bash "$root/tools/wine-prefix.sh" "$WINEPREFIX"
file="${1:-}"
if [ -z "$file" ]; then
  file="$build/demo/demo.log"
  mkdir -p "$(dirname "$file")"
  bash "$root/tools/demo-writer.sh" "$file" &
  writer=$!
  trap 'kill $writer 2>/dev/null || true' EXIT
fi
[ -n "${DISPLAY:-}" ] || source "$root/tools/xvfb.sh"
wine "$build/brindle.exe" "$(winepath -w "$file" 2>/dev/null || echo "$file")"
