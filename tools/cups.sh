# Sourced: the real printer the printing tests use, a CUPS queue "PDF" writing PDF files.
# cups_packages lists what tools/setup.sh installs; cups_start starts the scheduler (when it is
# not running yet) and creates the queue when it is missing, then exports BRINDLE_PDF_DIR, the
# folder the PDF files land in; cups_stop stops the scheduler again if cups_start started it.
cups_packages=(cups cups-bsd printer-driver-cups-pdf poppler-utils ghostscript)
_cups_started=""

cups_start() {
  if ! lpstat -r 2>/dev/null | grep -q 'is running'; then
    /usr/sbin/cupsd
    _cups_started=1
    local _
    for _ in $(seq 200); do lpstat -r 2>/dev/null | grep -q 'is running' && break; sleep 0.05; done
  fi
  if ! lpstat -p PDF >/dev/null 2>&1; then
    lpadmin -p PDF -E -v cups-pdf:/ -P /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd 2>/dev/null
  fi
  lpstat -d 2>/dev/null | grep -q ': PDF$' || lpadmin -d PDF
  # cups-pdf writes into the PDF folder of the home of the user who printed.
  BRINDLE_PDF_DIR="$(getent passwd "$(id -un)" | cut -d: -f6)/PDF"
  mkdir -p "$BRINDLE_PDF_DIR"
  export BRINDLE_PDF_DIR
}

cups_stop() {
  [ -n "$_cups_started" ] || return 0
  if [ -f /run/cups/cupsd.pid ]; then kill "$(cat /run/cups/cupsd.pid)" 2>/dev/null || true; fi
  _cups_started=""
}
