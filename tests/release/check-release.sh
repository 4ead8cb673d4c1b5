#!/usr/bin/env bash
# Checks the release of the Windows build:
# - the shipped exe is reproducible: the sources copied to two folders of
#   different names and depths, one built inside its copy and one outside,
#   give an exe and a debug file byte for byte the same as each other and
#   as this build tree's;
# - the release ZIP (made here with cpack, as the package target does)
#   holds the exe, the README, docs/ and the example package, its SHA256SUMS
#   verifies, and the debug archive holds the exe's debug file.
#
# Usage: check-release.sh SOURCE_DIR WORK_DIR EXE CPACK_CONFIG VERSION BUILD_TYPE
set -u
src=$1 work=$2 exe=$3 cpack_config=$4 version=$5 build_type=$6
rm -rf "$work"
mkdir -p "$work"
. "$(dirname "$0")/../support/check-cases.sh"

# build_copy SOURCE_COPY BUILD_DIR: the shipped exe's build, from a copy of
# the sources (all but build trees and git data), as the windows preset
# starts it. Leaves BUILD_DIR/bin/zoderudo.exe and its .debug.
build_copy() {
  local copy=$1 out=$2
  mkdir -p "$copy" "$out"
  tar -C "$src" --exclude=./build --exclude=./.git -cf - . | tar -C "$copy" -xf -
  { cmake -S "$copy" -B "$out" \
      -DCMAKE_TOOLCHAIN_FILE="$copy/cmake/mingw-i686-win32-threads.cmake" \
      -DCMAKE_BUILD_TYPE="$build_type" -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
      -DZODERUDO_SHIP=ON &&
    cmake --build "$out" -j2; } >"$out/build.log" 2>&1 ||
    { sed 's/^/  | /' "$out/build.log"; return 1; }
}

same_bytes_from_two_folders() {
  build_copy "$work/a/zoderudo" "$work/a/zoderudo/build/ship" &&
    build_copy "$work/b/elsewhere/deeper/sources" "$work/b/out" || return 1
  local sums
  sums=$(cd "$work" && sha256sum a/zoderudo/build/ship/bin/zoderudo.exe* \
           b/out/bin/zoderudo.exe* "$exe" "$exe.debug")
  sed 's/^/  /' <<<"$sums"
  # Two distinct hashes: one for the exes, one for the debug files.
  [ "$(awk '{ print $1 }' <<<"$sums" | sort -u | wc -l)" -eq 2 ] &&
    [ "$(awk '/\.exe$/ { print $1 }' <<<"$sums" | sort -u | wc -l)" -eq 1 ]
}

unzip() {  # unzip NAME: extracts a release archive into $work/unzipped
  mkdir -p "$work/unzipped" &&
    (cd "$work/unzipped" && cmake -E tar xf "$work/release/$1")
}

release_archives() {
  cpack --config "$cpack_config" -B "$work/release" >"$work/cpack.log" 2>&1 ||
    { sed 's/^/  | /' "$work/cpack.log"; return 1; }
  local top=zoderudo-$version-win32
  (cd "$work/release" && sha256sum -c "$top.zip.sha256" "$top-debug.zip.sha256") &&
    unzip "$top.zip" || return 1
  (cd "$work/unzipped/$top" && find . -type f | sort) >"$work/listing"
  printf '%s\n' ./README.md ./SHA256SUMS ./docs/developing.md ./docs/releasing.md \
    ./docs/support.md ./examples/package/ZELMOR_UPDATE.cmd \
    ./examples/package/version.id ./zoderudo.exe | diff - "$work/listing" ||
    { echo "  unexpected contents of $top.zip"; return 1; }
  (cd "$work/unzipped/$top" && sha256sum -c SHA256SUMS) || return 1
  cmp "$work/unzipped/$top/zoderudo.exe" "$exe" || return 1
  unzip "$top-debug.zip" &&
    cmp "$work/unzipped/$top/zoderudo.exe.debug" "$exe.debug"
}

check "two builds in two folders give the same exe and debug file" same_bytes_from_two_folders
check "the release archives hold what they should, SHA256SUMS verifies" release_archives

check_summary
