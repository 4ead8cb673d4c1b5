#include "staging/same-folder.h"

#include <string.h>

#include "os/os.h"

namespace {

// The folder stays open to everyone else while its identity is read.
const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Only backup semantics opens a folder at all; its attributes need no
// access to its contents.
bool ReadIdentity(const char* path, BY_HANDLE_FILE_INFORMATION* identity) {
  memset(identity, 0, sizeof *identity);
  HANDLE folder = CreateFileA(path, FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                              nullptr);
  if (folder == INVALID_HANDLE_VALUE)
    return false;
  BOOL read = GetFileInformationByHandle(folder, identity);
  CloseHandle(folder);
  // A file system that keeps no index (some network shares) says 0 for
  // every entry, which would make all its folders one.
  return read &&
         (identity->nFileIndexHigh != 0 || identity->nFileIndexLow != 0);
}

}  // namespace

FolderMatch CompareFolders(const char* first, const char* second) {
  BY_HANDLE_FILE_INFORMATION a;
  BY_HANDLE_FILE_INFORMATION b;
  if (!ReadIdentity(first, &a) || !ReadIdentity(second, &b))
    return FolderUnknown;
  return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
                 a.nFileIndexHigh == b.nFileIndexHigh &&
                 a.nFileIndexLow == b.nFileIndexLow
             ? FolderSame
             : FolderDifferent;
}
