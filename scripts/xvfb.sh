# Starts the private Xvfb display unless it runs already; sourced after
# scripts/servers.sh.
start_xvfb() {
  local n=${TESSARY_XDISPLAY#:}
  if [ -e "/tmp/.X11-unix/X$n" ] && xdpyinfo -display "$TESSARY_XDISPLAY" >/dev/null 2>&1; then
    return
  fi
  rm -f "/tmp/.X$n-lock" "/tmp/.X11-unix/X$n"
  # In a session of its own, so that a Ctrl-C at the terminal does not end a
  # display kept for the next run; stopped by this process id when the script
  # ends (scripts/servers.sh).
  setsid Xvfb "$TESSARY_XDISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  TESSARY_XVFB_PIDS+=("$!")
  for _ in $(seq 50); do
    xdpyinfo -display "$TESSARY_XDISPLAY" >/dev/null 2>&1 && return
    sleep 0.1
  done
  echo "Xvfb did not start on $TESSARY_XDISPLAY" >&2
  return 1
}

# Sets everything up and points Wine at the display-bound prefix on the
# private display, with no wineserver left bound to another display.
use_private_display() {
  "$TESSARY_ROOT/scripts/setup.sh" "$TESSARY_ARCH"
  start_xvfb
  export WINEPREFIX=$TESSARY_PREFIX_UI DISPLAY=$TESSARY_XDISPLAY
  wineserver -k 2>/dev/null || true
  adopt_prefix_server "$WINEPREFIX"
}
