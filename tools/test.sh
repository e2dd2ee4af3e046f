#!/usr/bin/env bash
# Builds Brindle and runs every test under Wine, in the build's private prefix, on a private display.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BRINDLE_BUILD:-$root/build}"
bash "$root/tools/build.sh"
# The printer first: Wine drops a CUPS printer from the prefix while the scheduler is down.
source "$root/tools/cups.sh"; cups_start
export WINEPREFIX="$build/wineprefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
bash "$root/tools/wine-prefix.sh" "$WINEPREFIX"
# Always a display of our own: the tests press keys and move focus, which must not reach a desktop.
unset DISPLAY
source "$root/tools/xvfb.sh"
# Keep the Wine server warm, detached from ctest's pipes, and stop it afterwards.
wineserver -p
wine wineboot </dev/null >/dev/null 2>&1
# The reference update service on a free port of 127.0.0.1: the tests' update checks go nowhere else.
rm -f "$build/update-service.port"
python3 "$root/tools/update-service.py" --port 0 --test-hooks --watch-pid $$ --port-file "$build/update-service.port" &
service=$!
until [ -s "$build/update-service.port" ]; do kill -0 $service; sleep 0.05; done
export BRINDLE_TEST_UPDATE_SERVICE="http://127.0.0.1:$(cat "$build/update-service.port")"
export BRINDLE_UPDATE_URL="$BRINDLE_TEST_UPDATE_SERVICE/t/quiet/brindle.php"
status=0
ctest --test-dir "$build" --output-on-failure "$@" || status=$?
kill $service 2>/dev/null || true
wineserver -k || true
cups_stop
exit $status
