#ifndef ZODERUDO_RUN_STAGED_RUN_H_
#define ZODERUDO_RUN_STAGED_RUN_H_

// The steps that a run given the package directory adds around the run:
// the package is copied to a staging directory in the root of the system
// drive, the update runs from that copy, and the copy is removed after.

#include "os/os.h"

// Size of the root of the system drive: "C:\" and its terminating zero.
const unsigned kSystemRootSize = 4;

// Reads the system folder and puts the root of its drive in `system_root`
// (kSystemRootSize); empty when the folder cannot be read.
void ReadSystemRoot(char* system_root);

// A folder argument written in quotes with a final backslash ("D:\" or
// "%~dp0" in a batch file) comes from the C runtime's splitting with that
// backslash read as an escaped quote: D:" instead of D:\. A Windows path
// holds no quote, so a final one can only be that backslash, and is made
// one again, in place.
void MendQuotedBackslash(char* argument);

// Makes `argument`, absolute or relative to the starting directory, the
// absolute package directory in `package_directory` (kRunDirectorySize),
// and leaves the starting directory current. False, after a message that
// names the argument, when it is no directory that can be entered (nor
// entered again by the absolute name the system gives it), when its path
// is too long for the copy to list it (kLongestWalkedFolder), or
// when it is `system_root`, which will hold the staging directory, under
// any name. Where the system cannot tell whether two folders are one, the
// names decide.
bool FindPackageDirectory(const char* argument, const char* starting_directory,
                          const char* system_root, char* package_directory);

// Makes the staging directory current, when the folder at `staging_path`
// is the one that `pin` holds (pinned-folder.h), before and after it is
// entered. False when it is not: another account put something else in
// its place, and the update must not run from that. The current
// directory may then have changed.
bool EnterStagingDirectory(const char* staging_path, HANDLE pin);

// Waits 5000 ms, then empties and removes the staging directory, reporting
// what could not be removed, and closes `pin`. A folder at the staging
// path that is not the one `pin` holds is not walked: it is reported as
// contents that could not be deleted, and left as it is.
void CleanUpStaging(char* staging_path, HANDLE pin);

#endif  // ZODERUDO_RUN_STAGED_RUN_H_
