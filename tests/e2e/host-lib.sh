# shellcheck shell=bash
# Shared by the end-to-end tests of the host build. Source it and call
# host_init EXE: $exe is then the program, $tmp a scratch folder removed at
# exit. In each case call problem for what is wrong, end the case with
# report "DESCRIPTION" and the suite with host_finish. A suite may define
# report_details to print more about a failed case.

set -u

host_init() {
  # Only the settings given per case may shape the machine.
  local v
  for v in $(compgen -e | grep -i '^ZODERUDO_\|^systemdrive$'); do unset "$v"; done
  exe=$(realpath "$1")
  tmp=$(mktemp -d)
  # Cases may leave read-only files behind.
  trap 'chmod -R u+w "$tmp" 2>/dev/null; rm -rf "$tmp"' EXIT
  passed=0 failed=0 problems=()
}

problem() { problems+=("$1"); }

# report DESCRIPTION: counts the case as passed or failed, with its
# problems, and starts the next one.
report() {
  if [ ${#problems[@]} -eq 0 ]; then
    passed=$((passed + 1))
    echo "ok: $1"
  else
    failed=$((failed + 1))
    echo "FAILED: $1"
    printf '  %s\n' "${problems[@]}"
    if declare -F report_details >/dev/null; then report_details; fi
  fi
  problems=()
}

# host_system32 FOLDER: makes FOLDER (a machine's system folder) with its
# DRIVERS folder and the system's own cmd.exe, which starts the host
# stand-in for cmd built beside the program: the program starts no other.
host_system32() {
  mkdir -p "$1/DRIVERS"
  printf '#!/bin/sh\nexec "%s" "$@"\n' "$(dirname "$exe")/cmd" >"$1/cmd.exe"
  chmod +x "$1/cmd.exe"
}

host_finish() {
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}
