#!/usr/bin/env bash
# Sets everything up and runs the whole test suite through CTest.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
source "$TESSARY_ROOT/scripts/xvfb.sh"

"$TESSARY_ROOT/scripts/setup.sh"
start_xvfb
# One persistent wineserver per prefix for the whole run.
WINEPREFIX=$TESSARY_PREFIX_HEADLESS wineserver -p60 2>/dev/null || true
WINEPREFIX=$TESSARY_PREFIX_UI wineserver -p60 2>/dev/null || true

cd "$TESSARY_BUILD"
ctest --output-on-failure --timeout 300 "$@"
