# The private Xvfb display and the display-bound prefix; sourced after
# scripts/servers.sh.

# Uses the private display, started unless it runs already. Scripts starting
# one display at the same time take turns, so that only one starts it.
start_xvfb() {
  local display=$TESSARY_XDISPLAY n=${TESSARY_XDISPLAY#:} lock turn
  lock=$(display_lock "$display")
  hold_shared "$lock"
  TESSARY_DISPLAYS_USED+=("$display")
  exec {turn}>>"$lock.start"
  flock -x "$turn"
  if [ -e "/tmp/.X11-unix/X$n" ] && xdpyinfo -display "$display" >/dev/null 2>&1; then
    exec {turn}>&-
    return
  fi
  rm -f "/tmp/.X$n-lock" "/tmp/.X11-unix/X$n"
  # In a session of its own, so that a Ctrl-C at the terminal does not end a
  # display that another script may come to use; stopped when the script
  # ends (scripts/servers.sh).
  setsid Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp {turn}>&- >/dev/null 2>&1 &
  TESSARY_XVFB_STARTED+=("$! $display")
  for _ in $(seq 50); do
    if xdpyinfo -display "$display" >/dev/null 2>&1; then
      exec {turn}>&-
      return
    fi
    sleep 0.1
  done
  exec {turn}>&-
  echo "Xvfb did not start on $display" >&2
  return 1
}

# use_display_prefix <display>: points Wine at the display-bound prefix on
# that display and holds the prefix. A wineserver stays bound to the display
# it first saw: one that runs is stopped first, unless another script uses
# the prefix (which then keeps the display it has).
use_display_prefix() {
  export WINEPREFIX=$TESSARY_PREFIX_UI DISPLAY=$1
  when_unused "$(prefix_lock "$WINEPREFIX")" stop_prefix_server "$WINEPREFIX" ||
    log "another script uses $WINEPREFIX: its windows show on the display that script gave it"
  hold_shared "$(prefix_lock "$WINEPREFIX")"
}

# Sets everything up and points Wine at the display-bound prefix on the
# private display.
use_private_display() {
  "$TESSARY_ROOT/scripts/setup.sh" "$@" "$TESSARY_ARCH"
  start_xvfb
  use_display_prefix "$TESSARY_XDISPLAY"
}
