#include "staging/same-folder.h"

#include <string.h>

namespace {

// The folder stays open to everyone else while its identity is read.
const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

}  // namespace

// Only backup semantics opens a folder at all; its attributes need no
// access to its contents.
bool ReadFolderIdentity(const char* folder,
                        BY_HANDLE_FILE_INFORMATION* identity) {
  memset(identity, 0, sizeof *identity);
  HANDLE handle = CreateFileA(folder, FILE_READ_ATTRIBUTES, kShareAll,
                              nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE)
    return false;
  BOOL read = GetFileInformationByHandle(handle, identity);
  CloseHandle(handle);
  // A file system that keeps no index (some network shares) says 0 for
  // every entry, which would make all its folders one.
  return read &&
         (identity->nFileIndexHigh != 0 || identity->nFileIndexLow != 0);
}

bool SameFolderIdentity(const BY_HANDLE_FILE_INFORMATION& first,
                        const BY_HANDLE_FILE_INFORMATION& second) {
  return first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
         first.nFileIndexHigh == second.nFileIndexHigh &&
         first.nFileIndexLow == second.nFileIndexLow;
}

FolderMatch CompareFolders(const char* first, const char* second) {
  BY_HANDLE_FILE_INFORMATION a;
  BY_HANDLE_FILE_INFORMATION b;
  if (!ReadFolderIdentity(first, &a) || !ReadFolderIdentity(second, &b))
    return FolderUnknown;
  return SameFolderIdentity(a, b) ? FolderSame : FolderDifferent;
}

bool LeadsBack(const char* read_back) {
  BY_HANDLE_FILE_INFORMATION entered;
  BY_HANDLE_FILE_INFORMATION reached;
  bool known = ReadFolderIdentity(".", &entered);
  if (!SetCurrentDirectoryA(read_back))
    return false;
  return !known || !ReadFolderIdentity(".", &reached) ||
         SameFolderIdentity(entered, reached);
}
