#!/usr/bin/env bash
# Starts brindle.exe under Xvfb on a file, waits for its window and saves a PNG of it.
# usage: tools/screenshot.sh FILE OUT.png [seconds to wait after the window appears]
# SHOT_KEYS="F11" presses keys in the window first; SHOT_NEXT_KEYS="Return" then presses keys in
# whatever window has the focus (a dialog the first keys opened) after SHOT_NEXT_DELAY seconds (3);
# SHOT_MORE_KEYS presses keys in the main window a second after SHOT_KEYS. The BRINDLE_X, _Y, _WIDTH and _HEIGHT
# variables place the window; LC_ALL=cs_CZ.UTF-8 or sk_SK.UTF-8 picks the language.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BRINDLE_BUILD:-$root/build}"
file="$1"; out="$2"; settle="${3:-2}"
export WINEPREFIX="$build/wineprefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Update checks stay on this machine unless a service is named (port 9 is closed).
export BRINDLE_UPDATE_URL="${BRINDLE_UPDATE_URL:-http://127.0.0.1:9/skelby/services/brindle.php}"
bash "$root/tools/wine-prefix.sh" "$WINEPREFIX"
unset DISPLAY
source "$root/tools/xvfb.sh"
wine "$build/brindle.exe" "$(winepath -w "$file")" </dev/null >/dev/null 2>&1 &
app=$!
win=""
for _ in $(seq 200); do
  win=$(xdotool search --name 'Brindle' 2>/dev/null | head -1 || true)
  [ -n "$win" ] && break
  sleep 0.1
done
[ -n "$win" ] || { echo "screenshot: no window appeared" >&2; kill $app; exit 1; }
sleep "$settle"
if [ -n "${SHOT_KEYS:-}" ]; then xdotool key --window "$win" $SHOT_KEYS; sleep 1; fi
if [ -n "${SHOT_NEXT_KEYS:-}" ]; then sleep "${SHOT_NEXT_DELAY:-3}"; xdotool key $SHOT_NEXT_KEYS; sleep 1; fi
if [ -n "${SHOT_MORE_KEYS:-}" ]; then xdotool key --window "$win" $SHOT_MORE_KEYS; sleep 1; fi
if [ -n "${SHOT_ROOT:-}" ]; then import -window root "$out"; else import -window "$win" "$out" 2>/dev/null || import -window root "$out"; fi
kill $app 2>/dev/null || true
wineserver -k || true
echo "$out"
