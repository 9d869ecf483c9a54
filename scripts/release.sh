#!/usr/bin/env bash
# Makes the release of the checked-out commit: dist/Tessary-<version>/ with the
# four installer packages, a zip per architecture (Tessary.dll, Tessary.tlb,
# Dovetta.exe and the side-by-side manifest Tessary.Automation.manifest, for
# registration by hand), sdk/ (the C/C++ header and the class and interface
# ids), the reference, the examples, the change log and SHA256SUMS over all of it.
#
#   scripts/release.sh                      builds build/release/x86 and x64, then packs
#   scripts/release.sh --trees X86 X64      packs two trees built already (Release, with packages)
#   scripts/release.sh --out DIR            writes DIR/Tessary-<version>/ instead of dist/
#
# The release is made in a scratch folder beside it and takes the place of the
# previous one only when it is complete: a release that fails leaves the
# previous one as it was.
#
# Signing: with TESSARY_SIGN_PFX (a PKCS#12 file) set, every DLL and EXE is
# signed before it is packed, then every package. The certificate's password
# comes from TESSARY_SIGN_PASSWORD if it is set, else from the terminal (asked
# for) or from standard input (`< password-file`). TESSARY_SIGN_TIMESTAMP_URL
# adds an RFC 3161 time stamp from that server. Without a certificate the
# release is made unsigned and says so.
#
# SOURCE_DATE_EPOCH (default: the time of the last commit, or with --trees the
# date the trees were built with) dates everything that records a date, so a
# release can be made again byte for byte. Trees of another date stop it.
set -euo pipefail

out= trees=()
while [ $# -gt 0 ]; do
  case $1 in
    --trees) [ $# -ge 3 ] || { echo "--trees needs the x86 and the x64 tree" >&2; exit 2; }
             trees=("$2" "$3"); shift 3 ;;
    --out) [ $# -ge 2 ] || { echo "--out needs a folder" >&2; exit 2; }
           out=$2; shift 2 ;;
    *) sed -n '2,/^set -e/p' "${BASH_SOURCE[0]}" | sed '$d; s/^# \{0,1\}//' >&2; exit 2 ;;
  esac
done

# The certificate's password leaves the environment before any program starts
# (cmake, the compilers, wixl and zip would all inherit it): only shell
# built-ins run until it is in a file of its own, below.
sign_password=
if [ -n "${TESSARY_SIGN_PFX:-}" ]; then
  if [ -n "${TESSARY_SIGN_PASSWORD+set}" ]; then
    sign_password=$TESSARY_SIGN_PASSWORD
  elif [ -t 0 ]; then
    IFS= read -rsp "Password of $TESSARY_SIGN_PFX: " sign_password
    echo >&2
  else
    IFS= read -r sign_password || true
  fi
fi
unset TESSARY_SIGN_PASSWORD

source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

work=$(mktemp -d)
staged=
trap 'rm -rf "$work" ${staged:+"$staged"}' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
(umask 077; printf '%s' "$sign_password" > "$work/password")
unset sign_password

# Folders as given on the command line, before anything changes directory.
out=$(realpath -m -- "${out:-$TESSARY_ROOT/dist}")
for i in "${!trees[@]}"; do trees[i]=$(realpath -- "${trees[i]}"); done

for tool in cmake python3 wixl zip sha256sum; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: scripts/setup.sh installs it" >&2; exit 1; }
done
version=$(sed -nE 's/^project\([A-Za-z]+ VERSION ([0-9.]+).*/\1/p' "$TESSARY_ROOT/CMakeLists.txt")
[ -n "$version" ] || { echo "no project(... VERSION ...) in CMakeLists.txt" >&2; exit 1; }
# Trees built already carry their own date (in each type library and DLL):
# the release of them takes it, unless one is given.
if [ -z "${SOURCE_DATE_EPOCH:-}" ] && [ ${#trees[@]} -gt 0 ]; then
  SOURCE_DATE_EPOCH=$(sed -n 's/^TESSARY_SOURCE_DATE_EPOCH:INTERNAL=//p' "${trees[1]}/CMakeCache.txt" 2>/dev/null || true)
fi
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$TESSARY_ROOT" log -1 --format=%ct) ||
    { echo "$TESSARY_ROOT is not a git checkout: set SOURCE_DATE_EPOCH to the date of its sources" >&2; exit 1; }
fi
[[ $SOURCE_DATE_EPOCH =~ ^[0-9]+$ ]] || { echo "SOURCE_DATE_EPOCH '$SOURCE_DATE_EPOCH' is not a number of seconds" >&2; exit 1; }
export SOURCE_DATE_EPOCH
if [ -n "$(git -C "$TESSARY_ROOT" status --porcelain --untracked-files=no)" ]; then
  log "the working tree has changes that are not committed: this release is not of one commit"
fi

# What each zip carries, from its tree's bin/ folder, and sdk/ from the x64
# tree's generated/ folder (the same in both trees). Each must be there.
zip_files=(Dovetta.exe Tessary.Automation.manifest Tessary.dll Tessary.tlb)
sdk_files=(Tessary.h Tessary_i.c)

# ------------------------------------------------------------------ the builds

# Release trees of their own, without the test suite: the library, its type
# library, header and assembly manifest, Dovetta and, in the x64 tree, the x86
# library its package carries.
build_release_tree() {
  local arch=$1 tree=$TESSARY_BUILD_ROOT/release/$1 targets=(Tessary tessary_idl tessary_assembly_manifest Dovetta)
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
  dated=$(sed -n 's/^TESSARY_SOURCE_DATE_EPOCH:INTERNAL=//p' "$tree/CMakeCache.txt")
  [ "$dated" = "$SOURCE_DATE_EPOCH" ] ||
    { echo "$tree was built with the date ${dated:-(none)}, not $SOURCE_DATE_EPOCH: build it again (a commit since?)" >&2; exit 1; }
  for file in "${zip_files[@]/#/bin/}" "${sdk_files[@]/#/generated/}"; do
    [ -f "$tree/$file" ] || { echo "$tree/$file is missing: the release would lack it" >&2; exit 1; }
  done
done
# The x64 package carries an x86 library built inside the x64 tree: it must be
# the x86 tree's very file, or the two trees are not of one commit.
cmp -s "${trees[0]}/bin/Tessary.dll" "${trees[1]}/x86-library/bin/Tessary.dll" ||
  { echo "${trees[1]}/x86-library/bin/Tessary.dll differs from ${trees[0]}/bin/Tessary.dll: build both trees from one commit" >&2; exit 1; }
for file in "${sdk_files[@]}"; do
  cmp -s "${trees[0]}/generated/$file" "${trees[1]}/generated/$file" ||
    { echo "the two trees' generated/$file differ: build both trees from one commit" >&2; exit 1; }
done

# ------------------------------------------------------------------ signing

signing=
if [ -n "${TESSARY_SIGN_PFX:-}" ]; then
  command -v osslsigncode >/dev/null || { echo "osslsigncode is missing: scripts/setup.sh installs it" >&2; exit 1; }
  [ -r "$TESSARY_SIGN_PFX" ] || { echo "cannot read the certificate $TESSARY_SIGN_PFX" >&2; exit 1; }
  signing=yes
  log "signing with $TESSARY_SIGN_PFX${TESSARY_SIGN_TIMESTAMP_URL:+, time stamps from $TESSARY_SIGN_TIMESTAMP_URL}"
else
  log "unsigned release: TESSARY_SIGN_PFX names no certificate"
fi

# sign <file>: an Authenticode signature (SHA-256) in place. The password goes
# through the file of our own, never the command line.
sign() {
  [ -n "$signing" ] || return 0
  local stamp=()
  [ -n "${TESSARY_SIGN_TIMESTAMP_URL:-}" ] && stamp=(-ts "$TESSARY_SIGN_TIMESTAMP_URL")
  osslsigncode sign -pkcs12 "$TESSARY_SIGN_PFX" -readpass "$work/password" -h sha256 \
    -n Tessary "${stamp[@]}" -in "$1" -out "$1.signed" >"$work/sign.log" 2>&1 ||
    { echo "signing $1 failed:" >&2; cat "$work/sign.log" >&2; exit 1; }
  mv "$1.signed" "$1"
}

# pack <file>: sets $packed to the copy of a built file that goes into packages
# and zips, its programs and libraries signed, read-only for all but its owner
# whatever the umask. Files of equal content share one copy, so the x86
# library in the x64 package is the very file of the x86 zip.
pack() {
  local file=$1 key
  key=$(sha256sum "$file")
  packed=$work/files/${key:0:64}/${file##*/}
  [ -e "$packed" ] && return
  mkdir -p "${packed%/*}"
  cp "$file" "$packed.part"
  case ${file,,} in *.dll|*.exe) sign "$packed.part" ;; esac
  chmod 0644 "$packed.part"
  mv "$packed.part" "$packed"
}

# ------------------------------------------------------------------ the release

# Made in a scratch folder beside its place, so that it can be moved there in one step.
mkdir -p "$out"
release=$out/Tessary-$version
staged=$out/.Tessary-$version.partial.$$
rm -rf "$staged"
mkdir "$staged"

# package <tree> <name>: the package <name>.msi, built as the tree builds it
# (from the options the build wrote into packages/<name>.args) but from the
# packed copies of its programs and libraries, then signed.
package() {
  local tree=$1 name=$2 args_file=$1/packages/$2.args overrides=() option value
  [ -f "$args_file" ] || { echo "$args_file is missing: is $tree configured with packages?" >&2; exit 1; }
  while read -r option && read -r value; do
    case ${value,,} in *.dll|*.exe) pack "$value"; overrides+=("$option" "$packed") ;; esac
  done < "$args_file"
  python3 "$TESSARY_ROOT/tools/build_msi.py" --msi "$work/packages/$name.msi" --epoch "$SOURCE_DATE_EPOCH" \
    "@$args_file" "${overrides[@]}"
  sign "$work/packages/$name.msi"
  cp "$work/packages/$name.msi" "$staged/"
}

# archive <tree> <arch>: the zip for registration by hand. Entries carry
# SOURCE_DATE_EPOCH (in UTC), the permission bits rw-r--r-- and no owner or
# extra fields.
archive() {
  local tree=$1 arch=$2 folder=$work/zip/$2 name
  mkdir -p "$folder"
  for name in "${zip_files[@]}"; do
    pack "$tree/bin/$name"
    cp "$packed" "$folder/$name"
  done
  chmod 0644 "$folder"/*
  touch -d "@$SOURCE_DATE_EPOCH" "$folder"/*
  (cd "$folder" && printf '%s\n' "${zip_files[@]}" | TZ=UTC zip -X -q -@ "$staged/Tessary-$version-$arch.zip")
}

for tree in "${trees[@]}"; do
  arch=$([ "$tree" = "${trees[0]}" ] && echo x86 || echo x64)
  log "packing $arch from $tree"
  package "$tree" "Tessary-$version-$arch"
  package "$tree" "Tessary-$version-$arch-peruser"
  archive "$tree" "$arch"
done

# For C and C++ clients: the interfaces' declarations and their ids, as widl made them from the IDL.
mkdir "$staged/sdk"
cp "${sdk_files[@]/#/${trees[1]}/generated/}" "$staged/sdk/"
# The documents: the reference, the examples' sources and the change log.
cp "$TESSARY_ROOT/docs/reference.md" "$TESSARY_ROOT/CHANGELOG.md" "$staged/"
(cd "$TESSARY_ROOT" && find examples -type f ! -name CMakeLists.txt -print0 | xargs -0 cp --parents -t "$staged/")

(cd "$staged" && find . -type f ! -name SHA256SUMS -printf '%P\n' | LC_ALL=C sort | xargs -d '\n' sha256sum > SHA256SUMS)

# Into place: the previous release leaves only now, and comes back if the move fails.
previous=
if [ -e "$release" ]; then
  previous=$out/.Tessary-$version.previous.$$
  mv -T "$release" "$previous"
fi
mv -T "$staged" "$release" || { [ -z "$previous" ] || mv -T "$previous" "$release"; exit 1; }
staged=
[ -z "$previous" ] || rm -rf "$previous"
log "released $version into $release ($([ -n "$signing" ] && echo signed || echo unsigned))"
