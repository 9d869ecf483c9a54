#!/usr/bin/env bash
# The prefix where the library is used without registration: nothing ever
# registers Tessary there, so a class the test client creates can only have
# come from the manifests beside it.
set -euo pipefail
source "$TESSARY_ROOT/scripts/common.sh"

make_prefix "$TESSARY_BUILD/wine/regfree"
