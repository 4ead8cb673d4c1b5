#!/usr/bin/env bash
# zrcheck's host build, one grouped case: a package with one of each
# finding that fits one package, two with the others, and the example
# package with the program beside it and nothing to find; the whole
# output and the exit codes against expected-host.txt.
# Usage: host-check.sh ZRCHECK
. "$(dirname "$0")/../e2e/host-lib.sh"
. "$(dirname "$0")/make-packages.sh"
host_init "$1"
here=$(cd "$(dirname "$0")" && pwd)

cd "$tmp" || exit 1
mkdir every other
make_every_fault every
make_other_faults other
cp -r "$here/../../examples/package" example
make_exe example/zoderudo.exe 1.0.0.0
{
  "$exe" --at 'D:\drivers\nvx\' --code-page 1252 --code-page 932 every
  echo "exit $?"
  "$exe" other; echo "exit $?"
  "$exe" example; echo "exit $?"
  mkdir bom && : >bom/ZELMOR_UPDATE.exe
  printf '\xEF\xBB\xBF1.0\r\n2.0\r\n' >bom/version.id
  "$exe" bom; echo "exit $?"
  "$exe" none 2>&1; echo "exit $?"
  # A program cut anywhere holds no version resource, read within its bytes.
  for size in 1 64 300 600 655; do
    head -c $size example/zoderudo.exe >other/zoderudo.exe
    "$exe" other | grep zoderudo.exe
  done
  "$exe" /? | head -1; "$exe" --code-page 12345 . 2>&1 | head -1
} >output
diff -u "$here/expected-host.txt" output >diff ||
  problem "output differs from expected-host.txt: $(cat diff)"
report "findings, summaries and exit codes of four packages"
host_finish
