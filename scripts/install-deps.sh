#!/usr/bin/env bash
# Installs what building and testing zoderudo needs, only what is missing:
# the host toolchain and GoogleTest, clang (for libFuzzer), the mingw-w64
# cross compilers for 32-bit Windows, 32-bit and 64-bit Wine to run the Windows
# tests, and what the release needs. Quiet when all is there. Runs apt as
# root, or through sudo otherwise.
#
#   scripts/install-deps.sh [--bench]   --bench: also hyperfine and GNU time
#                                       (for bench/run.sh)
set -eu

as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  elif command -v sudo >/dev/null 2>&1; then
    sudo "$@"
  else
    echo "install-deps: need root or sudo to run: $*" >&2
    exit 1
  fi
}

installed() {
  [ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null)" = "install ok installed" ]
}

# Wine for 32-bit programs comes from the i386 architecture.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "install-deps: adding the i386 architecture"
  as_root dpkg --add-architecture i386
fi

# The mingw-w64 compilers of both thread models: win32 for the shipped exe,
# posix for the Windows test programs (GoogleTest). The release takes its
# time from git, Python 3 writes its ZIPs, cmark-gfm renders its HTML
# pages, osslsigncode signs the exe; its tests make a throwaway
# certificate with openssl and look at the pages with headless Chromium.
wanted=(cmake g++ make googletest libgtest-dev clang locales
        g++-mingw-w64-i686-win32 g++-mingw-w64-i686-posix wine wine32:i386 wine64
        git python3 osslsigncode openssl cmark-gfm chromium)
if [ "${1:-}" = --bench ]; then
  wanted+=(hyperfine time)
elif [ $# -ne 0 ]; then
  echo "usage: scripts/install-deps.sh [--bench]" >&2
  exit 2
fi
missing=()
for p in "${wanted[@]}"; do
  installed "$p" || missing+=("$p")
done
if [ ${#missing[@]} -ne 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  as_root apt-get update -q </dev/null
  as_root apt-get install -y -q "${missing[@]}" </dev/null
fi

# Wine takes host file names in the charset of the locale it runs in, and
# its ANSI code page from it: the Windows tests run in Japanese (932),
# Simplified (936) and Traditional Chinese (950) locales, which a fresh
# machine does not have.
for l in ja_JP zh_CN zh_TW; do
  if ! locale -a | grep -qix "$l.utf8"; then
    echo "install-deps: making the locale $l.UTF-8"
    as_root localedef -i "$l" -f UTF-8 "$l.UTF-8"
  fi
done
