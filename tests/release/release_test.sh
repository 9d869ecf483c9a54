#!/usr/bin/env bash
# The release, made from the suite's own trees (which setup.sh builds as Release
# builds with packages), and a second build of the x64 tree compared with it.
#
#   release_test.sh <case> <x86 tree> <x64 tree>
#
#   signed        scripts/release.sh with a throw-away certificate: every DLL,
#                 EXE and package signed by it (also the files inside the
#                 packages and zips), a changed byte breaks every signature,
#                 the zips hold what they should (a side-by-side manifest
#                 included), SHA256SUMS covers everything; then unsigned, where
#                 the packages are byte for byte the ones the build made
#   reproducible  the x64 tree built again in a scratch folder with CMake's
#                 default generator (Unix Makefiles) and without the compiler
#                 cache: the DLLs (x64, and the x86 one its package carries),
#                 Dovetta, the type libraries and the packages equal the
#                 suite's, and no folder of either build is named inside them
set -u
case=$1 x86=$2 x64=$3
root=$TESSARY_ROOT

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$root/tests/support/checks.sh"

for tree in "$x86" "$x64"; do
  [ -f "$tree/bin/Tessary.dll" ] && [ -f "$tree/CMakeCache.txt" ] || skip "$tree is not built"
done
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$x64/CMakeCache.txt")
# The date the suite's packages were built with.
epoch=$(sed -n 's/^TESSARY_SOURCE_DATE_EPOCH:INTERNAL=//p' "$x64/CMakeCache.txt")
packages="Tessary-$version-x86.msi Tessary-$version-x86-peruser.msi Tessary-$version-x64.msi Tessary-$version-x64-peruser.msi"

same() { cmp "$1" "$2"; }
differs() { ! cmp -s "$1" "$2"; }
# names <file> <text>: the file holds the text (a folder name, say) somewhere.
names() { grep -qaF "$2" "$1"; }
no_folder_named() {  # no_folder_named <file> <folder...>
  local file=$1 folder; shift
  for folder; do ! names "$file" "$folder" || { echo "$file names $folder"; return 1; }; done
}

# ------------------------------------------------------------------ signed

# A view of a tree with one more side-by-side manifest in bin/: the release
# packs every manifest there, whatever its name.
tree_view() {  # tree_view <tree> <view>
  local entry
  mkdir -p "$2/bin"
  for entry in "$1"/*; do [ "${entry##*/}" = bin ] || ln -s "$entry" "$2/"; done
  for entry in "$1"/bin/*; do ln -s "$entry" "$2/bin/"; done
  printf '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0"/>\n' \
    > "$2/bin/release-test.manifest"
}

verified() { osslsigncode verify -CAfile "$work/ca.pem" -in "$1" >"$work/verify.out" 2>&1 || { cat "$work/verify.out"; return 1; }
             grep -q "Tessary test signer" "$work/verify.out" || { echo "not signed by the test signer:"; cat "$work/verify.out"; return 1; }; }
unverified() { ! osslsigncode verify -CAfile "$work/ca.pem" -in "$1" >/dev/null 2>&1; }
# A copy of the file with one byte changed, half-way in.
tampered() {  # tampered <file> <copy>
  cp "$1" "$2"
  local at=$(( $(stat -c %s "$2") / 2 )) byte
  byte=$(od -An -tu1 -j "$at" -N1 "$2" | tr -d ' ')
  printf "$(printf '\\%03o' $(( (byte + 1) % 256 )))" | dd of="$2" bs=1 seek="$at" conv=notrunc status=none
}

expected_files() {
  local arch
  for package in $packages; do echo "$package"; done
  for arch in x86 x64; do echo "Tessary-$version-$arch.zip"; done
  echo reference.md; echo CHANGELOG.md; echo SHA256SUMS
  (cd "$root" && find examples -type f ! -name CMakeLists.txt)
}

signed_case() {
  for tool in openssl osslsigncode msiextract unzip; do
    command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/setup.sh installs it)"
  done
  # A throw-away root and a code-signing certificate it issued.
  (cd "$work" &&
   openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 -subj "/CN=Tessary test root" &&
   openssl req -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr -subj "/CN=Tessary test signer" &&
   printf 'keyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' > signer.ext &&
   openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 -extfile signer.ext -out signer.pem &&
   openssl pkcs12 -export -inkey signer.key -in signer.pem -certfile ca.pem -passout pass:'test pass' -out signer.pfx
  ) >"$work/openssl.log" 2>&1 || { cat "$work/openssl.log"; echo "could not make the test certificate"; exit 1; }

  tree_view "$x86" "$work/view/x86"
  tree_view "$x64" "$work/view/x64"
  local dist=$work/signed/Tessary-$version
  TESSARY_SIGN_PFX=$work/signer.pfx TESSARY_SIGN_PASSWORD='test pass' \
    "$root/scripts/release.sh" --trees "$work/view/x86" "$work/view/x64" --out "$work/signed" >"$work/release.log" 2>&1 ||
    { cat "$work/release.log"; echo "FAIL: scripts/release.sh"; exit 1; }

  check "the release holds exactly its files" \
    diff <(expected_files | LC_ALL=C sort) <(cd "$dist" && find . -type f -printf '%P\n' | LC_ALL=C sort)
  check "SHA256SUMS lists every other file" \
    diff <(cd "$dist" && find . -type f ! -name SHA256SUMS -printf '%P\n' | LC_ALL=C sort) <(sed 's/^[0-9a-f]\{64\}  //' "$dist/SHA256SUMS")
  check "SHA256SUMS holds" bash -c "cd '$dist' && sha256sum --check --quiet SHA256SUMS"
  check "the change log is the repository's" same "$root/CHANGELOG.md" "$dist/CHANGELOG.md"
  check "the reference is the repository's" same "$root/docs/reference.md" "$dist/reference.md"

  local arch tree file signed=()
  for arch in x86 x64; do
    tree=$work/view/$arch
    mkdir -p "$work/zip/$arch"
    unzip -q "$dist/Tessary-$version-$arch.zip" -d "$work/zip/$arch"
    check "$arch zip: Tessary.dll, Tessary.tlb, Dovetta.exe and every manifest" \
      diff <(printf '%s\n' Dovetta.exe Tessary.dll Tessary.tlb $(cd "$tree/bin" && ls -- *.manifest) | LC_ALL=C sort) \
           <(unzip -Z1 "$dist/Tessary-$version-$arch.zip" | LC_ALL=C sort)
    check "$arch zip: the type library as built" same "$tree/bin/Tessary.tlb" "$work/zip/$arch/Tessary.tlb"
    check "$arch zip: the manifest as built" same "$tree/bin/release-test.manifest" "$work/zip/$arch/release-test.manifest"
    signed+=("$work/zip/$arch/Tessary.dll" "$work/zip/$arch/Dovetta.exe")
  done
  local package
  for package in $packages; do
    signed+=("$dist/$package")
    msiextract -C "$work/msi/$package" "$dist/$package" >/dev/null
    while IFS= read -r -d '' file; do signed+=("$file"); done < <(find "$work/msi/$package" -type f \( -iname '*.dll' -o -iname '*.exe' \) -print0)
  done
  # The files of a package are the zip's signed files.
  check "the x64 package's DLL is the x64 zip's" same "$work/zip/x64/Tessary.dll" "$(find "$work/msi/Tessary-$version-x64.msi" -path '*/Tessary/Tessary.dll')"
  check "the x64 package's x86 DLL is the x86 zip's" same "$work/zip/x86/Tessary.dll" "$(find "$work/msi/Tessary-$version-x64.msi" -path '*/x86/Tessary.dll')"
  check "the x86 package's Dovetta is the x86 zip's" same "$work/zip/x86/Dovetta.exe" "$(find "$work/msi/Tessary-$version-x86.msi" -name Dovetta.exe)"
  check "18 signed files: 4 packages, 4 files in the zips, 10 in the packages" test ${#signed[@]} -eq 18

  for file in "${signed[@]}"; do
    check "signed: ${file#$work/}" verified "$file"
    tampered "$file" "$work/tampered"
    check "a changed byte breaks the signature: ${file#$work/}" unverified "$work/tampered"
  done

  check "without the test root trusted the signature does not hold" \
    bash -c "! osslsigncode verify -in '$dist/Tessary-$version-x64.msi' >/dev/null 2>&1"

  # Unsigned, at the date the suite's packages were built: the release packs
  # exactly what the build packs.
  SOURCE_DATE_EPOCH=$epoch TESSARY_SIGN_PFX= \
    "$root/scripts/release.sh" --trees "$x86" "$x64" --out "$work/unsigned" >"$work/release.log" 2>&1 ||
    { cat "$work/release.log"; echo "FAIL: scripts/release.sh unsigned"; exit 1; }
  check "an unsigned release says so in one line" test "$(grep -c 'unsigned release' "$work/release.log")" -eq 1
  for package in $packages; do
    case $package in *x86*) tree=$x86 ;; *) tree=$x64 ;; esac
    check "unsigned: $package carries no signature" unverified "$work/unsigned/Tessary-$version/$package"
    check "unsigned: $package is the build's" same "$tree/packages/$package" "$work/unsigned/Tessary-$version/$package"
  done
  finish
}

# ------------------------------------------------------------------ reproducible

reproducible_case() {
  # Another folder, another generator, no compiler cache: what is built must
  # not depend on any of them.
  local scratch=$work/x64-makefiles start=$SECONDS
  unset CMAKE_GENERATOR
  export CCACHE_DISABLE=1 SOURCE_DATE_EPOCH=$epoch
  # At the lowest priority: the suite's Wine tests run beside it.
  { nice -n 19 cmake -S "$root" -B "$scratch" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DTESSARY_TESTS=OFF &&
    nice -n 19 cmake --build "$scratch" --target Tessary Dovetta package_machine package_user -- -j2; } >"$work/build.log" 2>&1 ||
    { tail -40 "$work/build.log"; echo "FAIL: the build with the default generator"; exit 1; }
  echo "built $scratch with $(sed -n 's/^CMAKE_GENERATOR:INTERNAL=//p' "$scratch/CMakeCache.txt") in $((SECONDS - start)) s"
  check "the default generator is Unix Makefiles" grep -qx 'CMAKE_GENERATOR:INTERNAL=Unix Makefiles' "$scratch/CMakeCache.txt"

  local file
  for file in bin/Tessary.dll bin/Dovetta.exe bin/Tessary.tlb x86-library/bin/Tessary.dll x86-library/bin/Tessary.tlb \
              packages/Tessary-$version-x64.msi packages/Tessary-$version-x64-peruser.msi; do
    check "$file is the same in both builds" same "$x64/$file" "$scratch/$file"
  done
  check "the x86 DLL of the x64 package is the x86 tree's" same "$x86/bin/Tessary.dll" "$scratch/x86-library/bin/Tessary.dll"
  check "the x86 type library of the x64 package is the x86 tree's" same "$x86/bin/Tessary.tlb" "$scratch/x86-library/bin/Tessary.tlb"
  for file in bin/Tessary.dll bin/Dovetta.exe bin/Tessary.tlb x86-library/bin/Tessary.dll; do
    check "$file names no folder of the build" no_folder_named "$scratch/$file" "$root" "$scratch" "$x64"
  done
  finish
}

case $case in
  signed) signed_case ;;
  reproducible) reproducible_case ;;
  *) echo "unknown case $case"; exit 2 ;;
esac
