#ifndef ZODERUDO_CHECK_PATH_RULES_H_
#define ZODERUDO_CHECK_PATH_RULES_H_

#include "check/code-page-text.h"
#include "check/findings.h"
#include "check/package-tree.h"

// The deepest folder level a CD of ISO 9660 holds, its root being level 1.
const unsigned kDeepestCdLevel = 8;

// Where the package folder stands when a PC runs it: on a CD, or on a
// share (\\server\share\package\), where the CD's own limits do not hold.
struct CdPlace {
  const char* folder;  // with its backslash, e.g. D:\package\ .
  unsigned level;      // the package folder's level, D:\ being 1
  bool cd;             // on a drive, not a share
};

// Errors for a path that the staged copy or its clean-up cannot handle on
// Windows, below the staging folder or read from the CD, counted in bytes
// of each of `pages` where the path is not ASCII; a warning for a folder
// deeper than ISO 9660 allows.
void CheckPath(Findings* findings, const PackageEntry& entry,
               const CodePages& pages, const CdPlace& cd);

#endif  // ZODERUDO_CHECK_PATH_RULES_H_
