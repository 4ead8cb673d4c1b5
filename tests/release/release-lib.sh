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
