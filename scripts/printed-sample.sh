#!/usr/bin/env bash
# Takes docs/printed-sample.png: the sample page that the VBScript client
# tests/printer/printed_sample.vbs prints on the "Proof Letter" test printer,
# rendered with Ghostscript.
#   scripts/printed-sample.sh [output.png]   (the build must be up to date)
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
source "$TESSARY_ROOT/scripts/servers.sh"

output=${1:-$TESSARY_ROOT/docs/printed-sample.png}
"$TESSARY_ROOT/scripts/setup.sh" "$TESSARY_ARCH"
export WINEPREFIX=$TESSARY_PREFIX_HEADLESS
unset DISPLAY
hold_shared "$(prefix_lock "$WINEPREFIX")"
winpath() { echo "Z:$1" | tr / '\\'; }
work=$(mktemp -d)
at_exit 'rm -rf "$work"'

# The script's picture source is a test helper: register it in the prefix.
wine regsvr32 /s "$(winpath "$TESSARY_BUILD/bin/TessaryTestPictures.dll")" >/dev/null 2>&1
cat "$TESSARY_ROOT/tests/support/assert.vbs" "$TESSARY_ROOT/tests/printer/printed_sample.vbs" > "$work/sample.vbs"
TESSARY_SAMPLE_DIR=$(winpath "$TESSARY_ROOT/tests/printer/sample") \
  wine cscript //nologo "$(winpath "$work/sample.vbs")" "$(winpath "$work/sample.ps")" </dev/null 2>/dev/null | tr -d '\r'
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=png16m -r100 -sOutputFile="$output" "$work/sample.ps"
log "wrote $output"
