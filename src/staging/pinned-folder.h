#ifndef ZODERUDO_STAGING_PINNED_FOLDER_H_
#define ZODERUDO_STAGING_PINNED_FOLDER_H_

#include "os/os.h"

// A folder in a place that other accounts may change (the root of the
// system drive): held open without FILE_SHARE_DELETE from its creation to
// its removal, so that Windows lets nobody rename or remove it meanwhile,
// and checked before it is used by name.
//
// Paths may end with a backslash.

// Opens the folder `path`, which must be a plain folder (no junction,
// mount point or symbolic link). INVALID_HANDLE_VALUE when it cannot be
// opened or is not plain; the caller closes the handle, which may also
// read the folder's owner (READ_CONTROL).
HANDLE PinFolder(const char* path);

// Whether the folder at `path` is a plain folder and the one that `pin`
// holds: the same volume serial number and file index. Where the file
// system tells no index the held handle alone must keep it in place, and
// any plain folder passes.
bool IsPinnedFolder(const char* path, HANDLE pin);

#endif  // ZODERUDO_STAGING_PINNED_FOLDER_H_
