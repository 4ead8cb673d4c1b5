#!/usr/bin/env bash
# Fails unless the exe is fit to ship: it must load on Windows 2000 and
# say what it is.
#
# - Header: 32-bit x86, console program, asking for OS and subsystem
#   version 5.0 at most, no delay-load or bound imports, no link time stamp.
# - Imports: only from KERNEL32.dll and msvcrt.dll, only functions on the
#   allowed list, none on the deny list (denied-imports.txt), whatever the
#   allowed list says. One import too new for Windows 2000 and the program
#   does not even start there.
# - The allowed list itself: every msvcrt.dll line names an export of the
#   msvcrt.dll of Windows 2000 (msvcrt-windows2000.txt), and no line names
#   a denied function.
# - Resources: a version resource carrying VERSION, with no word that makes
#   Vista guess an installer; a manifest (RT_MANIFEST 1) asking for
#   asInvoker, with trustInfo in the namespace Windows XP before SP3 takes.
#
# Usage: check-exe.sh OBJDUMP WINDRES EXE VERSION ALLOWED_LIST
# Each fault is one "FAIL: ..." line on standard output; exit 1 when there
# is any, 2 when the exe or a list cannot be read.
set -u
if [ $# -ne 5 ]; then
  echo "usage: $0 OBJDUMP WINDRES EXE VERSION ALLOWED_LIST" >&2
  exit 2
fi
objdump=$1 windres=$2 exe=$3 version=$4 list=$5
here=$(dirname "$0")
msvcrt_exports=$here/msvcrt-windows2000.txt
denied=$here/denied-imports.txt

if ! dump=$("$objdump" -p "$exe"); then
  echo "FAIL: $objdump could not read $exe" >&2
  exit 2
fi
for f in "$list" "$msvcrt_exports" "$denied"; do
  [ -r "$f" ] || { echo "FAIL: cannot read $f" >&2; exit 2; }
done
faults=()
fail() { faults+=("FAIL: $*"); }

# --- Header -----------------------------------------------------------
grep -q 'file format pei-i386$' <<<"$dump" ||
  fail "not a 32-bit x86 PE image (pei-i386)"
field() { awk -v k="$1" '$1 == k { print $2; exit }' <<<"$dump"; }
subsystem=$(field Subsystem)
[ "$subsystem" = 00000003 ] ||
  fail "subsystem ${subsystem:-?} is not the console (00000003)"
# at_most_5_0 WHAT MAJOR_FIELD MINOR_FIELD (objdump shows them in decimal)
at_most_5_0() {
  local major minor
  major=$(field "$2") minor=$(field "$3")
  if [ -z "$major" ] || [ -z "$minor" ] ||
     [ "$major" -gt 5 ] || { [ "$major" -eq 5 ] && [ "$minor" -gt 0 ]; }; then
    fail "$1 version ${major:-?}.${minor:-?} is above 5.0 (Windows 2000)"
  fi
}
at_most_5_0 OS MajorOSystemVersion MinorOSystemVersion
at_most_5_0 subsystem MajorSubsystemVersion MinorSubsystemVersion
# Data directory entries b and d: bound and delay-load imports.
for entry in "b bound import" "d delay-load import"; do
  set -- $entry
  # The fields are hexadecimal: only all zeros is none.
  awk -v e="$1" '$1 == "Entry" && $2 == e { exit !($3 ~ /^0+$/ && $4 ~ /^0+$/) }' \
      <<<"$dump" || fail "has a ${*:2} directory"
done
# The COFF header's TimeDateStamp, 8 bytes into the PE header.
pe=$(od -An -tu4 -j 60 -N 4 "$exe" | tr -d ' ')
stamp=$(od -An -tu4 -j $((pe + 8)) -N 4 "$exe" | tr -d ' ')
[ "$stamp" = 0 ] || fail "link time stamp $stamp is set (builds would differ)"

# --- Imports and the lists ---------------------------------------------
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
[ -n "$imports" ] || fail "no imports found in $exe"

# DLL names compare in lower case, function names as they are (Windows
# looks exports up by exact name).
mapfile -t -O ${#faults[@]} faults < <(printf '%s\n' "$imports" | awk -F'!' -v list="$list" \
    -v msvcrt="$msvcrt_exports" -v denied="$denied" '
  function entries(file, to,   line) {
    while ((getline line < file) > 0) {
      sub(/\r$/, "", line)
      if (line !~ /^[[:space:]]*(#|$)/) to[line] = 1
    }
  }
  function is_denied(name,   p) {
    for (p in deny) if (name ~ deny[p]) return 1
    return 0
  }
  BEGIN {
    entries(msvcrt, win2000)
    entries(denied, patterns)
    for (p in patterns) { re = p; gsub(/\*/, ".*", re); deny[p] = "^" re "$" }
    entries(list, lines)
    for (line in lines) {
      split(line, part, "!")
      allowed[tolower(part[1]) "!" part[2]] = 1
      if (is_denied(part[2]))
        print "FAIL: allowed list: " line " is newer than Windows 2000"
      else if (tolower(part[1]) == "msvcrt.dll" && !(part[2] in win2000))
        print "FAIL: allowed list: " line " is not exported by the msvcrt.dll of Windows 2000"
    }
  }
  {
    dll = tolower($1)
    if (dll != "kernel32.dll" && dll != "msvcrt.dll")
      print "FAIL: imports from " $1 ", which is not allowed: " $0
    else if (!((dll "!" $2) in allowed))
      print "FAIL: " $0 " is not on the allowed list"
    if (is_denied($2))
      print "FAIL: " $0 " is newer than Windows 2000"
  }' | sort)

# --- Resources ----------------------------------------------------------
# windres writes the exe's resources back as resource script text.
rc=$("$windres" -i "$exe" -O rc 2>/dev/null)
IFS=. read -r major minor patch <<<"$version"
numbers="$major, $minor, ${patch:-0}, 0"
for key in FILEVERSION PRODUCTVERSION; do
  grep -qx " $key $numbers" <<<"$rc" ||
    fail "version resource: $key is not $numbers"
done
for key in FileVersion ProductVersion; do
  grep -qxF "      VALUE \"$key\", \"$version\"" <<<"$rc" ||
    fail "version resource: $key is not \"$version\""
done
while read -r line; do
  fail "version resource: a word that makes Vista guess an installer: $line"
done < <(grep -iE '^ *VALUE ".*(install|setup|update|patch)' <<<"$rc")
# The manifest's text: its block's strings joined, rc quoting undone.
manifest=$(awk '/^1 24 / { on = 1; next } on && /^END/ { exit }
  on && /"/ { s = $0; sub(/^[^"]*"/, "", s); sub(/"[^"]*$/, "", s); printf "%s", s }' \
  <<<"$rc" | sed -e 's/""/"/g' -e 's/\\n/\n/g')
if [ -z "$manifest" ]; then
  fail "no manifest (RT_MANIFEST 1)"
else
  grep -q '<requestedExecutionLevel level="asInvoker"' <<<"$manifest" ||
    fail "manifest: no requestedExecutionLevel asInvoker"
  grep -q '<trustInfo xmlns="urn:schemas-microsoft-com:asm.v2">' <<<"$manifest" ||
    fail "manifest: trustInfo is not in the asm.v2 namespace"
fi

if [ ${#faults[@]} -ne 0 ]; then
  printf '%s\n' "${faults[@]}"
  exit 1
fi
echo "OK: $exe: header, resources and all $(wc -l <<<"$imports") imports are fit for Windows 2000"
