#!/usr/bin/env python3
"""Writes a ZIP whose bytes depend only on the names and contents given.

    write-zip.py OUT EPOCH NAME=PATH...

Entries go in sorted order, each folder of a NAME with an entry of its own;
every entry has the time EPOCH (seconds since 1970, UTC; a ZIP holds none
before 1980) and Unix mode 755 for a NAME ending in .exe, else 644, whatever
the file system says; no owner, no extra fields. CMake's own ZIP writer
(libarchive, CPack's too) stores the builder's user and group ids and the
file times, so two builds of one commit would differ.
"""
import os
import stat
import sys
import time
import zipfile

EARLIEST = 315532800  # 1980-01-01 00:00:00 UTC


def entry(name, when, mode):
    info = zipfile.ZipInfo(name, when)
    info.create_system = 3  # Unix: unzip there sets the mode
    info.external_attr = mode << 16
    if stat.S_ISDIR(mode):
        info.external_attr |= 0x10  # MS-DOS folder bit
    else:
        info.compress_type = zipfile.ZIP_DEFLATED
    return info


def main(out, epoch, pairs):
    when = time.gmtime(max(int(epoch), EARLIEST))[:6]
    files = dict(pair.split("=", 1) for pair in pairs)
    folders = {name[:i + 1] for name in files
               for i, c in enumerate(name) if c == "/"}
    partial = out + ".part"
    with zipfile.ZipFile(partial, "w") as archive:
        for name in sorted(folders | files.keys()):
            if name in folders:
                archive.writestr(entry(name, when, 0o40755), b"")
                continue
            program = name.endswith(".exe")
            info = entry(name, when, 0o100755 if program else 0o100644)
            with open(files[name], "rb") as data:
                archive.writestr(info, data.read(), compresslevel=9)
    os.replace(partial, out)


if __name__ == "__main__":
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2], sys.argv[3:])
