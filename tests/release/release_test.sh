#!/usr/bin/env bash
# The release (scripts/release.sh), and a second build of the x64 tree
# compared with the suite's.
#
#   release_test.sh <case> <x86 tree> <x64 tree>
#
#   signed        a signed release of the suite's own trees (which setup.sh
#                 builds as Release builds with packages), its password given
#                 in the environment, which no program the release starts
#                 sees: every DLL, EXE and package signed by the throw-away
#                 certificate (also the files inside the packages and zips), a
#                 changed byte breaks every signature, the release holds
#                 exactly its files
#   safe          releases into a relative folder: unsigned ones under umask
#                 022 and 002 are identical, their packages the build's; one
#                 with a wrong password, one from a tree without its assembly
#                 manifest and one of another date than the trees' fail and
#                 leave the previous release as it was; a signed one with the password typed at the prompt or
#                 read from a file takes its place
#   reproducible  the x64 tree built again in a scratch folder with CMake's
#                 default generator (Unix Makefiles) and without the compiler
#                 cache: the DLLs (x64, and the x86 one its package carries),
#                 Dovetta, the type libraries and the packages equal the
#                 suite's, and no folder of either build is named inside them
#   default       scripts/release.sh as a user runs it, building its own trees,
#                 in a copy of this working tree committed twice: both
#                 releases are complete and dated by their commit; the C++
#                 example, built from the release folder alone with mingw-w64,
#                 runs against the zip's registered DLL under Wine
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
# What the pages promise in each zip.
zip_files="Dovetta.exe Tessary.Automation.manifest Tessary.dll Tessary.tlb"
unset SOURCE_DATE_EPOCH TESSARY_SIGN_PFX TESSARY_SIGN_PASSWORD TESSARY_SIGN_TIMESTAMP_URL

same() { cmp "$1" "$2"; }
differs() { ! cmp -s "$1" "$2"; }
# names <file> <text>: the file holds the text (a folder name, say) somewhere.
names() { grep -qaF "$2" "$1"; }
no_folder_named() {  # no_folder_named <file> <folder...>
  local file=$1 folder; shift
  for folder; do ! names "$file" "$folder" || { echo "$file names $folder"; return 1; }; done
}
need() { local tool; for tool; do command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/setup.sh installs it)"; done; }

# release <log> <release.sh arguments...>: runs the release, its output kept in the log.
release() {
  local log=$1; shift
  "$root/scripts/release.sh" "$@" >"$log" 2>&1 || { cat "$log"; echo "FAIL: scripts/release.sh $*"; exit 1; }
}

# ------------------------------------------------------------------ a release's files

expected_files() {  # expected_files <source tree>
  local package
  for package in $packages; do echo "$package"; done
  printf '%s\n' "Tessary-$version-x86.zip" "Tessary-$version-x64.zip" sdk/Tessary.h sdk/Tessary_i.c \
    reference.md CHANGELOG.md SHA256SUMS
  (cd "$1" && find examples -type f ! -name CMakeLists.txt)
}
listing() { (cd "$1" && find . -type f -printf '%P\n' | LC_ALL=C sort); }
# Every entry of the zip has the bits rw-r--r-- and the date given, as zip
# records it: in UTC, in even seconds (an odd one rounded up).
entries_are() {  # entries_are <zip> <seconds since 1970>
  local want
  want=$(TZ=UTC date -d "@$(( ($2 + 1) / 2 * 2 ))" +%Y%m%d.%H%M%S)
  unzip -Z -T "$1" | awk -v want="$want" '/^[-d]/ { n++; if ($1 != "-rw-r--r--" || $7 != want) { print "entry " $NF ": " $1 " " $7 ", expected -rw-r--r-- " want; bad = 1 } }
                                          END { exit bad || n == 0 }'
}

# check_release <release> <source tree> <x86 tree> <x64 tree> <date>: the
# release holds exactly the files the pages promise, each zip exactly its four
# (the type library and the manifest as the tree built them), SHA256SUMS covers
# everything, the documents and the header are the ones the release was made from.
check_release() {
  local dist=$1 src=$2 at=${1#$work/} arch tree file
  check "$at holds exactly its files" diff <(expected_files "$src" | LC_ALL=C sort) <(listing "$dist")
  check "$at: SHA256SUMS lists every other file" diff <(listing "$dist" | grep -vx SHA256SUMS) <(sed 's/^[0-9a-f]\{64\}  //' "$dist/SHA256SUMS")
  check "$at: SHA256SUMS holds" bash -c "cd '$dist' && sha256sum --check --quiet SHA256SUMS"
  check "$at: the change log is the source's" same "$src/CHANGELOG.md" "$dist/CHANGELOG.md"
  check "$at: the reference is the source's" same "$src/docs/reference.md" "$dist/reference.md"
  check "$at: the examples are the source's" diff -r -x CMakeLists.txt "$src/examples" "$dist/examples"
  for file in Tessary.h Tessary_i.c; do
    check "$at: sdk/$file is the one widl made" same "$4/generated/$file" "$dist/sdk/$file"
  done
  for arch in x86 x64; do
    [ $arch = x86 ] && tree=$3 || tree=$4
    rm -rf "$work/unzipped" && mkdir "$work/unzipped"
    unzip -q "$dist/Tessary-$version-$arch.zip" -d "$work/unzipped"
    check "$at: the $arch zip holds exactly its files" diff <(printf '%s\n' $zip_files) <(unzip -Z1 "$dist/Tessary-$version-$arch.zip")
    check "$at: the $arch zip's entries are rw-r--r--, dated $5" entries_are "$dist/Tessary-$version-$arch.zip" "$5"
    for file in Tessary.tlb Tessary.Automation.manifest; do
      check "$at: the $arch zip's $file as built" same "$tree/bin/$file" "$work/unzipped/$file"
    done
  done
}

# ------------------------------------------------------------------ signing

# A throw-away root and a code-signing certificate it issued, with the password "test pass".
make_certificate() {
  need openssl osslsigncode
  (cd "$work" &&
   openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 -subj "/CN=Tessary test root" &&
   openssl req -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr -subj "/CN=Tessary test signer" &&
   printf 'keyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' > signer.ext &&
   openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 -extfile signer.ext -out signer.pem &&
   openssl pkcs12 -export -inkey signer.key -in signer.pem -certfile ca.pem -passout pass:'test pass' -out signer.pfx
  ) >"$work/openssl.log" 2>&1 || { cat "$work/openssl.log"; echo "could not make the test certificate"; exit 1; }
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

signed_case() {
  need msiextract unzip
  make_certificate
  # Stand-ins for programs the release runs, first and last among them: each
  # notes that it ran, and whether the password was in its environment.
  local spies=$work/spies tool
  mkdir -p "$spies"
  for tool in dirname mktemp git cmake python3 zip osslsigncode; do
    printf '#!/bin/sh\necho %s >> "%s/ran"\n[ -z "${TESSARY_SIGN_PASSWORD+set}" ] || echo %s >> "%s/saw"\nexec %s "$@"\n' \
      "$tool" "$work" "$tool" "$work" "$(command -v "$tool")" > "$spies/$tool"
    chmod +x "$spies/$tool"
  done
  local dist=$work/signed/Tessary-$version
  PATH=$spies:$PATH TESSARY_SIGN_PFX=$work/signer.pfx TESSARY_SIGN_PASSWORD='test pass' \
    release "$work/release.log" --trees "$x86" "$x64" --out "$work/signed"
  check "the stand-ins ran, dirname first and osslsigncode too" \
    bash -c "[ \"\$(head -n1 '$work/ran')\" = dirname ] && grep -qx osslsigncode '$work/ran'"
  check "no program saw the password in its environment" test ! -e "$work/saw"
  check_release "$dist" "$root" "$x86" "$x64" "$epoch"

  local arch file package signed=()
  for arch in x86 x64; do
    mkdir -p "$work/zip/$arch"
    unzip -q "$dist/Tessary-$version-$arch.zip" -d "$work/zip/$arch"
    signed+=("$work/zip/$arch/Tessary.dll" "$work/zip/$arch/Dovetta.exe")
  done
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
  finish
}

# ------------------------------------------------------------------ safe

# A view of a tree without one of its files.
tree_view() {  # tree_view <tree> <view> <file left out of bin/>
  local entry
  mkdir -p "$2/bin"
  for entry in "$1"/*; do [ "${entry##*/}" = bin ] || ln -s "$entry" "$2/"; done
  for entry in "$1"/bin/*; do [ "${entry##*/}" = "$3" ] || ln -s "$entry" "$2/bin/"; done
}
# The names, permission bits and contents of everything in a folder.
fingerprint() { (cd "$1" && find . -printf '%y %m %P\n' | LC_ALL=C sort && find . -type f -print0 | LC_ALL=C sort -z | xargs -0 sha256sum); }

safe_case() {
  need unzip script
  make_certificate
  cd "$work" || exit 1
  # Unsigned, at the date the suite's packages were built, into a relative
  # folder, under two umasks: the same release, its packages the build's.
  (umask 022 && SOURCE_DATE_EPOCH=$epoch release "$work/release.log" --trees "$x86" "$x64" --out rel) || exit 1
  check "an unsigned release says so in one line" test "$(grep -c 'unsigned release' "$work/release.log")" -eq 1
  check_release "$work/rel/Tessary-$version" "$root" "$x86" "$x64" "$epoch"
  local package tree
  for package in $packages; do
    case $package in *x86*) tree=$x86 ;; *) tree=$x64 ;; esac
    check "unsigned: $package carries no signature" unverified "rel/Tessary-$version/$package"
    check "unsigned: $package is the build's" same "$tree/packages/$package" "rel/Tessary-$version/$package"
  done
  (umask 002 && SOURCE_DATE_EPOCH=$epoch release "$work/release.log" --trees "$x86" "$x64" --out umask002) || exit 1
  check "under umask 002 the release is the same" diff -r "rel/Tessary-$version" "umask002/Tessary-$version"
  fingerprint "rel/Tessary-$version" > before

  # Releases that fail, and why: each leaves the previous one as it was, and
  # nothing beside it. A certificate takes its password from standard input.
  tree_view "$x64" no-manifest Tessary.Automation.manifest
  echo 'wrong pass' > wrong-password
  local how pfx tree date why
  while IFS='|' read -r how pfx tree date why; do
    SOURCE_DATE_EPOCH=$date TESSARY_SIGN_PFX=$pfx "$root/scripts/release.sh" --trees "$x86" "$tree" --out rel < wrong-password >"$work/failed.log" 2>&1
    check "a release with $how fails" test $? -ne 0
    check "... saying $why" grep -qF "$why" "$work/failed.log"
    check "... and leaves the previous release as it was" diff before <(fingerprint "rel/Tessary-$version")
    check "... and nothing beside it" test "$(ls -A rel)" = "Tessary-$version"
  done <<EOF
a wrong password|$work/signer.pfx|$x64||signing
a tree without its assembly manifest||$work/no-manifest||bin/Tessary.Automation.manifest is missing
a date other than the trees'||$x64|$((epoch + 2))|was built with the date $epoch, not $((epoch + 2))
EOF

  # Signed, the password typed at the prompt (on a terminal) or read from a
  # file: each takes the place of the previous release.
  echo 'test pass' > password
  while IFS='|' read -r how command; do
    TESSARY_SIGN_PFX=$work/signer.pfx bash -c "$command" >"$work/release.log" 2>&1
    check "a release with the password $how works" test $? -eq 0
    check "... asking for it only on a terminal" test "$(grep -c 'Password of' "$work/release.log")" -eq "$([ "$how" = typed ] && echo 1 || echo 0)"
    check "... signs" verified "rel/Tessary-$version/Tessary-$version-x64.msi"
    check "... and holds exactly its files" diff <(expected_files "$root" | LC_ALL=C sort) <(listing "rel/Tessary-$version")
    check "... and nothing beside it" test "$(ls -A rel)" = "Tessary-$version"
  done <<EOF
typed|script -qec "'$root/scripts/release.sh' --trees '$x86' '$x64' --out rel" /dev/null < password
from a file|'$root/scripts/release.sh' --trees '$x86' '$x64' --out rel < password
EOF
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
  for file in bin/Tessary.dll bin/Dovetta.exe bin/Tessary.tlb x86-library/bin/Tessary.dll generated/Tessary.h generated/Tessary_i.c; do
    check "$file names no folder of the build" no_folder_named "$scratch/$file" "$root" "$scratch" "$x64"
  done
  finish
}

# ------------------------------------------------------------------ default

# The copy of the sources and the release trees stay in the x64 tree from one
# run to the next: a run after the first builds only what its commits change.
state=$x64/release-test
clone=$state/source

# The clone holds this working tree's files as git sees them (tracked, or new
# and not ignored), with their times, so that what did not change is not built again.
copy_sources() {
  [ -d "$clone/.git" ] || { rm -rf "$clone" && git init -q "$clone"; } || return 1
  git -C "$clone" ls-files -z | (cd "$clone" && xargs -0r rm -f --)
  git -C "$root" ls-files -z -co --exclude-standard |
    while IFS= read -r -d '' file; do if [ -e "$root/$file" ]; then printf '%s\0' "$file"; fi; done |
    tar -C "$root" --null -T - -cf - | tar -C "$clone" -xf - && git -C "$clone" add -A
}
commit_at() {  # commit_at <seconds since 1970> <message>
  GIT_AUTHOR_DATE="$1 +0000" GIT_COMMITTER_DATE="$1 +0000" \
    git -C "$clone" -c user.name="Release test" -c user.email=release-test@example.com commit -q --allow-empty -m "$2"
}
# A release of the clone's commit, with the release's own trees, timed.
release_clone() {  # release_clone <nth>
  local start=$SECONDS
  TESSARY_BUILD_ROOT=$state/build nice -n 19 "$clone/scripts/release.sh" --out rel >"$work/release.log" 2>&1 ||
    { tail -40 "$work/release.log"; echo "FAIL: the $1 release"; exit 1; }
  echo "the $1 release took $((SECONDS - start)) s"
}

# The C++ client, run in a Wine prefix of this test's own (made once) with
# the zip's DLL registered.
client_run() { TESSARY_ARCH=x64 TESSARY_BUILD_TREE=$state TESSARY_WINE_MODE=client TESSARY_CAN_RUN=ON "$root/scripts/wine-run" "$@"; }
winpath() { echo "Z:$1" | tr / '\\'; }
client_says() {  # client_says <line> <arguments...>
  local line=$1; shift
  client_run "$(winpath "$work/client/early_bound.exe")" "$@" 2>&1 | tr -d '\r' > "$work/client.out"
  grep -qxF -- "$line" "$work/client.out" || { echo "expected the line: $line"; cat "$work/client.out"; return 1; }
}
client_fails() {  # client_fails <text> <arguments...>: the client ends with an error that says the text
  local text=$1; shift
  ! client_run "$(winpath "$work/client/early_bound.exe")" "$@" > "$work/client.out" 2>&1 &&
    grep -qF -- "$text" "$work/client.out" || { echo "expected a failure saying: $text"; cat "$work/client.out"; return 1; }
}
client_builds() (
  cd "$work/client" &&
  nice -n 19 x86_64-w64-mingw32-g++ -I sdk examples/cpp/early_bound.cpp sdk/Tessary_i.c -lole32 -loleaut32 -static -o early_bound.exe &&
  unzip -q "Tessary-$version-x64.zip"
)
registered_dll() {
  local clsid
  clsid=$(client_run reg query 'HKCR\Tessary.xRegistry\CLSID' /ve | tr -d '\r' | sed -n 's/.*REG_SZ *//p')
  client_run reg query "HKCR\\CLSID\\$clsid\\InprocServer32" /ve | tr -d '\r' | sed -n 's/.*REG_SZ *//p'
}

default_case() {
  git -C "$root" rev-parse --git-dir >/dev/null 2>&1 || skip "$root is not a git checkout: a release is dated by its commit"
  need unzip x86_64-w64-mingw32-g++ /usr/lib/wine/wine64
  mkdir -p "$state"
  copy_sources || { echo "FAIL: could not copy the sources into $clone"; exit 1; }
  # Two commits, two minutes apart.
  local first second dist=$work/rel/Tessary-$version
  first=$(date +%s) second=$(( $(date +%s) + 120 ))
  commit_at "$first" "The sources as the release test found them"
  cd "$work" || exit 1
  release_clone first
  check "the first release is unsigned and says so" grep -q 'unsigned release' "$work/release.log"
  check_release "$dist" "$clone" "$state/build/release/x86" "$state/build/release/x64" "$first"

  printf '\n- A change after the first release.\n' >> "$clone/CHANGELOG.md"
  git -C "$clone" add CHANGELOG.md
  commit_at "$second" "A change after the first release"
  release_clone second
  check_release "$dist" "$clone" "$state/build/release/x86" "$state/build/release/x64" "$second"

  # A C++ client as docs/releasing.md builds it, from the release alone.
  cp -r "$dist" "$work/client"
  check "the C++ example builds from the release alone" client_builds
  (source "$root/scripts/common.sh" && use_arch x64 && make_prefix "$state/wine/client") ||
    { echo "FAIL: could not make the prefix $state/wine/client"; exit 1; }
  local dll
  dll=$(winpath "$work/client/Tessary.dll")
  check "the zip's DLL registers" client_run regsvr32 /s "$dll"
  check "... as the class's server" test "$(registered_dll)" = "$dll"
  check "the example starts from nothing" client_says "The settings of Example Editor are gone." --reset
  check "... counts its first run" client_says "Example Editor, run 1"
  check "... and its second" client_says "Example Editor, run 2"
  check "... and removes its settings" client_says "The settings of Example Editor are gone." --reset
  check "the zip's DLL unregisters" client_run regsvr32 /u /s "$dll"
  check "... and the example finds no class then" client_fails "failed (0x80040154)"
  WINEPREFIX=$state/wine/client wineserver -k 2>/dev/null
  finish
}

case $case in
  signed) signed_case ;;
  safe) safe_case ;;
  reproducible) reproducible_case ;;
  default) default_case ;;
  *) echo "unknown case $case"; exit 2 ;;
esac
