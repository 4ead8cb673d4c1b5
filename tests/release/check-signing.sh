#!/usr/bin/env bash
# Checks the signed release: a throwaway CA and code-signing certificate
# (openssl), a release built with them as a maintainer builds one, and
# - osslsigncode verify accepts each exe (zoderudo.exe, zrreport.exe,
#   zrcheck.exe)
#   against that CA, with a SHA-1 signature first (the one Windows 2000
#   and XP read) and a SHA-256 one nested in it; the build's own exes stay
#   unsigned;
# - the password reached osslsigncode on no command line and is in no file
#   of the build;
# - SHA256SUMS matches the signed exes; the exe checks still pass on them;
#   zoderudo.exe runs the example package under Wine; without its
#   signature it is the unsigned build but for the header's checksum and
#   the padding;
# - a time-stamp server that cannot be reached fails the release.
#
# Usage: check-signing.sh SOURCE_DIR WORK_DIR EXE VERSION BUILD_TYPE
#                         OBJDUMP WINDRES ALLOWED_LIST
set -u
src=$1 work=$2 exe=$3 version=$4 build_type=$5
objdump=$6 windres=$7 allowed=$8
rm -rf "$work"
mkdir -p "$work/ca"
here=$(dirname "$0")
. "$here/../support/check-cases.sh"
. "$here/release-lib.sh"
. "$here/../e2e/wine-lib.sh"
top=zoderudo-$version-win32
build=$work/build unzipped=$work/unzipped
export ZODERUDO_SIGN_PASSWORD='throwaway pass; $word "quoted"'

make_certificates() (
  cd "$work/ca" || exit 1
  printf '%s\n' basicConstraints=CA:FALSE keyUsage=critical,digitalSignature \
    extendedKeyUsage=codeSigning >signer.ext
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=Throwaway-CA \
      -addext basicConstraints=critical,CA:TRUE \
      -addext keyUsage=critical,keyCertSign -keyout ca.key -out ca.pem &&
    openssl req -newkey rsa:2048 -nodes -subj /CN=Throwaway-signer \
      -keyout signer.key -out signer.csr &&
    openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -days 2 \
      -CAcreateserial -extfile signer.ext -out signer.pem &&
    openssl pkcs12 -export -inkey signer.key -in signer.pem -certfile ca.pem \
      -passout env:ZODERUDO_SIGN_PASSWORD -out signer.p12
)

# osslsigncode as the build finds it, recording the arguments it is given.
make_recording_signer() {
  local real
  real=$(command -v osslsigncode) || return 1
  printf '#!/bin/sh\nprintf "%%s\\n" "$*" >>"%s"\nexec "%s" "$@"\n' \
    "$work/signer-arguments" "$real" >"$work/osslsigncode"
  chmod +x "$work/osslsigncode"
}

signed_release_builds() {
  { make_certificates && make_recording_signer; } >"$work/ca.log" 2>&1 ||
    { sed 's/^/  | /' "$work/ca.log"; return 1; }
  build_release "$src" "$build" -DZODERUDO_SIGN_PKCS12="$work/ca/signer.p12" \
    -DZODERUDO_OSSLSIGNCODE="$work/osslsigncode" &&
    (cd "$build/release" && sha256sum -c "$top.zip.sha256") &&
    unpack "$build/release/$top.zip" "$unzipped"
}

password_kept_off_command_lines() {
  sed 's/^/  | /' "$work/signer-arguments"
  # Two signatures for each of the three exes.
  [ "$(grep -c ' -readpass ' "$work/signer-arguments")" -eq 6 ] || return 1
  if grep -rlF "$ZODERUDO_SIGN_PASSWORD" "$work/signer-arguments" "$build"; then
    echo "  the password is in the files above"
    return 1
  fi
}

verified_with_both_signatures() {
  local name status digests
  for name in zoderudo.exe zrreport.exe zrcheck.exe; do
    osslsigncode verify -CAfile "$work/ca/ca.pem" -in "$unzipped/$top/$name" \
      >"$work/verify.log" 2>&1
    status=$?
    digests=$(sed -n 's/^Message digest algorithm  *: //p' "$work/verify.log" | tr '\n' ' ')
    echo "  verify $name: exit $status; digests: $digests"
    [ $status -eq 0 ] && [ "$digests" = "SHA1 SHA256 " ] &&
      grep -qx 'Number of verified signatures: 2' "$work/verify.log" ||
      { sed 's/^/  | /' "$work/verify.log"; return 1; }
    # Signing leaves the build's own exe as every unsigned build has it.
    cmp "$build/bin/$name" "$(dirname "$exe")/$name" &&
      ! cmp -s "$unzipped/$top/$name" "$build/bin/$name" || return 1
  done
}

sums_and_exe_checks_hold() {
  (cd "$unzipped/$top" && sha256sum -c SHA256SUMS) &&
    "$here/../imports/check-exe.sh" "$objdump" "$windres" \
      "$unzipped/$top/zoderudo.exe" "$version" "$allowed" &&
    "$here/../imports/check-exe.sh" "$objdump" "$windres" \
      "$unzipped/$top/zrreport.exe" "$version" "$allowed" &&
    "$here/../imports/check-exe.sh" "$objdump" "$windres" \
      "$unzipped/$top/zrcheck.exe" "$version" "$allowed"
}

# An end-to-end case (wine-lib.sh): the ZIP's example package, in place.
runs_example_under_wine() {
  cp -R "$unzipped/$top/examples/package" "$CASE_PACKAGE" &&
    add_driver tavixnt5.sys && run_program || return 1
  expect_stdout "This is the example update of zoderudo; it changes nothing.\r\n0\r\n" &&
    expect_no_stderr &&
    grep -q ',Update=1.0,New=2.0,Status=Success,ReturnCode=0 ' "$E2E_LOG_DIR/ZR.log"
}

# A signed exe with its signature removed is the unsigned build but for
# the header's checksum (bytes 217 to 220) and the signature's zero padding,
# as docs/releasing.md tells a user to check.
signature_removed_is_the_build() {
  local name built differing appended
  for name in zoderudo.exe zrreport.exe zrcheck.exe; do
    built=$(dirname "$exe")/$name
    rm -f "$work/stripped.exe"
    osslsigncode remove-signature -in "$unzipped/$top/$name" \
      -out "$work/stripped.exe" >"$work/remove.log" 2>&1 ||
      { sed 's/^/  | /' "$work/remove.log"; return 1; }
    differing=$(cmp -l "$built" "$work/stripped.exe" 2>/dev/null | awk '{ print $1 }' | tr '\n' ' ')
    appended=$(tail -c +$(($(stat -c %s "$built") + 1)) "$work/stripped.exe" | od -An -tx1 | tr -d ' \n')
    echo "  $name: bytes that differ: ${differing:-none}; appended: ${appended:-nothing}"
    [[ $differing =~ ^((21[7-9]|220)\ )*$ ]] && [[ $appended =~ ^(00){0,7}$ ]] || return 1
  done
}

time_stamp_failure_fails_the_release() {
  # Nothing listens on the discard port: the server cannot be reached.
  if build_release "$src" "$build" \
       -DZODERUDO_SIGN_TIMESTAMP_URL=http://127.0.0.1:9/ >/dev/null; then
    echo "  the release was made without its time-stamp"
    return 1
  fi
  grep -q 'timestamping failed' "$build/build.log" &&
    ! ls "$build/release/"*.zip 2>/dev/null
}

check "a release signed with a throwaway certificate builds" signed_release_builds
check "the password is on no command line and in no file of the build" \
  password_kept_off_command_lines
check "osslsigncode verify accepts both exes: SHA-1, nested SHA-256" \
  verified_with_both_signatures
check "SHA256SUMS matches the signed exes; the exe checks pass on them" \
  sums_and_exe_checks_hold
check "the signed exes without their signatures are the unsigned build, but for the checksum" \
  signature_removed_is_the_build
check "a time-stamp server that cannot be reached fails the release" \
  time_stamp_failure_fails_the_release
e2e_init "$unzipped/$top/zoderudo.exe" "$work/wine"
e2e_case "the signed exe runs the example package under Wine" \
  runs_example_under_wine
passed=$((passed + E2E_PASSED)) failed=$((failed + E2E_FAILED))

check_summary
