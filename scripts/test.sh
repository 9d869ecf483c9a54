#!/usr/bin/env bash
# Sets everything up and runs the whole test suite through CTest: the tests of
# every architecture in one run (build/CTestTestfile.cmake lists both trees).
# The two trees have their own prefixes and displays, so they run side by
# side; the tests within one tree run one at a time. An architecture this
# machine cannot run is built, and its tests report as skipped. The Xvfb
# displays and wineservers the run starts are stopped when it ends, also when
# it is interrupted, unless another script of the project still uses them
# (scripts/servers.sh; TESSARY_KEEP_SERVERS=1 keeps them); the exit status is
# CTest's.
#   scripts/test.sh [ctest arguments]      e.g. scripts/test.sh -R x64.registry
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
source "$TESSARY_ROOT/scripts/servers.sh"
source "$TESSARY_ROOT/scripts/xvfb.sh"

"$TESSARY_ROOT/scripts/setup.sh"
for arch in $(runnable_arches); do
  use_arch "$arch"
  start_xvfb
  # One persistent wineserver per prefix for the whole run.
  WINEPREFIX=$TESSARY_PREFIX_HEADLESS wineserver -p60 2>/dev/null || true
  WINEPREFIX=$TESSARY_PREFIX_UI wineserver -p60 2>/dev/null || true
done

cd "$TESSARY_BUILD_ROOT"
status=0
run_stoppable ctest --output-on-failure --timeout 300 -j2 "$@" || status=$?
exit "$status"
