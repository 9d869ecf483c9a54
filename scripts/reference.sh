#!/usr/bin/env bash
# Writes docs/reference.md from library/frame/Tessary.idl and
# library/frame/reference.txt (the source of the type library's help strings
# too). The test suite fails while the committed file is out of date.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
python3 "$root/tools/reference_page.py" \
  "$root/library/frame/Tessary.idl" "$root/library/frame/reference.txt" "$root/docs/reference.md"
echo "wrote docs/reference.md"
