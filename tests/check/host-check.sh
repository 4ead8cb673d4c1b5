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
  # What a run would record, read by the program's own reader.
  make_field_faults field && "$exe" field; echo "exit $?"
  for v in '\r\n2.0\r\n' '1.0\r\n2.0 \r\n' '1.0\r\n2.0\r' '1.0\r\n\x1A2.0\r\n' \
    '1.0\0\0\0\0\r\n2.0\0\0\r\n'; do
    rm -rf v && make_variant example v "$v" && "$exe" v; echo "exit $?"
  done
  make_variant example lf '1.0\r\n2.0\r\n' && printf 'exit\n' >lf/ZELMOR_UPDATE.cmd
  "$exe" lf; echo "exit $?"
  printf '\xEF\xBB\xBFexit\r\n' >lf/ZELMOR_UPDATE.cmd && "$exe" lf; echo "exit $?"
  make_variant example starts '1.0\r\n2.0\r\n' 'if exist x start a' \
    'for %%f in (a b) do start %%f' 'if "%x%"=="y" (echo) else start b' \
    'call start c' 'cmd /c "start d"' 'if /i %x% equ y start e' 'start /w f' \
    'start "t" /wait g' 'start h /wait' 'echo "a & start i" ^& start j' \
    'if not errorlevel 1 cmd.exe /q /c start k' \
    'start "" /d "%~dp0bin" /wait l' 'start /d C:\x /wait m' 'start /dC:\x /wait n'
  "$exe" starts; echo "exit $?"
  # The folder's own name, device names, links, the bare update name.
  cp -r example Łódź && : >'Łódź/NUL .txt' && : >Łódź/ZELMOR_UPDATE
  ln -s version.id Łódź/link.id
  "$exe" --code-page 1252 Łódź; echo "exit $?"
  "$exe" --at 'D:\aux\' Łódź | sed -n 1p
  "$exe" --at '\\Łódź\s\\Ω\Łódź\' --code-page 1252 example; echo "exit $?"
  # The exact limits pass: on the CD, and read from a share.
  cp -r example limits && mkdir -p "limits/$(name 64)/$(name 64)/$(name 64)/$(name 37)"
  : >"limits/$(name 64)/$(name 64)/$(name 64)/$(name 37)/$(name 11)"
  "$exe" --at 'D:\p' limits; echo "exit $?"
  "$exe" --at '\\server\share\deploy' limits; echo "exit $?"
  rm "limits/$(name 64)/$(name 64)/$(name 64)/$(name 37)/$(name 11)"
  "$exe" --at 'D:\drivers\nvx\abcdefg' limits; echo "exit $?"
  cp -r example deep && mkdir -p deep/1/2/3/4/5/6/7 && : >"deep/$(name 65)"
  for at in 'D:\deep' 'D:\' '\\server\share\deep'; do "$exe" --at "$at" deep; done
  # More findings than the list first holds.
  cp -r example many && for i in $(seq 300); do : >"many/nul.$i"; done
  "$exe" many | tail -1; echo "exit ${PIPESTATUS[0]}"
  "$exe" /? | sed -n 1p; "$exe" --code-page 12345 . 2>&1 | sed -n 1p
  ZODERUDO_CODEPAGE=65001 "$exe" example 2>&1 | sed -n 1p; echo "exit ${PIPESTATUS[0]}"
} >output
diff -u "$here/expected-host.txt" output >diff ||
  problem "output differs from expected-host.txt: $(cat diff)"
report "findings, summaries and exit codes of four packages"
host_finish
