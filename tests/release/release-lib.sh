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

# broken_links FOLDER: every relative link of the Markdown files in FOLDER
# that leads to no file in FOLDER, or to no heading of its file, as
# "FILE: TARGET", one a line. Links in code are not links.
broken_links() {
  python3 - "$1" <<'PYTHON'
import os, re, sys
top = os.path.realpath(sys.argv[1])

def prose(path):
    with open(path, encoding="utf-8") as f:
        text = re.sub(r"(?ms)^ *```.*?^ *```", "", f.read())
    return re.sub(r"`[^`\n]*`", "", text)

def anchors(path):
    # The heading ids GitHub gives: lower case, punctuation dropped
    # (hyphens kept), blanks turned into hyphens.
    return {re.sub(r"[^\w\- ]", "", h.strip().lower()).replace(" ", "-")
            for h in re.findall(r"(?m)^#+ (.*)$", prose(path))}

for folder, _, names in sorted(os.walk(top)):
    for name in sorted(n for n in names if n.endswith(".md")):
        path = os.path.join(folder, name)
        for target in re.findall(r"\]\(([^)\s]+)\)", prose(path)):
            if re.match(r"[a-z]+:", target):
                continue
            file, _, anchor = target.partition("#")
            linked = os.path.realpath(os.path.join(folder, file)) if file else path
            inside = linked == top or linked.startswith(top + os.sep)
            if (not inside or not os.path.isfile(linked) or
                    (anchor and anchor not in anchors(linked))):
                print("%s: %s" % (os.path.relpath(path, top), target))
PYTHON
}
