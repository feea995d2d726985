#!/usr/bin/env bash
# Makes a local CUPS server with the PDF queue the printing tests print through.
# Never fails the run: where CUPS cannot be started the printing test skips itself.
set -u

queue=PagorraPDF
sudo=""
[ "$(id -u)" -ne 0 ] && command -v sudo >/dev/null && sudo="sudo -n"

if ! command -v cupsd >/dev/null || ! command -v lpadmin >/dev/null; then
  echo "print-setup: CUPS is not installed; printing tests will skip." >&2
  exit 0
fi

scheduler_up() { lpstat -r 2>/dev/null | grep -q "is running"; }

if ! scheduler_up; then
  # No service manager here: start the daemon directly (it forks into the background).
  $sudo cupsd 2>/dev/null || true
  for _ in $(seq 1 50); do
    scheduler_up && break
    sleep 0.2
  done
fi
if ! scheduler_up; then
  echo "print-setup: the CUPS scheduler could not be started; printing tests will skip." >&2
  exit 0
fi

if ! lpstat -p "$queue" >/dev/null 2>&1; then
  if ! $sudo lpadmin -p "$queue" -v cups-pdf:/ -m lsb/usr/cups-pdf/CUPS-PDF_opt.ppd -E 2>/dev/null; then
    echo "print-setup: could not add the queue $queue; printing tests will skip." >&2
    exit 0
  fi
fi
# Text must reach the PDF as text a reader can extract: cups-filters' default converter
# (Ghostscript) turns the program's embedded fonts into glyphs without their characters.
$sudo lpadmin -p "$queue" -o pdftops-renderer-default=pdftocairo 2>/dev/null || true
echo "print-setup: CUPS is running with the queue $queue."
exit 0
