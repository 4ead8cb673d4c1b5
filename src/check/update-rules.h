#ifndef ZODERUDO_CHECK_UPDATE_RULES_H_
#define ZODERUDO_CHECK_UPDATE_RULES_H_

#include "check/findings.h"
#include "check/package-tree.h"
#include "os/os.h"

// The extensions cmd tries for a command without one, in its order: the
// default PATHEXT of Windows 2000 and Server 2003.
const unsigned kPathExtensionCount = 10;
const char* const kPathExtensions[kPathExtensionCount] = {
    ".COM", ".EXE", ".BAT", ".CMD", ".VBS",
    ".VBE", ".JS",  ".JSE", ".WSF", ".WSH"};

// The update files of the package folder, by extension: cmd runs the
// first one present.
struct UpdateFiles {
  char names[kPathExtensionCount][MAX_PATH];
};

// Takes note of an entry of the package folder itself; a folder named as
// the update is an error at once, and the bare name without extension, a
// file or folder, a warning: cmd never runs it.
void NoteUpdateEntry(Findings* findings, const PackageEntry& entry,
                     UpdateFiles* files);

// Errors for no update, or more than one, and for a batch update in
// UTF-16 or with a byte order mark; warnings for a batch with LF-only
// line ends and for each `start` without /wait in it, with its line
// number. The files are read from the current folder.
void CheckUpdate(Findings* findings, const UpdateFiles& files);

#endif  // ZODERUDO_CHECK_UPDATE_RULES_H_
