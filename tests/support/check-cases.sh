# Case bookkeeping for the test scripts that check the built exe: source it,
# run each case with `check NAME COMMAND...`, end with `check_summary`.
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

check_summary() {  # the counts; fails when any case failed
  echo "$passed passed, $failed failed"
  [ $failed -eq 0 ]
}
