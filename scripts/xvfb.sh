# Starts the private Xvfb display unless it runs already; sourced.
start_xvfb() {
  local n=${TESSARY_XDISPLAY#:}
  if [ -e "/tmp/.X11-unix/X$n" ] && xdpyinfo -display "$TESSARY_XDISPLAY" >/dev/null 2>&1; then
    return
  fi
  rm -f "/tmp/.X$n-lock" "/tmp/.X11-unix/X$n"
  Xvfb "$TESSARY_XDISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  for _ in $(seq 50); do
    xdpyinfo -display "$TESSARY_XDISPLAY" >/dev/null 2>&1 && return
    sleep 0.1
  done
  echo "Xvfb did not start on $TESSARY_XDISPLAY" >&2
  return 1
}
