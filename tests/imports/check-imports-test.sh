#!/usr/bin/env bash
# Proves that the import checker rejects what it must: a function missing
# from the list, and a DLL other than the two allowed ones. It also keeps
# accepting the real list when DLL names differ in letter case.
#
# Usage: check-imports-test.sh OBJDUMP EXE ALLOWED_LIST FOREIGN_EXE
# FOREIGN_EXE imports from USER32.dll.
set -u
objdump=$1 exe=$2 list=$3 foreign_exe=$4
checker=$(dirname "$0")/check-imports.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0

check() {  # check NAME COMMAND...: counts and reports one case
  local name=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
    echo "ok: $name"
  else
    failed=$((failed + 1))
    echo "FAILED: $name"
  fi
}

# A function the program calls itself, so the exe imports it for sure.
dropped='KERNEL32.dll!GetVersionExA'

list_lacks_an_import() {
  grep -vxF "$dropped" "$list" >"$work/short.txt"
  if cmp -s "$list" "$work/short.txt"; then
    echo "  $dropped is not on $list: nothing to drop"
    return 1
  fi
  local out rc
  out=$("$checker" "$objdump" "$exe" "$work/short.txt")
  rc=$?
  printf '%s\n' "$out" | sed 's/^/  | /'
  [ $rc -eq 1 ] || { echo "  expected exit 1, got $rc"; return 1; }
  # The complaints are those about the full list plus one about the dropped
  # function (so this case holds even while the full list is out of date).
  local expected
  expected=$({ "$checker" "$objdump" "$exe" "$list" | grep '^FAIL:'
               echo "FAIL: $dropped is not on the allowed list"; } | sort)
  [ "$(grep '^FAIL:' <<<"$out" | sort)" = "$expected" ] ||
    { echo "  expected complaints:"; sed 's/^/  > /' <<<"$expected"; return 1; }
}

foreign_dll_rejected() {
  local out rc
  out=$("$checker" "$objdump" "$foreign_exe" "$list")
  rc=$?
  printf '%s\n' "$out" | sed 's/^/  | /'
  [ $rc -eq 1 ] || { echo "  expected exit 1, got $rc"; return 1; }
  grep -qiE '^FAIL: imports from USER32\.dll, which is not allowed: USER32\.dll!MessageBeep$' <<<"$out" ||
    { echo "  USER32.dll!MessageBeep not named"; return 1; }
}

dll_names_match_regardless_of_case() {
  # Same list with every DLL name lower case: same verdict as the original.
  awk -F'!' '/^#/ || NF != 2 { print; next } { print tolower($1) "!" $2 }' \
    "$list" >"$work/lower.txt"
  local a b
  a=$("$checker" "$objdump" "$exe" "$list"; echo "rc=$?")
  b=$("$checker" "$objdump" "$exe" "$work/lower.txt"; echo "rc=$?")
  [ "$a" = "$b" ] || { diff <(echo "$a") <(echo "$b") | sed 's/^/  /'; return 1; }
}

no_import_table_is_an_error() {
  # A file objdump cannot read must not pass as "no bad imports".
  printf 'not an exe\n' >"$work/bogus.exe"
  ! "$checker" "$objdump" "$work/bogus.exe" "$list" >/dev/null 2>&1
}

check "a list lacking an imported function fails, naming it" list_lacks_an_import
check "an import from another DLL fails, naming it" foreign_dll_rejected
check "DLL names match regardless of case" dll_names_match_regardless_of_case
check "an unreadable exe fails" no_import_table_is_an_error

echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
