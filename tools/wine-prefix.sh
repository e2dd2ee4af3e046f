#!/usr/bin/env bash
# Creates a private 32-bit Wine prefix set up for Brindle's tests and demo. Safe to call concurrently.
set -euo pipefail
prefix="$1"
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
[ -f "$prefix/.brindle-ready" ] && exit 0
export WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineboot -i </dev/null >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'Lucida Console' /d 'DejaVu Sans Mono' /f </dev/null >/dev/null 2>&1
cp /usr/share/wine/fonts/*.ttf "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
for f in /usr/share/fonts/truetype/dejavu/DejaVuSansMono*.ttf; do
  [ -f "$f" ] && cp "$f" "$prefix/drive_c/windows/Fonts/"
done
wineserver -w
touch "$prefix/.brindle-ready"
