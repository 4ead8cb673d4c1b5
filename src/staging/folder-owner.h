#ifndef ZODERUDO_STAGING_FOLDER_OWNER_H_
#define ZODERUDO_STAGING_FOLDER_OWNER_H_

#include "os/os.h"

// Whose a folder is that was made at a name other accounts may rename (the
// root of the system drive) and pinned only after it was made, where the
// system offers no call that makes and holds a folder in one step. Until
// the pin, another account can move the folder away and put one of its
// own, with an access list of its choosing, under the name; the pin then
// holds that one. The owner and the access list tell: a folder this run
// made belongs to its account and carries exactly the list it was given.
enum FolderOwner {
  FolderOwnedByAccount,  // ours, or a volume that keeps no access lists
  FolderOwnedByOther,    // another account's, or another list: not ours
  FolderOwnerUnknown,    // the system has security, but could not tell
};

// The owner and DACL of the folder that `pin` holds (opened with
// READ_CONTROL), on the drive whose root is `root`, read through the
// handle. Ours has the entries of `made`, the list the folder was made
// with, and no others, and is owned by the process token's user or its
// default owner for new objects (BUILTIN\Administrators for an
// administrator on Windows 2000). On a volume without access lists
// (FAT32) every account may do anything anyway and the held handle alone
// must do: such a folder passes. Only for systems that have the security
// calls; everything loaded or opened is given back.
FolderOwner CheckFolderSecurity(const char* root, HANDLE pin, const ACL* made);

#endif  // ZODERUDO_STAGING_FOLDER_OWNER_H_
