#!/usr/bin/env bash
# Takes docs/dovetta.png: Dovetta's window while it shows its result, on the
# private Xvfb display (root window dump, cropped to what is drawn on it).
#   scripts/screenshot-dovetta.sh [command line, default: never] [output.png]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
source "$TESSARY_ROOT/scripts/servers.sh"
source "$TESSARY_ROOT/scripts/xvfb.sh"

arguments=${1:-never}
output=${2:-$TESSARY_ROOT/docs/dovetta.png}
use_private_display --dovetta
work=$(mktemp -d)
at_exit 'rm -rf "$work"'
export TESSARY_MESSAGE_LOG="Z:$(echo "$work/messages.log" | tr / '\\')"

"$TESSARY_WINE_LOADER" "$TESSARY_BUILD/bin/Dovetta.exe" $arguments </dev/null >/dev/null 2>&1 &
program=$!
# The form exists hidden during the delay; wait until it is on screen.
shown=
for _ in $(seq 800); do
  if xwininfo -name Dovetta 2>/dev/null | grep -q IsViewable; then shown=1; break; fi
  kill -0 "$program" 2>/dev/null || break
  sleep 0.05
done
if [ -z "$shown" ]; then
  echo "Dovetta's window never showed" >&2
  cat "$work/messages.log" 2>/dev/null >&2 || true
  kill "$program" 2>/dev/null || true
  exit 1
fi
sleep 0.4  # let it paint
xwd -root -silent > "$work/screen.xwd"
wait "$program" || true
python3 "$TESSARY_ROOT/scripts/xwd_to_png.py" "$work/screen.xwd" "$output" --crop
log "wrote $output"
