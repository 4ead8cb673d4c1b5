#ifndef ZODERUDO_STAGING_STAGING_AREA_H_
#define ZODERUDO_STAGING_STAGING_AREA_H_

#include "os/os.h"

// Size of the staging path buffer, the terminating zero included.
const unsigned kStagingPathSize = 260;

// The prefix of staging names; only its first three characters, ZRT, enter
// the name.
const char kStagingPrefix[] = "ZRTEMP\\";

// The longest staging folder, C:\ZRTxxxx.TMP\ with its backslash: the
// system drive's root, the first three characters of the prefix, up to
// four hexadecimal digits that the system chooses, and .TMP. Every path of
// a package must fit below it.
const unsigned kLongestStagingFolder =
    sizeof "C:\\" - 1 + 3 + 4 + sizeof ".TMP" - 1 + 1;

// The least free space, in bytes, on the drive of the staging directory.
const unsigned long kFreeSpaceNeeded = 2000000;

// Fills `staging_path`, the caller's buffer of kStagingPathSize characters,
// with a name in `directory` that the system chose and under which nothing
// exists: PREuuuu.TMP, PRE being the first three characters of `prefix`
// and uuuu a hexadecimal number. The system reserves the name by creating
// an empty file, which is deleted again at once. When no name can be had
// the buffer is left empty. Nothing is reported.
//
// The caller owns the buffer, so nothing is allocated and nothing needs
// freeing on any way out of the run; it has room to append one backslash.
void MakeStagingPath(const char* directory, const char* prefix,
                     char* staging_path);

// Checks that the drive of `root` has kFreeSpaceNeeded bytes free, creates
// the directory `staging_path` (ending with a backslash) and copies the
// tree under `package_directory` into it (which gets a backslash appended
// in place when it lacks one). Returns 0, or 1 after reporting the cause.
// A copy that fails is removed again (RemoveStagingDirectory, reporting
// what stays) before "Unable to copy update files to the hard drive."
//
// The folder is pinned (pinned-folder.h) from the instant it exists: made
// and held in one call (NtCreateFile) on every Windows NT. Only where that
// call is missing is it made first and pinned after, and then it must
// carry exactly the access list it was made with and belong to the
// account (folder-owner.h), or it is refused and left alone; a folder
// made but not pinned is removed again when it is still the empty one
// made. On success `pin` holds it, for the caller to keep until the
// folder is removed; on failure `pin` is INVALID_HANDLE_VALUE.
//
// The folder is made with the security of staging-security.h, and bare
// only where the system has no such security (Windows 9x, NT 4); where it
// has but the descriptor cannot be built, no folder is made ("Unable to
// create temporary directory!").
//
// When something of the name `staging_path` exists by the time the folder
// is made (another run was handed the same name), or the name is refused
// with ERROR_ACCESS_DENIED (its reservation file still held open by a
// scanner, "delete pending"), a fresh name is taken in
// `root` (MakeStagingPath, with a backslash appended) and written to
// `staging_path`, a buffer of kStagingPathSize; a few times at most. A
// staging path of "\" alone, no name reserved, fails without another.
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
