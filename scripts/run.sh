#!/usr/bin/env bash
# Sets everything up, runs Dovetta with the given command line, waits for it
# to end and prints the two autodial values it wrote.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
source "$TESSARY_ROOT/scripts/xvfb.sh"

"$TESSARY_ROOT/scripts/setup.sh"
if [ -z "${DISPLAY:-}" ]; then
  start_xvfb
else
  TESSARY_XDISPLAY=$DISPLAY
fi
export WINEPREFIX=$TESSARY_PREFIX_UI DISPLAY=$TESSARY_XDISPLAY
# A wineserver stays bound to the display it first saw.
wineserver -k 2>/dev/null || true

log "running Dovetta $*"
start=$(date +%s.%N)
wine "$TESSARY_BUILD/bin/Dovetta.exe" "$@" </dev/null
end=$(date +%s.%N)
log "Dovetta ended after $(printf '%.1f' "$(echo "$end - $start" | bc 2>/dev/null || echo 0)") s"
wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings' /v EnableAutodial | tr -d '\r' | grep -i EnableAutodial
wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings' /v NoNetAutodial | tr -d '\r' | grep -i NoNetAutodial
