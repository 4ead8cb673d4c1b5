# shellcheck shell=bash
# Shared by the release tests: a release built as a maintainer builds it,
# and what a ZIP says about its entries. Needs $build_type.

# build_release SOURCE BUILD [CMAKE_ARGUMENT...]: configures the windows
# preset's project (without its tests) from SOURCE in BUILD and builds the
# package target: BUILD/bin/zoderudo.exe, BUILD/release/*.zip. The build's
# commands and output go to BUILD/build.log, shown on failure.
build_release() {
  local source=$1 build=$2
  shift 2
  mkdir -p "$build"
  { cmake -S "$source" -B "$build" \
      -DCMAKE_TOOLCHAIN_FILE="$source/cmake/mingw-i686.cmake" \
      -DCMAKE_BUILD_TYPE="$build_type" -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
      -DBUILD_TESTING=OFF "$@" &&
    cmake --build "$build" --target package -j2 -v; } >"$build/build.log" 2>&1 ||
    { sed 's/^/  | /' "$build/build.log"; return 1; }
}

# zip_entries ZIP: one "NAME MODE TIME" line per entry, in the ZIP's order
# (MODE the Unix mode in octal, TIME as YYYY-MM-DD HH:MM:SS).
zip_entries() {
  python3 -c 'import sys, zipfile
for e in zipfile.ZipFile(sys.argv[1]).infolist():
    print(e.filename, "%o" % (e.external_attr >> 16),
          "%04d-%02d-%02d %02d:%02d:%02d" % e.date_time)' "$1"
}

# unpack ZIP FOLDER: extracts ZIP into FOLDER.
unpack() {
  mkdir -p "$2" && (cd "$2" && cmake -E tar xf "$1")
}

# page_faults FOLDER: what keeps the HTML pages in FOLDER from opening on
# a Windows 2000 PC as they should, as "FILE: FAULT", one a line: a
# relative link that leads to no file in FOLDER or to no anchor of its
# page, a line end without CR, a byte outside ASCII, a script.
page_faults() {
  python3 - "$1" <<'PYTHON'
import os, re, sys
top = os.path.realpath(sys.argv[1])

def read(path):
    with open(path, "rb") as f:
        return f.read()

def anchors(path):
    return set(re.findall(rb'<a name="([^"]*)"', read(path)))

for folder, _, names in sorted(os.walk(top)):
    for name in sorted(n for n in names if n.endswith(".html")):
        path = os.path.join(folder, name)
        where = os.path.relpath(path, top)
        data = read(path)
        if re.search(rb"(?<!\r)\n", data):
            print("%s: a line end without CR" % where)
        if re.search(rb"[^\x00-\x7f]", data):
            print("%s: a byte outside ASCII" % where)
        if re.search(rb"<script", data, re.I):
            print("%s: a script" % where)
        for target in re.findall(rb'<a href="([^"]*)"', data):
            target = target.decode("ascii", "replace")
            if re.match(r"[A-Za-z][A-Za-z0-9+.-]*:", target):
                continue
            file, _, anchor = target.partition("#")
            linked = os.path.realpath(os.path.join(folder, file)) if file else path
            inside = linked.startswith(top + os.sep)
            if (not inside or not os.path.isfile(linked) or
                    (anchor and anchor.encode() not in anchors(linked))):
                print("%s: a link to %s" % (where, target))
PYTHON
}

# renders_in_chromium PAGE PNG: headless Chromium renders PAGE to PNG, and
# the picture is not of one colour alone (a page that did not render is
# blank). Root, as in CI, needs Chromium's sandbox off.
renders_in_chromium() {
  local page=$1 png=$2 browser
  browser=$(command -v chromium || command -v chromium-browser) ||
    { echo "  no chromium"; return 1; }
  rm -f "$png"
  timeout 120 "$browser" --headless --no-sandbox --disable-gpu \
    --no-first-run --window-size=1024,1400 --screenshot="$png" \
    "file://$page" >"$png.log" 2>&1 ||
    { echo "  chromium failed on $page:"; sed 's/^/  | /' "$png.log"; return 1; }
  python3 - "$png" <<'PYTHON'
import struct, sys, zlib
data = open(sys.argv[1], "rb").read()
if data[:8] != b"\x89PNG\r\n\x1a\n":
    sys.exit("  not a PNG: " + sys.argv[1])
pos, idat, width, height, depth, kind = 8, b"", 0, 0, 0, 0
while pos < len(data):
    size, tag = struct.unpack(">I4s", data[pos:pos + 8])
    body = data[pos + 8:pos + 8 + size]
    if tag == b"IHDR":
        width, height, depth, kind = struct.unpack(">IIBB", body[:10])
    elif tag == b"IDAT":
        idat += body
    pos += 12 + size
channels = {0: 1, 2: 3, 4: 2, 6: 4}.get(kind)
if depth != 8 or not channels:
    sys.exit("  a PNG of a kind this check does not read")
raw, stride, prev, colours = zlib.decompress(idat), width * channels, None, set()
for y in range(height):
    kind_of_filter = raw[y * (stride + 1)]
    line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
    up = prev or bytearray(stride)
    for i in range(stride):
        a = line[i - channels] if i >= channels else 0
        b, c = up[i], up[i - channels] if i >= channels else 0
        if kind_of_filter == 1: line[i] = (line[i] + a) & 255
        elif kind_of_filter == 2: line[i] = (line[i] + b) & 255
        elif kind_of_filter == 3: line[i] = (line[i] + (a + b) // 2) & 255
        elif kind_of_filter == 4:
            p = a + b - c
            pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
            line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
    colours.update(bytes(line[i:i + channels]) for i in range(0, stride, channels * 7))
    prev = line
    if len(colours) > 2:
        sys.exit(0)
sys.exit("  a blank picture: " + sys.argv[1])
PYTHON
}
