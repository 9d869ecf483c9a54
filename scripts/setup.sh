#!/usr/bin/env bash
# Sets everything up on a Debian 12 machine as root: packages (with the i386
# architecture), the build, the Wine prefixes and the registration of
# Tessary.dll. Quick when nothing changed.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

packages=(cmake ninja-build mingw-w64 g++-mingw-w64-i686 mingw-w64-tools libwine-dev
          wine wine32:i386 wine64 googletest xvfb x11-apps x11-utils ghostscript python3 libasound2:i386)

install_packages() {
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return
  log "installing ${missing[*]}"
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

build() {
  if [ ! -f "$TESSARY_BUILD/build.ninja" ]; then
    log "configuring"
    cmake -S "$TESSARY_ROOT" -B "$TESSARY_BUILD" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$TESSARY_ROOT/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=Release
  fi
  log "building"
  cmake --build "$TESSARY_BUILD"
}

register() {
  local dll
  dll="Z:$(echo "$TESSARY_BUILD/bin/Tessary.dll" | tr / '\\')"
  for prefix in "$TESSARY_PREFIX_HEADLESS" "$TESSARY_PREFIX_UI"; do
    WINEPREFIX=$prefix DISPLAY= wine regsvr32 /s "$dll" >/dev/null 2>&1 || {
      echo "regsvr32 failed in $prefix" >&2; return 1; }
  done
}

install_packages
build
make_prefix "$TESSARY_PREFIX_HEADLESS"
make_prefix "$TESSARY_PREFIX_UI"
# Further set-up steps of the subsystems' tests (printers, sound), each quick when done.
for step in "$TESSARY_ROOT"/tests/support/setup.d/*.sh; do
  [ -e "$step" ] && bash "$step"
done
register
# The display-bound prefix was used without a display just now; a wineserver
# stays bound to the display it first saw, so let the next user start afresh.
WINEPREFIX=$TESSARY_PREFIX_UI wineserver -k 2>/dev/null || true
log "set up"
