// The tree walker alone, for the benchmark: copies a package tree the way a
// staged run does, or empties and removes a tree the way its clean-up does.
//
//   bench_walk copy SOURCE DESTINATION   DESTINATION is created first
//   bench_walk delete FOLDER             FOLDER itself is removed last
//
// Paths are Windows paths (on the host, Z:\ is the host root). The exit
// code is the walker's result.
#include <stdio.h>
#include <string.h>

#include "os/os.h"
#include "staging/copy-or-delete-tree.h"

namespace {

// The walker's source buffer has room for the backslash it may append.
bool Fill(char* buffer, const char* path, bool with_backslash) {
  size_t length = strlen(path);
  if (length + 2 > kTreePathSize) return false;
  memcpy(buffer, path, length + 1);
  if (with_backslash && length && path[length - 1] != '\\') strcat(buffer, "\\");
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  char source[kTreePathSize] = {};
  char destination[kTreePathSize] = {};
  if (argc == 4 && strcmp(argv[1], "copy") == 0) {
    if (!Fill(source, argv[2], false) || !Fill(destination, argv[3], true))
      return 2;
    if (!CreateDirectoryA(destination, nullptr)) return 2;
    return CopyOrDeleteTree(source, destination);
  }
  if (argc == 3 && strcmp(argv[1], "delete") == 0) {
    if (!Fill(source, argv[2], true)) return 2;
    if (CopyOrDeleteTree(source, nullptr) != 0) return 1;
    return RemoveDirectoryA(source) ? 0 : 1;
  }
  fputs("usage: bench_walk copy SOURCE DESTINATION | delete FOLDER\n", stderr);
  return 2;
}
