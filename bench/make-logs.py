#!/usr/bin/env python3
"""Writes a fleet's collected result logs for the zrreport benchmark.

    make-logs.py FOLDER LOGS RECORDS [--distinct]

FOLDER gets LOGS files PC00000.log, PC00001.log, ..., each of RECORDS
result records as zoderudo writes them (CR LF, the blank before it), of a
few packages a PC runs again and again over the years, with the codes a
fleet sees (mostly 0, 99 and 3010, some failures). With --distinct every
record of a log is a package of its own (Update=N, New=N+1), as many
packages as records. Fixed seed: the same bytes every time.
"""
import os
import random
import sys

PACKAGES = [("1.0", "2.0"), ("2.0", "2.1"), ("2.1", "3.0 beta, build 7"),
            ("3.0", "3.1"), ("5.10.2", "5.12.0"), ("NT5 1.4", "NT5 1.5")]
CODES = [0] * 6 + [99] * 3 + [3010] * 2 + [1641, 1, -1, 1603]


def main():
    folder, logs, records = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    distinct = sys.argv[4:] == ["--distinct"]
    os.makedirs(folder, exist_ok=True)
    rng = random.Random(20261207)
    for pc in range(logs):
        lines = []
        for i in range(records):
            update, new = PACKAGES[rng.randrange(len(PACKAGES))]
            if distinct:
                update, new = str(i), str(i + 1)
            code = CODES[rng.randrange(len(CODES))]
            lines.append("%02d-%02d-%04d %02d:%02d:%02d,Update=%s,New=%s,"
                         "Status=%s,ReturnCode=%d \r\n" % (
                             1 + i % 12, 1 + i % 28, 2004 + i // 12,
                             rng.randrange(24), rng.randrange(60),
                             rng.randrange(60), update, new,
                             "Success" if code == 0 else "Unknown", code))
        with open(os.path.join(folder, "PC%05d.log" % pc), "w",
                  newline="") as f:
            f.write("".join(lines))


if __name__ == "__main__":
    main()
