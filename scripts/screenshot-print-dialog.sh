#!/usr/bin/env bash
# Takes docs/print-dialog-print.png and docs/print-dialog-setup.png: the print
# dialog as xPrinter.ShowPrinter shows it to a VBScript client, in print mode
# and in setup mode, on the private Xvfb display (root window dump, cropped).
#   scripts/screenshot-print-dialog.sh [output folder, default docs]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
source "$TESSARY_ROOT/scripts/servers.sh"
source "$TESSARY_ROOT/scripts/xvfb.sh"

folder=${1:-$TESSARY_ROOT/docs}
use_private_display
work=$(mktemp -d)
at_exit 'rm -rf "$work"'
export TESSARY_MESSAGE_LOG="Z:$(echo "$work/messages.log" | tr / '\\')"

shoot() {  # mode argument, window caption, output file
  local argument=$1 caption=$2 output=$3 program shown=
  printf 'Set p = CreateObject("Tessary.xPrinter")\r\np.ShowPrinter "%s"\r\n' "$argument" > "$work/show.vbs"
  "$TESSARY_WINE_LOADER" cscript //nologo "Z:$(echo "$work/show.vbs" | tr / '\\')" </dev/null >/dev/null 2>&1 &
  program=$!
  for _ in $(seq 200); do
    if xwininfo -name "$caption" 2>/dev/null | grep -q IsViewable; then shown=1; break; fi
    kill -0 "$program" 2>/dev/null || break
    sleep 0.05
  done
  if [ -z "$shown" ]; then
    echo "the dialog \"$caption\" never showed" >&2
    cat "$work/messages.log" 2>/dev/null >&2 || true
    exit 1
  fi
  sleep 0.5  # let it paint
  xwd -root -silent > "$work/screen.xwd"
  python3 "$TESSARY_ROOT/scripts/xwd_to_png.py" "$work/screen.xwd" "$output" --crop
  # The dialog waits for a user: end the script host (the prefix may be
  # another script's too).
  kill "$program" 2>/dev/null || true
  wait "$program" 2>/dev/null || true
  log "wrote $output"
}

shoot "" "Print" "$folder/print-dialog-print.png"
shoot "Setup" "Print Setup" "$folder/print-dialog-setup.png"
