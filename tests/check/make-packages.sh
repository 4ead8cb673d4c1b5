# shellcheck shell=bash
# Packages for zrcheck's tests, sourced by the host test and the Wine run.

# make_exe FILE A.B.C.D: a PE image whose version resource carries A.B.C.D.
make_exe() {
  python3 - "$1" "${2//./ }" <<'PY'
import struct, sys
parts = [int(p) for p in sys.argv[2].split()]
ms, ls = parts[0] << 16 | parts[1], parts[2] << 16 | parts[3]
fixed = struct.pack('<13I', 0xFEEF04BD, 0x10000, ms, ls, ms, ls, 0x3F, 0, 4, 1, 0, 0, 0)
info = struct.pack('<3H', 0, len(fixed), 0) + 'VS_VERSION_INFO\0'.encode('utf-16-le')
info += b'\0' * (-len(info) % 4) + fixed
info = struct.pack('<H', len(info)) + info[2:]
directory = lambda id, to: struct.pack('<IIHHHHII', 0, 0, 0, 0, 0, 1, id, to)
rsrc = (directory(16, 0x80000000 | 24) + directory(1, 0x80000000 | 48) +
        directory(0x409, 72) + struct.pack('<4I', 0x1000 + 88, len(info), 0, 0) + info)
optional = bytearray(0xE0)
struct.pack_into('<H', optional, 0, 0x10B)
struct.pack_into('<I', optional, 92, 16)
struct.pack_into('<II', optional, 112, 0x1000, len(rsrc))
head = bytearray(0x200)
head[0:2], head[0x3C:0x40] = b'MZ', struct.pack('<I', 0x40)
pe = b'PE\0\0' + struct.pack('<HHIIIHH', 0x14C, 1, 0, 0, 0, 0xE0, 0x102) + optional
pe += b'.rsrc\0\0\0' + struct.pack('<IIIIIIHHI', len(rsrc), 0x1000, len(rsrc), 0x200, 0, 0, 0, 0, 0)
head[0x40:0x40 + len(pe)] = pe
open(sys.argv[1], 'wb').write(bytes(head) + rsrc)
PY
}

# name N: a name of N letters.
name() { printf 'n%.0s' $(seq "$1"); }

# make_must_show PACKAGE: a path of 245 bytes, nul.txt, a UTF-16
# version.id, and ZELMOR_UPDATE.com beside ZELMOR_UPDATE.cmd.
make_must_show() {
  local p=$1 deep
  deep=$1/$(name 64)/$(name 64)/$(name 64)
  mkdir -p "$deep"
  : >"$deep/$(name 50)"
  : >"$p/nul.txt"
  printf '1.0\r\n2.0\r\n' | iconv -t UTF-16 >"$p/version.id"
  : >"$p/ZELMOR_UPDATE.com"
  printf '%s\r\n' '@echo off' 'start setup.exe' 'start /wait setup.exe' \
    >"$p/ZELMOR_UPDATE.cmd"
}

# make_every_fault PACKAGE: one of each finding that fits one package.
make_every_fault() {
  local p=$1
  make_must_show "$p"
  mkdir -p "$p/$(name 64)/$(name 64)/$(name 64)/$(name 38)" "$p/1/2/3/4/5/6"
  : >"$p/a." ; : >"$p/b " ; : >"$p/what?.txt"
  : >"$p/Readme.txt" ; : >"$p/README.TXT"
  : >"$p/café.txt" ; : >"$p/Ω.txt" ; : >"$p/$(name 65)"
  # 248 bytes in code page 932, 371 as UTF-8: too long only in 932.
  local kana=$(printf 'あ%.0s' $(seq 60))
  mkdir -p "$p/$kana/$kana" && : >"$p/$kana/$kana/あああ"
  printf '%s\r\n' 'rem start x' 'echo start' '@START "" x.exe' \
    'if exist x (start x.exe)' 'x & start/WAIT y & start z' >>"$p/ZELMOR_UPDATE.cmd"
  truncate -s 2000001 "$p/setup.cab"
  make_exe "$p/zoderudo.exe" 0.9.0.0
}

# make_other_faults PACKAGE: those that exclude the ones above.
make_other_faults() {
  local p=$1
  mkdir -p "$p/ZELMOR_UPDATE"
  printf '1.0 "%s" %%x\r\n' "$(name 130)" >"$p/version.id"
}

# make_field_faults PACKAGE: what a run records wrongly or cannot run
# (under Wine too): a blank line 2, a UTF-16 update, case twins beyond A-Z.
make_field_faults() {
  mkdir -p "$1" && printf '1.0\r\n\r\n2.0\r\n' >"$1/version.id"
  printf '@echo off\r\n' | iconv -t UTF-16LE >"$1/ZELMOR_UPDATE.cmd"
  : >"$1/Été.txt" && : >"$1/été.txt"
}

# make_variant BASE NAME VERSION_ID [UPDATE_LINE...]: BASE copied to NAME
# with that version.id (printf format) and, if given, a ZELMOR_UPDATE.cmd
# of those lines with CR LF.
make_variant() {
  local to=$2
  cp -r "$1" "$to" && printf "$3" >"$to/version.id" && shift 3
  [ $# -eq 0 ] || printf '%s\r\n' "$@" >"$to/ZELMOR_UPDATE.cmd"
}
