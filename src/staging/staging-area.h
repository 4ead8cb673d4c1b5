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
// in place when it lacks one). Returns 0, or 1 after reporting the cause;
// a failed copy leaves the staging directory and what it holds.
//
// The folder is pinned (pinned-folder.h) as soon as it is made, before
// anything is copied into it. On success `pin`
// holds it, for the caller to keep until the folder is removed; on
// failure `pin` is INVALID_HANDLE_VALUE. A folder made but not pinned is
// removed again when it is still the empty one made.
//
// The folder is made with the security of staging-security.h, and bare
// only where the system has no such security (Windows 9x); where it has
// but the descriptor cannot be built, no folder is made ("Unable to create
// temporary directory!").
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

#endif  // ZODERUDO_STAGING_STAGING_AREA_H_
