#!/usr/bin/env bash
# Makes the release of the checked-out commit: dist/Tessary-<version>/ with the
# four installer packages, a zip per architecture (Tessary.dll, Tessary.tlb,
# Dovetta.exe and the side-by-side manifests, for registration by hand), the
# reference, the examples, the change log and SHA256SUMS over all of it.
#
#   scripts/release.sh                      builds build/release/x86 and x64, then packs
#   scripts/release.sh --trees X86 X64      packs two trees built already (Release, with packages)
#   scripts/release.sh --out DIR            writes DIR/Tessary-<version>/ instead of dist/
#
# Signing: with TESSARY_SIGN_PFX (a PKCS#12 file) and TESSARY_SIGN_PASSWORD set,
# every DLL and EXE is signed before it is packed, then every package;
# TESSARY_SIGN_TIMESTAMP_URL adds an RFC 3161 time stamp from that server.
# Without a certificate the release is made unsigned and says so.
#
# SOURCE_DATE_EPOCH (default: the time of the last commit) dates everything
# that records a date, so a release can be made again byte for byte.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

out=$TESSARY_ROOT/dist
trees=()
while [ $# -gt 0 ]; do
  case $1 in
    --trees) [ $# -ge 3 ] || { echo "--trees needs the x86 and the x64 tree" >&2; exit 2; }
             trees=("$(realpath "$2")" "$(realpath "$3")"); shift 3 ;;
    --out) out=$2; shift 2 ;;
    *) sed -n '2,/^set -e/p' "${BASH_SOURCE[0]}" | sed '$d; s/^# \{0,1\}//' >&2; exit 2 ;;
  esac
done

for tool in cmake python3 wixl zip sha256sum; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: scripts/setup.sh installs it" >&2; exit 1; }
done
version=$(sed -nE 's/^project\([A-Za-z]+ VERSION ([0-9.]+).*/\1/p' "$TESSARY_ROOT/CMakeLists.txt")
[ -n "$version" ] || { echo "no project(... VERSION ...) in CMakeLists.txt" >&2; exit 1; }
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$TESSARY_ROOT" log -1 --format=%ct)}
if [ -n "$(git -C "$TESSARY_ROOT" status --porcelain --untracked-files=no)" ]; then
  log "the working tree has changes that are not committed: this release is not of one commit"
fi

# ------------------------------------------------------------------ the builds

# Release trees of their own, without the test suite: the library, Dovetta,
# the type library and, in the x64 tree, the x86 library its package carries.
build_release_tree() {
  local arch=$1 tree=$TESSARY_BUILD_ROOT/release/$1 targets=(Tessary Dovetta)
  use_arch "$arch"
  [ "$arch" = x64 ] && targets+=(tessary_x86_library)
  log "building the $arch release in $tree"
  cmake -S "$TESSARY_ROOT" -B "$tree" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TESSARY_TOOLCHAIN" \
    -DCMAKE_BUILD_TYPE=Release -DTESSARY_TESTS=OFF -DTESSARY_PACKAGES=ON >/dev/null
  cmake --build "$tree" --target "${targets[@]}"
}

if [ ${#trees[@]} -eq 0 ]; then
  build_release_tree x86
  build_release_tree x64
  trees=("$TESSARY_BUILD_ROOT/release/x86" "$TESSARY_BUILD_ROOT/release/x64")
fi
for tree in "${trees[@]}"; do
  built=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$tree/CMakeCache.txt" 2>/dev/null || true)
  [ "$built" = "$version" ] || { echo "$tree is not a build of version $version" >&2; exit 1; }
  grep -qx 'CMAKE_BUILD_TYPE:STRING=Release' "$tree/CMakeCache.txt" || { echo "$tree is not a Release build" >&2; exit 1; }
done
# The x64 package carries an x86 library built inside the x64 tree: it must be
# the x86 tree's very file, or the two trees are not of one commit.
cmp -s "${trees[0]}/bin/Tessary.dll" "${trees[1]}/x86-library/bin/Tessary.dll" ||
  { echo "${trees[1]}/x86-library/bin/Tessary.dll differs from ${trees[0]}/bin/Tessary.dll: build both trees from one commit" >&2; exit 1; }

# ------------------------------------------------------------------ signing

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

signing=
if [ -n "${TESSARY_SIGN_PFX:-}" ]; then
  command -v osslsigncode >/dev/null || { echo "osslsigncode is missing: scripts/setup.sh installs it" >&2; exit 1; }
  [ -r "$TESSARY_SIGN_PFX" ] || { echo "cannot read the certificate $TESSARY_SIGN_PFX" >&2; exit 1; }
  # The password goes through a file of our own, never the command line.
  (umask 077; printf '%s' "${TESSARY_SIGN_PASSWORD:-}" > "$work/password")
  signing=yes
  log "signing with $TESSARY_SIGN_PFX${TESSARY_SIGN_TIMESTAMP_URL:+, time stamps from $TESSARY_SIGN_TIMESTAMP_URL}"
else
  log "unsigned release: TESSARY_SIGN_PFX names no certificate"
fi

# sign <file>: an Authenticode signature (SHA-256) in place.
sign() {
  [ -n "$signing" ] || return 0
  local stamp=()
  [ -n "${TESSARY_SIGN_TIMESTAMP_URL:-}" ] && stamp=(-ts "$TESSARY_SIGN_TIMESTAMP_URL")
  osslsigncode sign -pkcs12 "$TESSARY_SIGN_PFX" -readpass "$work/password" -h sha256 \
    -n Tessary "${stamp[@]}" -in "$1" -out "$1.signed" >"$work/sign.log" 2>&1 ||
    { echo "signing $1 failed:" >&2; cat "$work/sign.log" >&2; exit 1; }
  mv "$1.signed" "$1"
}

# packed <file>: the copy of a built file that goes into packages and zips,
# its programs and libraries signed. Files of equal content share one copy, so
# the x86 library in the x64 package is the very file of the x86 zip. (Called
# in subshells: the copies themselves are the record of what is done.)
packed() {
  local file=$1 key copy
  key=$(sha256sum "$file" | cut -c1-64)
  copy=$work/files/$key/${file##*/}
  if [ ! -e "$copy" ]; then
    mkdir -p "${copy%/*}"
    cp "$file" "$copy.part"
    case ${file,,} in *.dll|*.exe) sign "$copy.part" ;; esac
    mv "$copy.part" "$copy"
  fi
  echo "$copy"
}

# ------------------------------------------------------------------ the release

release=$out/Tessary-$version
rm -rf "$release"
mkdir -p "$release"

# package <tree> <name>: the package <name>.msi, built as the tree builds it
# (from the options the build wrote into packages/<name>.args) but from the
# packed copies of its programs and libraries, then signed.
package() {
  local tree=$1 name=$2 args_file=$1/packages/$2.args overrides=() option value
  [ -f "$args_file" ] || { echo "$args_file is missing: is $tree configured with packages?" >&2; exit 1; }
  while read -r option && read -r value; do
    case ${value,,} in *.dll|*.exe) overrides+=("$option" "$(packed "$value")") ;; esac
  done < "$args_file"
  python3 "$TESSARY_ROOT/tools/build_msi.py" --msi "$work/packages/$name.msi" --epoch "$SOURCE_DATE_EPOCH" \
    "@$args_file" "${overrides[@]}"
  sign "$work/packages/$name.msi"
  cp "$work/packages/$name.msi" "$release/"
}

# archive <tree> <arch>: the zip for registration by hand. Entries carry
# SOURCE_DATE_EPOCH (in UTC) and no owner or extra fields.
archive() {
  local tree=$1 arch=$2 folder=$work/zip/$2 file
  mkdir -p "$folder"
  for file in "$tree"/bin/Tessary.dll "$tree"/bin/Tessary.tlb "$tree"/bin/Dovetta.exe "$tree"/bin/*.manifest; do
    [ -e "$file" ] || continue
    cp "$(packed "$file")" "$folder/${file##*/}"
  done
  touch -d "@$SOURCE_DATE_EPOCH" "$folder"/*
  (cd "$folder" && LC_ALL=C ls | TZ=UTC zip -X -q -@ "$release/Tessary-$version-$arch.zip")
}

for tree in "${trees[@]}"; do
  arch=$([ "$tree" = "${trees[0]}" ] && echo x86 || echo x64)
  log "packing $arch from $tree"
  package "$tree" "Tessary-$version-$arch"
  package "$tree" "Tessary-$version-$arch-peruser"
  archive "$tree" "$arch"
done

# The documents: the reference, the examples' sources and the change log.
cp "$TESSARY_ROOT/docs/reference.md" "$TESSARY_ROOT/CHANGELOG.md" "$release/"
(cd "$TESSARY_ROOT" && find examples -type f ! -name CMakeLists.txt -print0 |
  xargs -0 cp --parents -t "$release/")

(cd "$release" && find . -type f ! -name SHA256SUMS -printf '%P\n' | LC_ALL=C sort | xargs -d '\n' sha256sum > SHA256SUMS)
log "released $version into $release ($([ -n "$signing" ] && echo signed || echo unsigned))"
