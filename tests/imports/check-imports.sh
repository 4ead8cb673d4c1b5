#!/usr/bin/env bash
# Fails unless the exe imports only from KERNEL32.dll and msvcrt.dll, and
# only functions on the allowed list (all present on Windows 2000): one
# import too new for that system and the program will not even load there.
#
# Usage: check-imports.sh OBJDUMP EXE ALLOWED_LIST
# The list holds one DLL!Function per line; blank lines and lines starting
# with # are ignored. DLL names match regardless of case, function names
# exactly (Windows looks exports up by exact name).
set -u
if [ $# -ne 3 ]; then
  echo "usage: $0 OBJDUMP EXE ALLOWED_LIST" >&2
  exit 2
fi
objdump=$1 exe=$2 list=$3

if ! dump=$("$objdump" -p "$exe"); then
  echo "FAIL: $objdump could not read $exe" >&2
  exit 2
fi
if [ ! -r "$list" ]; then
  echo "FAIL: cannot read the allowed list $list" >&2
  exit 2
fi

# One "DLL!Function" line per import; imports by ordinal only show a number
# in place of the name and are named "DLL!#ordinal" so they cannot match.
imports=$(printf '%s\n' "$dump" | awk '
  /^\tDLL Name: / { dll = $3; in_dll = 1; next }
  in_dll && /^\tvma:/ { next }
  in_dll && /^\t[0-9a-fA-F]+\t/ {
    if (NF >= 3) print dll "!" $3; else print dll "!#" $2
    next
  }
  { in_dll = 0 }')

if [ -z "$imports" ]; then
  # A dump without any import would pass every check below: refuse it.
  echo "FAIL: no imports found in $exe" >&2
  exit 1
fi

# One pass: DLL names compare in lower case, function names as they are.
report=$(printf '%s\n' "$imports" | awk -F'!' -v list="$list" '
  BEGIN {
    while ((getline line < list) > 0) {
      sub(/\r$/, "", line)
      if (line ~ /^[[:space:]]*(#|$)/) continue
      split(line, part, "!")
      allowed[tolower(part[1]) "!" part[2]] = 1
    }
  }
  {
    dll = tolower($1)
    if (dll != "kernel32.dll" && dll != "msvcrt.dll")
      print "FAIL: imports from " $1 ", which is not allowed: " $0
    else if (!((dll "!" $2) in allowed))
      print "FAIL: " $0 " is not on the allowed list"
  }')

if [ -n "$report" ]; then
  printf '%s\n' "$report"
  exit 1
fi
echo "OK: all $(wc -l <<<"$imports") imports of $exe are allowed"
