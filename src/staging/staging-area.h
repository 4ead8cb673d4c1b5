#ifndef ZODERUDO_STAGING_STAGING_AREA_H_
#define ZODERUDO_STAGING_STAGING_AREA_H_

#include "os/os.h"

// Size of the staging path buffer, the terminating zero included.
const unsigned kStagingPathSize = 260;

// The first characters of every staging name: ZRT, then 1 to 4
// hexadecimal digits, then .TMP, the form of Windows' own temporary names.
const char kStagingPrefix[] = "ZRT";
const char kStagingExtension[] = ".TMP";

// The longest staging folder, C:\ZRTxxxx.TMP\ with its backslash: the
// system drive's root, the prefix, four hexadecimal digits, and .TMP.
// Every path of a package must fit below it.
const unsigned kLongestStagingFolder = sizeof "C:\\" - 1 +
                                       sizeof kStagingPrefix - 1 + 4 +
                                       sizeof kStagingExtension - 1 + 1;

// The least free space, in bytes, on the drive of the staging directory.
const unsigned long kFreeSpaceNeeded = 2000000;

// What StageFiles gives when a Ctrl+C stopped the copy.
const int kStagingCancelled = 2;

// Checks that the drive of `root` has kFreeSpaceNeeded bytes free, makes
// a staging directory in `root` and copies the tree under
// `package_directory` into it (which gets a backslash appended in place
// when it lacks one). Returns 0, or 1 after reporting the cause. A copy
// that fails is removed again (RemoveStagingDirectory, reporting what
// stays) before "Unable to copy update files to the hard drive."; a copy
// that a Ctrl+C stopped (copy-or-delete-tree.h) is removed alike, then
// "Update cancelled (Ctrl+C); nothing was installed.", and the result is
// kStagingCancelled.
//
// The folder is claimed by making it, under a name of the form above
// that nothing has: the first number is taken from the tick count, and
// only a name in use (STATUS_OBJECT_NAME_COLLISION) makes the next be
// tried, through all 65,535; any other failure ends the search at once
// ("Unable to create temporary directory!"). Its path, with a final
// backslash, is written to `staging_path` (kStagingPathSize), which is
// left empty when no folder was made.
//
// The folder is made and held (pinned-folder.h) in one call, NtCreateFile
// with the security of staging-security.h, on every Windows NT. Only
// where that call is missing (Windows 9x, which has no such security) is
// it made with CreateDirectoryA and pinned after; a folder made but not
// pinned is removed again. Where the descriptor cannot be built, or was
// built but NtCreateFile is missing, no folder is made. On success `pin`
// holds it, for the caller to keep until the folder is removed; else
// `pin` is INVALID_HANDLE_VALUE.
int StageFiles(const char* root, char* package_directory, char* staging_path,
               HANDLE* pin);

// Empties and removes the staging directory at `staging_path` when it is
// the folder that `pin` holds, and closes `pin`. What cannot be removed is
// reported ("Could not delete files from temporary directory.", "Could not
// remove temporary directory" and its path, after the walker's lines); a
// folder at the path that is not the one held is not walked, but reported
// as contents that could not be deleted, and left as it is.
void RemoveStagingDirectory(char* staging_path, HANDLE pin);

#endif  // ZODERUDO_STAGING_STAGING_AREA_H_
