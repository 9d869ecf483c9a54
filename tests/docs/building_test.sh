#!/usr/bin/env bash
# docs/building.md's build by hand, as written: every package its apt-get line
# names is a package of this machine's archive and installed here (where the
# suite was just built), and its cmake lines configure trees that make the
# type library, the step that needs Wine's IDL files and stdole2.tlb from
# those packages. The page's last line, building both trees whole, is what
# scripts/setup.sh builds the suite with.
#   building_test.sh <source folder>
set -u
root=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$root/tests/support/checks.sh"

# The page's shell blocks under "Building by hand", continuation lines joined;
# one command a line.
commands=$(awk '/^## /{inside = ($0 == "## Building by hand")} inside && /^```/{block = !block; next}
                inside && block' "$root/docs/building.md" | sed -e ':a' -e '/\\$/{N; s/\\\n *//; ba}')
install_line=$(grep '^apt-get install ' <<<"$commands")
configure_lines=$(grep '^cmake -S ' <<<"$commands")
packages=$(sed 's/^apt-get install //; s/--[a-z-]*//g' <<<"$install_line")

page_found() { [ -n "$install_line" ] && [ "$(wc -l <<<"$configure_lines")" -eq 2 ]; }
check "the page shows one apt-get install line and two cmake configure lines" page_found
installed() {
  local package status=0
  for package in $packages; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
      { echo "$package is not installed"; status=1; }
  done
  return "$status"
}
check "every package named is installed here" installed
check "apt-get resolves the line as written" apt-get install --simulate --no-install-recommends $packages

# Each configure line into a scratch folder instead of build/, then the type library.
type_library() {  # <configure line>
  local line=${1//build\//$work/} tree
  tree=$(sed -n 's/.* -B \([^ ]*\) .*/\1/p' <<<"$line")
  (cd "$root" && eval "$line" >"$work/configure.log" 2>&1) || { cat "$work/configure.log"; return 1; }
  cmake --build "$tree" --target tessary_idl >"$work/build.log" 2>&1 || { tail -n 30 "$work/build.log"; return 1; }
  [ -s "$tree/bin/Tessary.tlb" ] || { echo "no $tree/bin/Tessary.tlb"; return 1; }
}
while IFS= read -r line; do
  check "configured and made the type library: $line" type_library "$line"
done <<<"$configure_lines"
finish
