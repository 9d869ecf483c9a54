#!/usr/bin/env bash
# One more 64-bit prefix where both builds of the library are registered side
# by side, for the test that a 32-bit and a 64-bit client each get their own.
# Only in the x64 tree, and only where this machine runs 32-bit programs.
set -euo pipefail
source "$TESSARY_ROOT/scripts/common.sh"

[ "$TESSARY_ARCH" = x64 ] && x86_runnable || exit 0
make_prefix "$TESSARY_BUILD/wine/sidebyside"
