#!/usr/bin/env bash
# docs/reference.md is what library/frame/reference.txt and Tessary.idl make
# of it: every member has its help string and its reference entry (the
# generator refuses anything missing), and nobody edited the output by hand
# or forgot to regenerate it.
#   reference_test.sh <python3> <source root> <work folder>
set -u
python=$1 root=$2 work=$3
mkdir -p "$work"
fresh=$work/reference.md
if ! "$python" "$root/tools/reference_page.py" \
     "$root/library/frame/Tessary.idl" "$root/library/frame/reference.txt" "$fresh"; then
  echo "FAIL: the interface and its description disagree (see above)"
  exit 1
fi
if ! diff -u "$root/docs/reference.md" "$fresh"; then
  echo "FAIL: docs/reference.md is out of date: run scripts/reference.sh"
  exit 1
fi
echo "docs/reference.md is current"
