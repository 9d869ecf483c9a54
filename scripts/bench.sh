#!/usr/bin/env bash
# Sets everything up, then measures the library's calls against the
# platform's own objects and calls doing the same job, for each architecture
# this machine runs, and prints four tables: the calls (per pair the median
# cost of a call over the rounds, the spread from lowest to highest round,
# and the ratio of the medians with the spread of the per-round ratios); the
# first use of each class in fresh processes against the platform's own cost
# of the same start; the first CreateObject of each class against
# Scripting.Dictionary's; and the memory a live object takes.
#   scripts/bench.sh [rounds]        (default 7)
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
source "$TESSARY_ROOT/scripts/servers.sh"

rounds=${1:-7}
"$TESSARY_ROOT/scripts/setup.sh" >&2
samples=$(mktemp)
at_exit 'rm -f "$samples"'

winpath() { echo "Z:$(echo "$1" | tr / '\\')"; }

# Every architecture's samples, into $samples.
measure() {
  for arch in $(runnable_arches); do
    use_arch "$arch"
    export TESSARY_ARCH=$arch
    WINEPREFIX=$TESSARY_PREFIX_HEADLESS wineserver -p60 2>/dev/null || true
    log "$arch: late-bound calls from VBScript and JScript"
    # VBScript's Timer counts seconds since midnight in single precision, so
    # late in the day it only tells 4 ms steps: the script runs with a clock
    # zone whose midnight has just passed, where it tells milliseconds.
    midnight="BNC+$(date -u +%H:%M -d '-1 min')"
    TZ=$midnight "$TESSARY_ROOT/scripts/wine-run" cscript //nologo "$(winpath "$TESSARY_ROOT/bench/calls.vbs")" \
      "$rounds" 100000 2000 2>/dev/null | tr -d '\r' | sed "s/^/$arch\t/" >>"$samples"
    "$TESSARY_ROOT/scripts/wine-run" cscript //nologo "$(winpath "$TESSARY_ROOT/bench/calls.js")" \
      "$rounds" 100000 2>/dev/null | tr -d '\r' | sed "s/^/$arch\t/" >>"$samples"
    log "$arch: calls from C++, printing, cold starts, memory"
    "$TESSARY_ROOT/scripts/wine-run" "$(winpath "$TESSARY_BUILD/bin/native_bench.exe")" "$rounds" \
      "$(winpath "$TESSARY_BUILD/bench-output.ps")" 2>/dev/null | tr -d '\r' | sed "s/^/$arch\t/" >>"$samples"
    log "$arch: first use in fresh processes"
    # Each side of a pair is a fresh process per round; the scripts of the
    # whole-script pair are read from bench/.
    export TESSARY_BENCH_SCRIPTS=$(winpath "$TESSARY_ROOT/bench")
    "$TESSARY_ROOT/scripts/wine-run" "$(winpath "$TESSARY_BUILD/bin/native_bench.exe")" --first-use \
      "$((rounds * 2))" registry application printer script 2>/dev/null | tr -d '\r' | sed "s/^/$arch\t/" >>"$samples"
    # The mixer pair where there is a mixer: the "sound" prefix (ALSA's null
    # device), with the library registered there.
    sound=(env TESSARY_WINE_MODE=sound ALSA_CONFIG_PATH="$TESSARY_BUILD/wine/sound/alsa.conf")
    "${sound[@]}" "$TESSARY_ROOT/scripts/wine-run" regsvr32 /s "$(winpath "$TESSARY_BUILD/bin/Tessary.dll")" >/dev/null 2>&1
    "${sound[@]}" "$TESSARY_ROOT/scripts/wine-run" "$(winpath "$TESSARY_BUILD/bin/native_bench.exe")" --first-use \
      "$((rounds * 2))" mixer 2>/dev/null | tr -d '\r' | sed "s/^/$arch\t/" >>"$samples"
  done
}
run_stoppable measure

python3 "$TESSARY_ROOT/bench/table.py" <"$samples"
