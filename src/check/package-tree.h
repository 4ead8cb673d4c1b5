#ifndef ZODERUDO_CHECK_PACKAGE_TREE_H_
#define ZODERUDO_CHECK_PACKAGE_TREE_H_

#include <stdint.h>

#include "check/findings.h"

// One file or folder of the package, as a listing gives it.
struct PackageEntry {
  const char* path;  // relative to the package folder, with backslashes
  const char* name;  // its last name
  bool folder;
  uint64_t size;     // bytes; 0 for a folder
  unsigned depth;    // 1 for the entries of the package folder itself
};

typedef void (*EntryHandler)(void* context, const PackageEntry& entry);

// Walks the tree under the current folder (the package), each folder
// before its entries, a folder's entries in name order regardless of case.
// Each entry is handed to `handler`; two names of one folder that differ
// only in letter case (as Windows compares names), a folder that cannot be
// listed, a symbolic link or junction (not followed), and on Windows a
// name that does not lead to its entry (not handed on) are findings of
// their own. False, with nothing handed on, when the package folder
// itself cannot be listed.
bool WalkPackage(Findings* findings, EntryHandler handler, void* context);

#endif  // ZODERUDO_CHECK_PACKAGE_TREE_H_
