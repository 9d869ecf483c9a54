#!/usr/bin/env bash
# The benchmark still measures what it claims: one short round of each part
# (VBScript, JScript, C++, first use in fresh processes) gives both sides of
# every pair, and the cold-start and memory figures, which the table script
# accepts.
set -u
run=$1 root=$2 bin=$3
winpath() { echo "Z:$(echo "$1" | tr / '\\')"; }
samples=$(mktemp)
trap 'rm -f "$samples"' EXIT
"$run" cscript //nologo "$(winpath "$root/bench/calls.vbs")" 1 200 20 >"$samples.part" 2>/dev/null
[ $? -eq 77 ] && exit 77
sed 's/^/arch\t/' "$samples.part" | tr -d '\r' >>"$samples"
"$run" cscript //nologo "$(winpath "$root/bench/calls.js")" 1 200 2>/dev/null | tr -d '\r' | sed 's/^/arch\t/' >>"$samples"
"$run" "$(winpath "$bin/native_bench.exe")" 1 "$(winpath "$bin/../bench-smoke.ps")" quick 2>/dev/null | tr -d '\r' |
  sed 's/^/arch\t/' >>"$samples"
# First use, one fresh process a side (the mixer without a device here).
TESSARY_BENCH_SCRIPTS=$(winpath "$root/bench") "$run" "$(winpath "$bin/native_bench.exe")" --first-use 1 \
  registry application mixer printer script 2>/dev/null | tr -d '\r' | sed 's/^/arch\t/' >>"$samples"
rm -f "$samples.part"
python3 "$root/bench/table.py" --check <"$samples"
