#!/usr/bin/env bash
# Proves that the exe checker rejects what it must: a function missing from
# the allowed list, a DLL other than the two allowed ones, a denied function
# even when the allowed list names it, an allowed msvcrt function that
# Windows 2000 lacks, and a header or resources unfit for Windows 2000. It
# also keeps accepting the real list when DLL names differ in letter case.
#
# Usage: check-exe-test.sh OBJDUMP WINDRES EXE VERSION ALLOWED_LIST PROBE_EXE
# PROBE_EXE imports USER32.dll!MessageBeep and KERNEL32.dll!GetTickCount64
# and is a GUI program for Windows 6.0 without resources.
set -u
objdump=$1 windres=$2 exe=$3 version=$4 list=$5 probe=$6
checker=$(dirname "$0")/check-exe.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/../support/check-cases.sh"

run_checker() {  # run_checker EXE LIST: the checker's output, then rc=N
  "$checker" "$objdump" "$windres" "$1" "$version" "$2"
  echo "rc=$?"
}

# expect_faults EXE LIST LINE...: the checker exits 1 and says every LINE.
expect_faults() {
  local out line ok=0
  out=$(run_checker "$1" "$2")
  shift 2
  printf '%s\n' "$out" | sed 's/^/  | /'
  grep -qx 'rc=1' <<<"$out" || { echo "  expected exit 1"; ok=1; }
  for line; do
    grep -qxF "$line" <<<"$out" || { echo "  missing: $line"; ok=1; }
  done
  return $ok
}

# A function the program calls itself, so the exe imports it for sure.
dropped='KERNEL32.dll!GetVersionExA'

list_lacks_an_import() {
  grep -vxF "$dropped" "$list" >"$work/short.txt"
  if cmp -s "$list" "$work/short.txt"; then
    echo "  $dropped is not on $list: nothing to drop"
    return 1
  fi
  local out
  out=$(run_checker "$exe" "$work/short.txt")
  printf '%s\n' "$out" | sed 's/^/  | /'
  grep -qx 'rc=1' <<<"$out" || { echo "  expected exit 1"; return 1; }
  # The complaints are those about the full list plus one about the dropped
  # function (so this case holds even while the full list is out of date).
  local expected
  expected=$({ run_checker "$exe" "$list" | grep '^FAIL:'
               echo "FAIL: $dropped is not on the allowed list"; } | sort)
  [ "$(grep '^FAIL:' <<<"$out" | sort)" = "$expected" ] ||
    { echo "  expected complaints:"; sed 's/^/  > /' <<<"$expected"; return 1; }
}

foreign_dll_rejected() {
  expect_faults "$probe" "$list" \
    'FAIL: imports from USER32.dll, which is not allowed: USER32.dll!MessageBeep'
}

denied_import_rejected_even_when_allowed() {
  { cat "$list"; echo 'KERNEL32.dll!GetTickCount64'; } >"$work/denied.txt"
  expect_faults "$probe" "$work/denied.txt" \
    'FAIL: KERNEL32.dll!GetTickCount64 is newer than Windows 2000' \
    'FAIL: allowed list: KERNEL32.dll!GetTickCount64 is newer than Windows 2000'
}

msvcrt_of_xp_rejected() {
  # __uncaught_exception came with the msvcrt.dll of Windows XP.
  { cat "$list"; echo 'msvcrt.dll!__uncaught_exception'; } >"$work/xp.txt"
  expect_faults "$exe" "$work/xp.txt" \
    'FAIL: allowed list: msvcrt.dll!__uncaught_exception is not exported by the msvcrt.dll of Windows 2000'
}

unfit_header_and_resources_rejected() {
  local numbers="${version//./, }, 0"
  expect_faults "$probe" "$list" \
    'FAIL: subsystem 00000002 is not the console (00000003)' \
    'FAIL: OS version 6.0 is above 5.0 (Windows 2000)' \
    'FAIL: subsystem version 6.0 is above 5.0 (Windows 2000)' \
    "FAIL: version resource: FILEVERSION is not $numbers" \
    "FAIL: version resource: ProductVersion is not \"$version\"" \
    'FAIL: no manifest (RT_MANIFEST 1)' || return 1
  # The probe is linked as usual, with the time of its link in the header.
  run_checker "$probe" "$list" |
    grep -qE '^FAIL: link time stamp [1-9][0-9]* is set' ||
    { echo "  missing: FAIL: link time stamp ... is set"; return 1; }
}

# patched EXE NAME PERL: a copy of EXE, as PERL's substitution changes it.
patched() {
  perl -0777 -pe "$3" "$1" >"$work/$2" || return 1
  ! cmp -s "$1" "$work/$2" || { echo "  $3 changed nothing in $1"; return 1; }
}

# Letters in the hexadecimal fields count: 0xC000 bytes in, 0xA0 long.
delay_import_directory_rejected() {
  # Data directory entry 13 (delay-load imports) of the PE32 header.
  local pe entry
  pe=$(od -An -tu4 -j 60 -N 4 "$exe" | tr -d ' ')
  entry=$((pe + 24 + 96 + 13 * 8))
  patched "$exe" delay.exe \
    "substr(\$_, $entry, 8) = pack('VV', 0xC000, 0xA0)" || return 1
  expect_faults "$work/delay.exe" "$list" \
    'FAIL: has a delay-load import directory'
}

manifest_without_as_invoker_or_asm_v2_rejected() {
  patched "$exe" invoker.exe 's/"asInvoker"/"highestAv"/' &&
    expect_faults "$work/invoker.exe" "$list" \
      'FAIL: manifest: no requestedExecutionLevel asInvoker' || return 1
  patched "$exe" trust.exe 's/asm\.v2"/asm.v3"/' &&
    expect_faults "$work/trust.exe" "$list" \
      'FAIL: manifest: trustInfo is not in the asm.v2 namespace'
}

dll_names_match_regardless_of_case() {
  # Same list with every DLL name lower case: same verdict as the original.
  awk -F'!' '/^#/ || NF != 2 { print; next } { print tolower($1) "!" $2 }' \
    "$list" >"$work/lower.txt"
  local a b
  a=$(run_checker "$exe" "$list")
  b=$(run_checker "$exe" "$work/lower.txt")
  [ "$a" = "$b" ] || { diff <(echo "$a") <(echo "$b") | sed 's/^/  /'; return 1; }
}

no_import_table_is_an_error() {
  # A file objdump cannot read must not pass as "no bad imports".
  printf 'not an exe\n' >"$work/bogus.exe"
  ! "$checker" "$objdump" "$windres" "$work/bogus.exe" "$version" "$list" \
      >/dev/null 2>&1
}

check "a list lacking an imported function fails, naming it" list_lacks_an_import
check "an import from another DLL fails, naming it" foreign_dll_rejected
check "a denied import fails even on the allowed list" denied_import_rejected_even_when_allowed
check "an allowed msvcrt function Windows 2000 lacks fails" msvcrt_of_xp_rejected
check "a GUI exe for Vista without resources fails" unfit_header_and_resources_rejected
check "a delay-load import directory fails, whatever its hex digits" \
  delay_import_directory_rejected
check "a manifest without asInvoker, or with trustInfo elsewhere, fails" \
  manifest_without_as_invoker_or_asm_v2_rejected
check "DLL names match regardless of case" dll_names_match_regardless_of_case
check "an unreadable exe fails" no_import_table_is_an_error

check_summary
