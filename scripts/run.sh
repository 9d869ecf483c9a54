#!/usr/bin/env bash
# Sets up what Dovetta needs (scripts/setup.sh --dovetta), runs it with the
# given command line, waits for it to end and prints the two autodial values
# it wrote.
#   scripts/run.sh never        (0.5 s, never-dial mode)
#   scripts/run.sh 2            (2 s, default mode)
# Without DISPLAY the program runs on the private Xvfb display; its message
# boxes, which nobody could answer there, are then printed instead.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
source "$TESSARY_ROOT/scripts/servers.sh"
source "$TESSARY_ROOT/scripts/xvfb.sh"

# Only what Dovetta needs: the library and the program of the one
# architecture it runs, the display-bound prefix, the registration.
"$TESSARY_ROOT/scripts/setup.sh" --dovetta
# The 32-bit program where this machine runs 32-bit programs, else the 64-bit one.
if x86_runnable; then use_arch x86; else use_arch x64; fi
log "running the $TESSARY_ARCH build ($TESSARY_BUILD/bin/Dovetta.exe)"
messages=
if [ -z "${DISPLAY:-}" ]; then
  start_xvfb
  messages=$(mktemp)
  at_exit 'rm -f "$messages"'
  export TESSARY_MESSAGE_LOG="Z:$(echo "$messages" | tr / '\\')"
  use_display_prefix "$TESSARY_XDISPLAY"
else
  use_display_prefix "$DISPLAY"
fi

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
