#!/usr/bin/env bash
# Checks the release of the Windows build:
# - it is reproducible: the sources copied to two folders of different
#   names and depths, one built inside its copy and one outside, at two
#   times, with other file times and another umask, give an exe and a debug
#   file byte for byte the same as each other and as this build tree's, and
#   the same ZIPs. One copy is a git commit and takes the ZIPs' times from
#   it, the other is no commit and is given SOURCE_DATE_EPOCH;
# - the release ZIP (made by the package target) holds the exes
#   (zoderudo.exe, and zrreport.exe and zrcheck.exe from the same folder
#   as EXE), README.txt, the README and docs/ as HTML pages, deploy/ and
#   the example package, in a fixed order with fixed modes and times; its
#   SHA256SUMS verifies, and the debug archive holds the exes' debug files.
# - the ZIP's pages open on Windows 2000 as they should: every relative
#   link leads to a page and anchor in the ZIP, every line ends with CR LF,
#   every byte is ASCII, no page has a script; headless Chromium renders
#   README.html and a page of tables.
#
# Usage: check-release.sh SOURCE_DIR WORK_DIR EXE VERSION BUILD_TYPE
set -u
src=$1 work=$2 exe=$3 version=$4 build_type=$5
rm -rf "$work"
mkdir -p "$work"
here=$(dirname "$0")
. "$here/../support/check-cases.sh"
. "$here/release-lib.sh"
top=zoderudo-$version-win32
report_exe=$(dirname "$exe")/zrreport.exe
check_exe=$(dirname "$exe")/zrcheck.exe
# The commit's time: an even second, which a ZIP entry holds exactly.
epoch=1234567890 when='2009-02-13 23:31:30'

copy_sources() {  # copy_sources FOLDER: all but build trees and git data
  mkdir -p "$1"
  tar -C "$src" --exclude=./build --exclude=./.git -cf - . | tar -C "$1" -xf -
}

same_bytes_from_two_folders() {
  local a=$work/a/zoderudo b=$work/b/elsewhere/deeper/sources
  copy_sources "$a" && copy_sources "$b" || return 1
  (cd "$a" && git init -q && git add -A &&
    GIT_COMMITTER_DATE="@$epoch +0000" git -c user.name=release-test \
      -c user.email=release-test@example.invalid commit -qm release) || return 1
  (unset SOURCE_DATE_EPOCH && build_release "$a" "$a/build/windows") || return 1
  # Later, files of other times, a umask that takes others' rights away.
  find "$b" -exec touch -d '2001-02-03 04:05:06' {} +
  (umask 077 && SOURCE_DATE_EPOCH=$epoch build_release "$b" "$work/b/out") ||
    return 1
  local a_out=$work/a/zoderudo/build/windows b_out=$work/b/out
  same_files "$exe" "$a_out/bin/zoderudo.exe" "$b_out/bin/zoderudo.exe" &&
    same_files "$exe.debug" "$a_out/bin/zoderudo.exe.debug" \
      "$b_out/bin/zoderudo.exe.debug" &&
    same_files "$report_exe" "$a_out/bin/zrreport.exe" "$b_out/bin/zrreport.exe" &&
    same_files "$report_exe.debug" "$a_out/bin/zrreport.exe.debug" \
      "$b_out/bin/zrreport.exe.debug" &&
    same_files "$check_exe" "$a_out/bin/zrcheck.exe" "$b_out/bin/zrcheck.exe" &&
    same_files "$check_exe.debug" "$a_out/bin/zrcheck.exe.debug" \
      "$b_out/bin/zrcheck.exe.debug" &&
    same_files "$a_out/release/$top.zip" "$b_out/release/$top.zip" &&
    same_files "$a_out/release/$top-debug.zip" "$b_out/release/$top-debug.zip"
}

# same_files FILE...: every one there, and all of the same bytes.
same_files() {
  local sums
  sums=$(sha256sum "$@") || { echo "  not every file is there: $*"; return 1; }
  sed "s|$work/||; s/^/  /" <<<"$sums"
  [ "$(awk '{ print $1 }' <<<"$sums" | sort -u | wc -l)" -eq 1 ] ||
    { echo "  the files differ"; return 1; }
}

# The comparison above is what makes the build reproducible; it must not
# pass on a file that one build did not make, nor on two that differ.
same_files_refuses_missing_and_different() {
  local d=$work/guard
  mkdir -p "$d" && printf a >"$d/one" && printf a >"$d/two" &&
    printf b >"$d/other" || return 1
  same_files "$d/one" "$d/two" || { echo "  equal files refused"; return 1; }
  ! same_files "$d/one" "$d/two" "$d/missing" >/dev/null 2>&1 ||
    { echo "  a missing file passed"; return 1; }
  ! same_files "$d/one" "$d/other" >/dev/null ||
    { echo "  different files passed"; return 1; }
}

release_archives() {
  local release=$work/a/zoderudo/build/windows/release out=$work/unzipped
  (cd "$release" && sha256sum -c "$top.zip.sha256" "$top-debug.zip.sha256") ||
    return 1
  zip_entries "$release/$top.zip" >"$work/entries"
  local name
  for name in / README.html README.txt SHA256SUMS deploy/ deploy/pull-logs.bat \
      deploy/remove-staging.bat deploy/startup-script.bat docs/ docs/deploying.html \
      docs/developing.html docs/reference.html docs/releasing.html \
      docs/troubleshooting.html examples/ \
      examples/package/ examples/package/ZELMOR_UPDATE.cmd \
      examples/package/version.id zoderudo.exe zrcheck.exe zrreport.exe; do
    case $name in
      */) echo "$top/${name#/} 40755 $when" ;;
      *.exe) echo "$top/$name 100755 $when" ;;
      *) echo "$top/$name 100644 $when" ;;
    esac
  done | diff - "$work/entries" || { echo "  unexpected entries of $top.zip"; return 1; }
  unpack "$release/$top.zip" "$out" &&
    (cd "$out/$top" && sha256sum -c SHA256SUMS) &&
    cmp "$out/$top/zoderudo.exe" "$exe" &&
    cmp "$out/$top/zrreport.exe" "$report_exe" &&
    cmp "$out/$top/zrcheck.exe" "$check_exe" || return 1
  unpack "$release/$top-debug.zip" "$out" &&
    cmp "$out/$top/zoderudo.exe.debug" "$exe.debug" &&
    cmp "$out/$top/zrreport.exe.debug" "$report_exe.debug" &&
    cmp "$out/$top/zrcheck.exe.debug" "$check_exe.debug"
}

# The pages of the unpacked ZIP: the source tree's other folders are not in
# it, and Notepad and Internet Explorer 5 are what a PC has to read them.
pages_open_on_windows_2000() {
  local faults
  faults=$(page_faults "$work/unzipped/$top") || return 1
  [ -z "$faults" ] && return 0
  echo "  pages that would not open as they should:"
  sed 's/^/    /' <<<"$faults"
  return 1
}

check "the byte comparison fails on a missing or a differing file" \
  same_files_refuses_missing_and_different
check "two builds in two folders at two times give the same exe, debug file and ZIPs" \
  same_bytes_from_two_folders
check "the release archives hold what they should, SHA256SUMS verifies" release_archives

# The pages, from the copied sources: the README at most 5 KB, with the
# three others for administrators and support people at most 40 KB, and
# the developers' page at most 25 KB.
pages_within_size() {
  local s=$work/a/zoderudo readme all developing
  readme=$(wc -c <"$s/README.md") &&
    developing=$(wc -c <"$s/docs/developing.md") &&
    all=$(wc -c "$s/README.md" "$s/docs/"{deploying,troubleshooting,reference}.md) ||
    return 1
  all=$(awk 'END { print $1 }' <<<"$all")
  [ "$readme" -le 5120 ] && [ "$all" -le 40960 ] &&
    [ "$developing" -le 25600 ] && return 0
  echo "  README.md: $readme bytes (at most 5120); with deploying, troubleshooting and reference: $all (at most 40960); developing.md: $developing (at most 25600)"
  return 1
}
check "the README is at most 5 KB, the pages for administrators and support people at most 40 KB, the developers' page at most 25 KB" \
  pages_within_size
check "every page in the release ZIP opens on Windows 2000, every link leading inside it" \
  pages_open_on_windows_2000

pages_render() {
  local pages=$work/unzipped/$top
  renders_in_chromium "$pages/README.html" "$work/README.png" &&
    renders_in_chromium "$pages/docs/deploying.html" "$work/deploying.png"
}
check "headless Chromium renders README.html and a page of tables" pages_render

check_summary
