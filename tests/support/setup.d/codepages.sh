#!/usr/bin/env bash
# The Unix locale under which Wine gives its programs the double-byte system
# code page 932, for the second run of the Unicode tests. Wine takes the code
# page from each process's locale, so no prefix of its own is needed; the
# locale has to exist, or Wine quietly falls back to 1252. Quick when done.
set -euo pipefail
source "$TESSARY_ROOT/scripts/common.sh"

locale -a 2>/dev/null | grep -qix 'ja_JP.utf-\?8' && exit 0
log "generating the locale ja_JP.UTF-8 (code page 932 for Wine)"
localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
