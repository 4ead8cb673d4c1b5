#!/usr/bin/env bash
# The zrreport benchmark: a fleet of 10,000 collected logs of 100 records
# each (bench/make-logs.py, in build/bench-report/logs, made once), and
# one log of 80,000 records each of a package of its own (in
# build/bench-report/distinct), read by the host build of zrreport and, for
# comparison, by cat reading the same bytes. Prints records per second,
# the two times and their ratio (goal: within 2x of cat), and zrreport's
# peak memory, for each.
#
#   bench/report.sh [--quick]     (--quick: fewer runs)
#
# The logs are read from the page cache: each command has warm-up runs
# first, so both pay for the system calls and not for the disk.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
runs=10 logs=10000 records=100 packages=80000
for arg in "$@"; do
  case $arg in
    --quick) runs=3 ;;
    *) echo "usage: bench/report.sh [--quick]" >&2; exit 2 ;;
  esac
done

"$root/scripts/install-deps.sh" --bench
cmake --preset host >/dev/null
cmake --build --preset host --target zrreport >/dev/null
report=$root/build/host/bin/zrreport
work=$root/build/bench-report
fleet=$work/logs
if [ "$(find "$fleet" -name '*.log' 2>/dev/null | wc -l)" -ne "$logs" ]; then
  rm -rf "$fleet"
  python3 bench/make-logs.py "$fleet" "$logs" "$records"
fi
distinct=$work/distinct
if [ ! -f "$distinct/PC00000.log" ]; then
  python3 bench/make-logs.py "$distinct" 1 "$packages" --distinct
fi

# measure FOLDER LOGS RECORDS GOAL: zrreport and cat on the folder's logs;
# GOAL 2x: within 2x of cat; none: every record is a row of the table, to
# be sorted and written, so only the figure (and its growth) is shown. The
# logs have failures, so zrreport ends with 1; any other code is an error.
measure() {
  local folder=$1 bytes peak
  bytes=$(cat "$folder"/*.log | wc -c)
  hyperfine --style basic --warmup 2 --runs "$runs" \
    --export-json "$work/times.json" \
    -n zrreport "$report $folder >/dev/null 2>&1 || [ \$? -eq 1 ]" \
    -n cat "cat $folder/*.log >/dev/null" >"$work/hyperfine.txt"
  peak=$( (/usr/bin/time -f %M "$report" "$folder" || true) 2>&1 >/dev/null | tail -n 1)
  python3 - "$work/times.json" "$2" "$3" "$bytes" "$peak" "$4" <<'PY'
import json, statistics, sys
times = {r["command"]: r["times"] for r in json.load(open(sys.argv[1]))["results"]}
logs, records, size, peak = map(int, sys.argv[2:6])
goal = sys.argv[6] == "2x"
def median(c): return statistics.median(times[c])
def spread(c):
    q = statistics.quantiles(times[c], n=4)
    return (q[2] - q[0]) / 2
ours, theirs = median("zrreport"), median("cat")
print("zrreport on %d logs of %d records (%.1f MiB), %d runs each, ms"
      % (logs, records, size / 2**20, len(times["cat"])))
print("  zrreport  %8.1f ±%.1f" % (ours * 1000, spread("zrreport") * 1000))
print("  cat       %8.1f ±%.1f" % (theirs * 1000, spread("cat") * 1000))
ratio = ours / theirs
print("  ratio     %8.2f   %s" % (ratio, "" if not goal else
      "%s (goal: within 2x of cat)" % ("met" if ratio <= 2 else "MISSED")))
print("  records per second: %.0f" % (logs * records / ours))
print("  peak memory: %.1f MiB" % (peak / 1024))
PY
}
measure "$fleet" "$logs" "$records" 2x
measure "$distinct" 1 "$packages" none
