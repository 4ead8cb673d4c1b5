#ifndef ZODERUDO_STAGING_SAME_FOLDER_H_
#define ZODERUDO_STAGING_SAME_FOLDER_H_

#include "os/os.h"

// Whether two paths name one folder, by what the file system says about
// it rather than by the names: the same folder can be reached under
// several (another drive letter mapped to it, a share of it, a mount
// point, a junction).
enum FolderMatch { FolderDifferent, FolderSame, FolderUnknown };

// Reads the volume serial number and file index of `folder` into
// `identity`. False when it cannot be opened or tells no index. The handle
// opened is closed again.
bool ReadFolderIdentity(const char* folder,
                        BY_HANDLE_FILE_INFORMATION* identity);

// Whether two identities that ReadFolderIdentity read are one folder.
bool SameFolderIdentity(const BY_HANDLE_FILE_INFORMATION& first,
                        const BY_HANDLE_FILE_INFORMATION& second);

// FolderSame or FolderDifferent when both folders tell their volume serial
// number and file index; FolderUnknown when either cannot be opened or
// tells no index.
FolderMatch CompareFolders(const char* first, const char* second);

// Whether `read_back`, the name that the system gives the current folder,
// leads back into it. For a folder whose name has no exact form in the
// ANSI code page that name is a near one ("Lodz" for "Łódź"), which leads
// nowhere or to another folder that must not be copied in its place. Where
// the system cannot tell folders apart, entering is enough. The caller
// makes its own folder current again.
bool LeadsBack(const char* read_back);

#endif  // ZODERUDO_STAGING_SAME_FOLDER_H_
