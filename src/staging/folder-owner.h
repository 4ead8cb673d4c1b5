#ifndef ZODERUDO_STAGING_FOLDER_OWNER_H_
#define ZODERUDO_STAGING_FOLDER_OWNER_H_

#include "os/os.h"

// Who owns a folder that was made at a name other accounts may rename
// (the root of the system drive). Until the folder is pinned, another
// account can move it away and put one of its own, with an access list of
// its choosing, under the name; the pin then holds that one. The owner
// tells: a folder this run made belongs to its account.
enum FolderOwner {
  FolderOwnedByAccount,  // ours, or a volume that keeps no access lists
  FolderOwnedByOther,    // another account's: not ours to touch
  FolderOwnerUnknown,    // the system has security, but could not tell
};

// The owner of the folder that `pin` holds (opened with READ_CONTROL), on
// the drive whose root is `root`. Ours is the process token's user, its
// default owner for new objects (BUILTIN\Administrators for an
// administrator on Windows 2000) or LocalSystem. On a volume without
// access lists (FAT32) every account may do anything anyway and the held
// handle alone must do: such a folder passes. Only for systems that have
// the security calls; everything loaded or opened is given back.
FolderOwner ReadFolderOwner(const char* root, HANDLE pin);

#endif  // ZODERUDO_STAGING_FOLDER_OWNER_H_
