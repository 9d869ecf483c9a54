# Shared settings of the build and run scripts; sourced, not run.
#
# The project builds for two architectures, each in a tree of its own:
# build/x86 (32-bit Wine, win32 prefixes) and build/x64 (64-bit Wine, win64
# prefixes). `use_arch x86|x64` points every variable below at one of them;
# TESSARY_ARCH in the environment picks one when the caller has not.
TESSARY_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
TESSARY_BUILD_ROOT=${TESSARY_BUILD_ROOT:-$TESSARY_ROOT/build}
TESSARY_ARCHES="x86 x64"
export TESSARY_ROOT TESSARY_BUILD_ROOT

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# No system CUPS: printers come from the prefix's own registry.
export CUPS_SERVER=/nonexistent/cups.sock

log() { printf '\033[1m== %s\033[0m\n' "$*" >&2; }

use_arch() {
  TESSARY_ARCH=$1
  case $TESSARY_ARCH in
    x86)
      TESSARY_WINE_LOADER=/usr/lib/wine/wine
      export WINEARCH=win32
      TESSARY_TOOLCHAIN=$TESSARY_ROOT/cmake/mingw-i686.cmake
      # Where the spooler of this architecture keeps its printer drivers.
      TESSARY_PRINT_ENVIRONMENT='Windows NT x86'
      TESSARY_DRIVER_FOLDER=w32x86
      TESSARY_XDISPLAY_DEFAULT=:87 ;;
    x64)
      # /usr/bin/wine would pick the 32-bit loader whenever 32-bit Wine is
      # installed, even where the kernel cannot run it: call the 64-bit one.
      TESSARY_WINE_LOADER=/usr/lib/wine/wine64
      export WINEARCH=win64
      TESSARY_TOOLCHAIN=$TESSARY_ROOT/cmake/mingw-x86_64.cmake
      TESSARY_PRINT_ENVIRONMENT='Windows x64'
      TESSARY_DRIVER_FOLDER=x64
      TESSARY_XDISPLAY_DEFAULT=:88 ;;
    *) echo "unknown architecture '$TESSARY_ARCH' (x86 or x64)" >&2; return 1 ;;
  esac
  export WINELOADER=$TESSARY_WINE_LOADER
  # A build tree's own wrappers name their tree (it may be anywhere).
  TESSARY_BUILD=${TESSARY_BUILD_TREE:-$TESSARY_BUILD_ROOT/$TESSARY_ARCH}
  # Two Wine prefixes: one without any display (message boxes return at once),
  # one bound to the architecture's own private Xvfb display.
  TESSARY_PREFIX_HEADLESS=$TESSARY_BUILD/wine/headless
  TESSARY_PREFIX_UI=$TESSARY_BUILD/wine/ui
  TESSARY_XDISPLAY=${TESSARY_XDISPLAY_OVERRIDE:-$TESSARY_XDISPLAY_DEFAULT}
  export TESSARY_ARCH TESSARY_BUILD TESSARY_XDISPLAY TESSARY_PRINT_ENVIRONMENT TESSARY_DRIVER_FOLDER
}

# Wine of the current architecture.
wine() { "$TESSARY_WINE_LOADER" "$@"; }

# Whether this machine runs 32-bit programs. Some kernels have 32-bit
# emulation switched off: Wine's 32-bit loader (itself a 32-bit program) then
# fails with "Exec format error". TESSARY_NO_X86=1 pretends so.
x86_runnable() {
  [ "${TESSARY_NO_X86:-0}" != 1 ] && [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1
}

# The architectures whose programs this machine runs.
runnable_arches() {
  if x86_runnable; then echo "x86 x64"; else echo "x64"; fi
}

# Creates a Wine prefix once (about 10 s); later calls return at once.
make_prefix() {
  local prefix=$1
  [ -f "$prefix/system.reg" ] && return
  log "creating Wine prefix $prefix ($WINEARCH)"
  # wineboot now and then leaves a half-made prefix without its registry files
  # (seen once on a loaded machine, with nothing else different): start again
  # from nothing, and show what wineboot said if it never succeeds.
  local attempt bootlog="${prefix%/}.wineboot.log"
  for attempt in 1 2 3; do
    mkdir -p "$prefix"
    WINEPREFIX=$prefix DISPLAY= wine wineboot -i >"$bootlog" 2>&1 || true
    # The registry files are written when the prefix's wineserver ends.
    WINEPREFIX=$prefix wineserver -w || true
    [ -f "$prefix/system.reg" ] && break
    echo "wineboot left no registry in $prefix (try $attempt of 3)" >&2
    WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
    rm -rf "$prefix"
    sleep 2
  done
  if [ ! -f "$prefix/system.reg" ]; then
    echo "could not create the Wine prefix $prefix with $TESSARY_WINE_LOADER; wineboot said:" >&2
    tail -n 30 "$bootlog" >&2 || true
    return 1
  fi
  rm -f "$bootlog"
  # Without a window manager every dialog close would stall for seconds. The
  # first call into a prefix just made can fail once (seen with 64-bit
  # prefixes that also hold the 32-bit side): one more try after the
  # prefix's wineserver has settled.
  local try
  for try in 1 2 3; do
    WINEPREFIX=$prefix wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 && break
    WINEPREFIX=$prefix wineserver -w 2>/dev/null || true
    sleep 1
  done
  WINEPREFIX=$prefix wineserver -w || true
  link_wine_fonts "$prefix"
}

# Wine's own fonts (package fonts-wine) into the prefix's Fonts folder, the
# only place this Wine looks for them: MS Sans Serif, the font the dialogs
# are designed in (without it Wine substitutes a wider one and captions are
# cut short), Tahoma, and Marlett for the caption buttons. Quick when done.
link_wine_fonts() {
  local fonts=/usr/share/wine/fonts target=$1/drive_c/windows/Fonts f
  [ -d "$fonts" ] && [ -d "$target" ] || return 0
  for f in "$fonts"/*; do
    [ -e "$target/${f##*/}" ] || ln -s "$f" "$target/"
  done
}

use_arch "${TESSARY_ARCH:-x64}"
