#!/usr/bin/env bash
# Signs the exe to ship: a SHA-1 signature, the one Windows 2000 and XP can
# check, and a SHA-256 signature nested in it for later Windows. With a
# time-stamp server, each signature is time-stamped (Authenticode for the
# SHA-1 one, as the old systems read it; RFC 3161 for the SHA-256 one) and
# a failed time-stamp fails the signing.
#
# The PKCS#12 file's password comes from ZODERUDO_SIGN_PASSWORD and reaches
# osslsigncode through a pipe (-readpass /dev/fd/3, written by the shell's
# own printf): never on a command line, which every user of the machine
# can read, and never in a file.
#
# Usage: sign-exe.sh OSSLSIGNCODE PKCS12 TIMESTAMP_URL IN OUT  (URL may be "")
set -eu
osslsigncode=$1 pkcs12=$2 url=$3 in=$4 out=$5
if [ -z "${ZODERUDO_SIGN_PASSWORD:-}" ]; then
  echo "sign-exe: ZODERUDO_SIGN_PASSWORD must hold the password of $pkcs12" >&2
  exit 1
fi

# sign HASH TIME_STAMP_OPTION IN OUT [OPTION...]
sign() {
  "$osslsigncode" sign -pkcs12 "$pkcs12" -readpass /dev/fd/3 -h "$1" \
    ${url:+"$2" "$url"} "${@:5}" -in "$3" -out "$4" \
    3< <(printf '%s' "$ZODERUDO_SIGN_PASSWORD")
}

# OUT appears only once both signatures are in it.
trap 'rm -f "$out.sha1" "$out.part"' EXIT
rm -f "$out"
sign sha1 -t "$in" "$out.sha1"
sign sha256 -ts "$out.sha1" "$out.part" -nest
mv "$out.part" "$out"
