#ifndef ZODERUDO_STAGING_SAME_FOLDER_H_
#define ZODERUDO_STAGING_SAME_FOLDER_H_

// Whether two paths name one folder, by what the file system says about
// it rather than by the names: the same folder can be reached under
// several (another drive letter mapped to it, a share of it, a mount
// point).
enum FolderMatch { FolderDifferent, FolderSame, FolderUnknown };

// FolderSame or FolderDifferent when both folders tell their volume serial
// number and file index; FolderUnknown when either cannot be opened or
// tells no index. Every handle opened is closed again.
FolderMatch CompareFolders(const char* first, const char* second);

#endif  // ZODERUDO_STAGING_SAME_FOLDER_H_
