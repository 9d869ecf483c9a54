# Shared settings of the build and run scripts; sourced, not run.
TESSARY_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
TESSARY_BUILD=${TESSARY_BUILD:-$TESSARY_ROOT/build}
# Two Wine prefixes: one without any display (message boxes return at once),
# one bound to a private Xvfb display for windows and dialogs.
TESSARY_PREFIX_HEADLESS=$TESSARY_BUILD/wine/headless
TESSARY_PREFIX_UI=$TESSARY_BUILD/wine/ui
TESSARY_XDISPLAY=${TESSARY_XDISPLAY:-:87}
export TESSARY_ROOT TESSARY_BUILD TESSARY_XDISPLAY

export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# No system CUPS: printers come from the prefix's own registry.
export CUPS_SERVER=/nonexistent/cups.sock

log() { printf '\033[1m== %s\033[0m\n' "$*" >&2; }

# Creates a Wine prefix once (about 10 s); later calls return at once.
make_prefix() {
  local prefix=$1
  [ -f "$prefix/system.reg" ] && return
  log "creating Wine prefix $prefix"
  mkdir -p "$prefix"
  WINEPREFIX=$prefix DISPLAY= wineboot -i >/dev/null 2>&1
  # Without a window manager every dialog close would stall for seconds.
  WINEPREFIX=$prefix wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  WINEPREFIX=$prefix wineserver -w
}
