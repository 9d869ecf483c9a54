#!/usr/bin/env bash
# Sets everything up, runs Dovetta with the given command line, waits for it
# to end and prints the two autodial values it wrote.
#   scripts/run.sh never        (0.5 s, never-dial mode)
#   scripts/run.sh 2            (2 s, default mode)
# Without DISPLAY the program runs on the private Xvfb display; its message
# boxes, which nobody could answer there, are then printed instead.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
source "$TESSARY_ROOT/scripts/servers.sh"
source "$TESSARY_ROOT/scripts/xvfb.sh"

"$TESSARY_ROOT/scripts/setup.sh"
# The 32-bit program where this machine runs 32-bit programs, else the 64-bit one.
if x86_runnable; then use_arch x86; else use_arch x64; fi
log "running the $TESSARY_ARCH build ($TESSARY_BUILD/bin/Dovetta.exe)"
messages=
if [ -z "${DISPLAY:-}" ]; then
  start_xvfb
  messages=$(mktemp)
  at_exit 'rm -f "$messages"'
  export TESSARY_MESSAGE_LOG="Z:$(echo "$messages" | tr / '\\')"
else
  TESSARY_XDISPLAY=$DISPLAY
fi
export WINEPREFIX=$TESSARY_PREFIX_UI DISPLAY=$TESSARY_XDISPLAY
# A wineserver stays bound to the display it first saw.
wineserver -k 2>/dev/null || true
adopt_prefix_server "$WINEPREFIX"

log "running Dovetta $*"
start=$(date +%s%N)
status=0
run_stoppable wine "$TESSARY_BUILD/bin/Dovetta.exe" "$@" </dev/null || status=$?
end=$(date +%s%N)
elapsed_ms=$(( (end - start) / 1000000 ))
log "Dovetta ended after $(printf '%d.%03d' $((elapsed_ms / 1000)) $((elapsed_ms % 1000))) s (exit code $status)"
if [ -n "$messages" ] && [ -s "$messages" ]; then
  log "message boxes shown:"
  # style <tab> caption <tab> text, line breaks written as \n
  cat "$messages"
fi

key='HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings'
for name in EnableAutodial NoNetAutodial; do
  value=$(wine reg query "$key" /v "$name" 2>/dev/null | tr -d '\r' | grep -i "$name" || true)
  if [ -n "$value" ]; then
    echo "$value" | sed 's/^ *//'
  else
    echo "$name    (not set)"
  fi
done
exit "$status"
