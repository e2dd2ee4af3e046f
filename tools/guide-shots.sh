#!/usr/bin/env bash
# Remakes every picture of docs/guide.md in docs/images/ from generated sample logs: the main
# window following a log, its status bar, full screen, the Czech interface and each dialog, opened
# as a user would (its menu command posted to the main window). A dialog that does not appear
# within the timeout is skipped with a message; the other pictures are still made.
# usage: tools/guide-shots.sh [OUT_DIR [NAME...]]   (default docs/images, every picture; NAME is a
#        picture's name without .png; BRINDLE_BUILD: the build folder)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BRINDLE_BUILD:-$root/build}"
out="${1:-$root/docs/images}"
wanted=" ${*:2} "
want() { [ "$wanted" = "  " ] || [[ "$wanted" == *" $1 "* ]]; }
bash "$root/tools/build.sh" --target brindle >/dev/null
work="$build/guide-shots"
mkdir -p "$work" "$out"
i686-w64-mingw32-gcc -O2 -s -o "$work/post-command.exe" "$root/tools/post-command.c"

# Page setup and printing need a printer: CUPS with a PDF printer, started here when it is
# installed but not running (and stopped again at the end), before Wine looks for printers.
started_cups=""
if (want page-setup || want printing) && command -v lpstat >/dev/null; then
  if ! lpstat -r 2>/dev/null | grep -q 'is running' && [ -x /usr/sbin/cupsd ]; then
    /usr/sbin/cupsd && started_cups=1
    for _ in $(seq 100); do lpstat -r 2>/dev/null | grep -q 'is running' && break; sleep 0.05; done
  fi
  if ! lpstat -d 2>/dev/null | grep -q 'destination:' && [ -f /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd ]; then
    lpadmin -p PDF -E -v cups-pdf:/ -P /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd && lpadmin -d PDF || true
  fi
fi
stop_cups() { [ -z "$started_cups" ] || kill "$(cat /run/cups/cupsd.pid 2>/dev/null)" 2>/dev/null || true; }

# A prefix of its own, so that every run starts from the program's defaults.
export WINEPREFIX="$work/wineprefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
bash "$root/tools/wine-prefix.sh" "$WINEPREFIX"
# The logs lie in C:\logs, as a user's might.
logs="$WINEPREFIX/drive_c/logs"
rm -rf "$logs"; mkdir -p "$logs"
unset DISPLAY
export BRINDLE_XVFB_SCREEN=1024x768x24
source "$root/tools/xvfb.sh"
wineserver -p
wine wineboot </dev/null >/dev/null 2>&1
trap 'wineserver -k 2>/dev/null || true; kill ${BRINDLE_XVFB_PID:-} 2>/dev/null || true; stop_cups' EXIT
key='HKCU\Software\Skelby\Brindle'
wine reg delete "$key" /f </dev/null >/dev/null 2>&1 || true
# No update request leaves the machine: the last check is now, and the service is a closed local port.
minutes=$(( ($(date +%s) + 11644473600) / 60 ))
wine reg add "$key" /v "last check" /t REG_DWORD /d "$minutes" /f </dev/null >/dev/null 2>&1
export BRINDLE_UPDATE_URL="http://127.0.0.1:9/skelby/services/brindle.php"

# Sample logs: the same lines on every run.
sample_log() {  # FILE LINES FIRST_REQUEST
  awk -v n="$2" -v first="$3" 'BEGIN {
    srand(first); split("INFO INFO INFO INFO DEBUG WARN INFO ERROR", level, " ")
    split("http db cache auth scheduler mailer", module, " ")
    split("GET /api/orders;GET /api/customers/42;POST /api/orders;GET /static/app.js;GET /health;PUT /api/orders/17", path, ";")
    t = 9 * 3600 + 14 * 60 + 2 * first     # each call goes on later than the lines before it
    for (i = first; i < first + n; i++) {
      t += int(rand() * 3); l = level[1 + int(rand() * 8)]; m = module[1 + int(rand() * 6)]
      if (l == "ERROR") text = "lost connection to db-2, retrying"
      else if (l == "WARN") text = "slow query: " int(200 + rand() * 900) " ms"
      else if (m == "http") text = path[1 + int(rand() * 6)] " 200 " int(rand() * 90) " ms"
      else text = "request " i " handled in " int(rand() * 400) " ms"
      printf "2026-11-23 %02d:%02d:%02d.%03d %-5s [%s] %s\r\n", t / 3600, (t / 60) % 60, t % 60, (i * 37) % 1000, l, m, text
    }
  }' >>"$1"
}
log="$logs/server.log"
sample_log "$log" 120 1
printing_log="$logs/archive.log"
sample_log "$printing_log" 2000 1

app=""; win=""
start() {  # FILE [VAR=VALUE...]: starts brindle.exe on FILE and waits for its window
  local file="$1"; shift
  env "$@" BRINDLE_X=40 BRINDLE_Y=30 BRINDLE_WIDTH=860 BRINDLE_HEIGHT=540 \
    wine "$build/brindle.exe" "$(winepath -w "$file")" </dev/null >/dev/null 2>&1 &
  app=$!
  win=""
  for _ in $(seq 300); do
    win=$(xdotool search --onlyvisible --name ' - Brindle$' 2>/dev/null | head -1 || true)
    [ -n "$win" ] && break
    sleep 0.1
  done
  [ -n "$win" ] || { echo "guide-shots: the main window did not appear" >&2; exit 1; }
  sleep 1.5
}
stop() {
  kill "$app" 2>/dev/null || true
  wine wineboot -e </dev/null >/dev/null 2>&1 || true   # ends the session's processes cleanly
  wineserver -k 2>/dev/null || true
  wineserver -p; wine wineboot </dev/null >/dev/null 2>&1
}
post() { wine "$work/post-command.exe" "$1" </dev/null >/dev/null 2>&1 || echo "guide-shots: command $1 not posted" >&2; }
visible() { xdotool search --onlyvisible --name '.' 2>/dev/null | sort || true; }
new_window() {  # BEFORE_LIST [TITLE_REGEX]: waits up to 10 s for a visible window not in the list
  local before="$1" pattern="${2:-.}" id
  for _ in $(seq 100); do
    for id in $(xdotool search --onlyvisible --name "$pattern" 2>/dev/null || true); do
      grep -qx "$id" <<<"$before" || { echo "$id"; return 0; }
    done
    sleep 0.1
  done
  return 1
}
is_visible() { xdotool search --onlyvisible --name '.' 2>/dev/null | grep -qx "$1"; }
close_window() {  # ID: Esc to the dialog, which has the focus, as a user would; gone within 5 s
  xdotool key Escape 2>/dev/null || true
  for _ in $(seq 50); do
    is_visible "$1" || return 0
    sleep 0.1
  done
  return 1
}
capture() {  # ID OUT.png: the window's rectangle cut from the screen (a window that goes while
             # it is read cannot hold the capture up)
  local X="" Y="" WIDTH="" HEIGHT="" WINDOW="" SCREEN=""
  eval "$(xdotool getwindowgeometry --shell "$1" 2>/dev/null)"
  [ -n "$WIDTH" ] && [ -n "$HEIGHT" ] || return 1
  timeout 20 import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$2"
}
made=(); skipped=()
skip() { echo "guide-shots: skipped $1.png: $2" >&2; skipped+=("$1"); }
dialog() {  # NAME COMMAND_ID: opens the dialog by its menu command and saves NAME.png
  local name="$1" before id=""
  want "$name" || return 0
  before=$(visible)
  post "$2"
  # The new window that is still there a moment later is the dialog.
  for _ in 1 2 3; do
    id=$(new_window "$before") || { id=""; break; }
    sleep 0.8
    is_visible "$id" && break
    id=""
  done
  [ -n "$id" ] || { skip "$name" "no dialog appeared after command $2"; return 0; }
  if capture "$id" "$out/$name.png"; then made+=("$name"); else skip "$name" "the capture failed"; fi
  close_window "$id" || { echo "guide-shots: $name did not close with Esc; restarting" >&2; stop; start "$log"; }
}

# The main window following a log: lines keep arriving while it is shown. Then its status bar,
# the dialogs over it, and full screen.
start "$log"
for n in 1 2 3 4 5 6; do sample_log "$log" 3 $((120 + 3 * n)); sleep 0.3; done
sleep 1
if want main || want statusbar; then
  capture "$win" "$work/main.png"
  want main && { cp "$work/main.png" "$out/main.png"; made+=(main); }
  # The status bar alone: the bottom strip of the same picture.
  want statusbar && { convert "$work/main.png" -gravity South -crop 0x26+0+4 +repage "$out/statusbar.png"; made+=(statusbar); }
fi
dialog about 1909
dialog history 1908
dialog row-length 1401
dialog limits 1406
dialog settings 1409
dialog associations 1405
dialog find 1204
dialog goto 1206
dialog page-setup 1102
if want fullscreen; then
  xdotool key --window "$win" F11
  sleep 1.5
  timeout 20 import -window root "$out/fullscreen.png" && made+=(fullscreen) || skip fullscreen "the capture failed"
fi
stop

# Printing progress: a long log, the Print dialog confirmed, the progress dialog captured.
if want printing; then
  start "$printing_log"
  before=$(visible)
  post 1103
  if id=$(new_window "$before" '^Print$'); then
    sleep 0.5
    before=$(visible)
    xdotool key Return
    if progress=$(new_window "$before" '^Printing$'); then
      sleep 0.5
      capture "$progress" "$out/printing.png" && made+=(printing) || skip printing "the capture failed"
      # Nothing needs to reach paper: the job is cancelled from its progress dialog.
      xdotool key Escape 2>/dev/null || true
    else
      skip printing "no progress dialog (is a printer set up?)"
    fi
  else
    skip printing "no Print dialog appeared (is a printer set up?)"
  fi
  stop
fi

# Rules stored before the start, the view they change, and the dialog that edits them, in
# English, Czech and Slovak: rule_shots VIEW DIALOG COMMAND VALUE... (each VALUE "NAME=DATA", a
# number DATA stored as a DWORD).
rule_shots() {
  local view="$1" name="$2" command="$3" value lang
  shift 3
  want "$view" || want "$name" || want "$name-cs" || want "$name-sk" || return 0
  for value in "$@"; do
    if [[ "${value#*=}" =~ ^[0-9]+$ ]]; then
      wine reg add "$key" /v "${value%%=*}" /t REG_DWORD /d "${value#*=}" /f </dev/null >/dev/null 2>&1
    else
      wine reg add "$key" /v "${value%%=*}" /t REG_SZ /d "${value#*=}" /f </dev/null >/dev/null 2>&1
    fi
  done
  if want "$view" || want "$name"; then
    start "$log"
    if want "$view"; then capture "$win" "$out/$view.png" && made+=("$view") || skip "$view" "the capture failed"; fi
    dialog "$name" "$command"
    stop
  fi
  for lang in cs sk; do
    want "$name-$lang" || continue
    start "$log" "LC_ALL=${lang}_$(tr a-z A-Z <<<"${lang/cs/cz}").UTF-8"
    wanted=" $name-$lang " dialog "$name-$lang" "$command"
    stop
  done
  for value in "$@"; do wine reg delete "$key" /v "${value%%=*}" /f </dev/null >/dev/null 2>&1 || true; done
}

# Highlighting: rules for errors and warnings.
rule_shots highlighted highlight 1410 "highlight 0=1;FFFFFF;D01010;ERROR" "highlight 1=1;000000;FFBF00;WARN"
# Filtering: a Hide rule for DEBUG and Show only rules for ERROR and WARN, switched on.
rule_shots filtered filters 1411 "filter 0=1;ERROR" "filter 1=1;WARN" "filter 2=17;DEBUG" "filter=1"

# The Find dialog with its Regular expression box in Czech and Slovak ("find" above is English).
for lang in cs sk; do
  want "find-$lang" || continue
  start "$log" "LC_ALL=${lang}_$(tr a-z A-Z <<<"${lang/cs/cz}").UTF-8"
  wanted=" find-$lang " dialog "find-$lang" 1204
  stop
done

# The Czech interface.
if want czech; then
  start "$log" LC_ALL=cs_CZ.UTF-8
  # With the View menu open (Alt+Z in Czech), which is a window of its own: the screen is cut
  # to the main window.
  xdotool key --window "$win" alt+z
  sleep 1
  capture "$win" "$out/czech.png" && made+=(czech) || skip czech "the capture failed"
  stop
fi

# No capture dates inside the files: a picture that shows the same is the same file.
for name in "${made[@]}"; do mogrify -strip -define png:exclude-chunk=date,time "$out/$name.png"; done
echo "guide-shots: made ${made[*]:-nothing} in $out"
[ ${#skipped[@]} -eq 0 ] || echo "guide-shots: skipped ${skipped[*]}"
