#include "staging/staging-area.h"

#include <stdint.h>
#include <string.h>

#include "console/report-line.h"
#include "os/nt-calls.h"
#include "os/nt-open.h"
#include "os/os.h"
#include "staging/copy-or-delete-tree.h"
#include "staging/folder-owner.h"
#include "staging/pinned-folder.h"
#include "staging/staging-security.h"

namespace {

const char kSeparator[] = "\\";

// Sectors per cluster times bytes per sector times free clusters is at
// least kFreeSpaceNeeded. The product of three 32-bit values can overflow
// even 64 bits, so the free clusters are compared with the clusters needed.
bool EnoughFreeSpace(DWORD sectors_per_cluster, DWORD bytes_per_sector,
                     DWORD free_clusters) {
  uint64_t cluster_bytes =
      static_cast<uint64_t>(sectors_per_cluster) * bytes_per_sector;
  if (cluster_bytes == 0)
    return false;
  uint64_t clusters_needed = kFreeSpaceNeeded / cluster_bytes +
                             (kFreeSpaceNeeded % cluster_bytes != 0 ? 1 : 0);
  return free_clusters >= clusters_needed;
}

// Another run started at the same moment can be handed the same name: the
// file that reserved it is gone again at once. Making the folder is the one
// claim that no two runs can share, so a name found taken by then (another
// run's folder, or its reservation file) is exchanged for a fresh one. So
// is a name still held: an on-access scanner that has the reservation file
// open keeps it "delete pending" for a moment, and the folder is refused
// with ERROR_ACCESS_DENIED; the root itself took the reservation, so it is
// writable.
const int kStagingAttempts = 16;

bool NameTakenOrHeld(DWORD error) {
  return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ||
         error == ERROR_ACCESS_DENIED;
}

// The held folder: others may read and write, but not rename or remove
// it (pinned-folder.h). READ_CONTROL lets its owner be read; the
// attributes and SYNCHRONIZE are what CreateFileA asks for on every open.
const DWORD kHeldAccess =
    FILE_LIST_DIRECTORY | READ_CONTROL | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
const DWORD kShareAllButDelete = FILE_SHARE_READ | FILE_SHARE_WRITE;

// Makes the folder. Where the system has NtCreateFile (every Windows NT)
// the folder is made with its security and held in the same call, so
// that no other folder can ever be taken for it: `held` is its handle.
// Elsewhere CreateDirectoryA makes it, and `held` stays
// INVALID_HANDLE_VALUE for the caller to pin it and check what it pinned.
bool MakeFolder(const char* path, SECURITY_ATTRIBUTES* security,
                HANDLE* held) {
  *held = NtOpen(nullptr, path, kHeldAccess, kShareAllButDelete, kNtCreate,
                 kNtDirectoryFile,
                 security != nullptr ? security->lpSecurityDescriptor
                                     : nullptr);
  if (*held != INVALID_HANDLE_VALUE)
    return true;
  if (GetLastError() != ERROR_PROC_NOT_FOUND)
    return false;
  return CreateDirectoryA(path, security) != FALSE;
}

bool CreateStagingDirectory(const char* root, char* staging_path,
                            SECURITY_ATTRIBUTES* security, HANDLE* held) {
  // Without a name reserved at the start the path is "\", the root of the
  // current drive, which always exists: no name that another run took, so
  // no fresh one is asked for.
  bool reserved = strcmp(staging_path, kSeparator) != 0;
  for (int attempt = 0; attempt < kStagingAttempts; ++attempt) {
    if (MakeFolder(staging_path, security, held))
      return true;
    DWORD error = GetLastError();
    // Without a root there is nowhere to ask for another name: a name
    // asked for in "" would lie in whatever folder is current.
    if (!NameTakenOrHeld(error) || !reserved || root[0] == '\0')
      return false;
    MakeStagingPath(root, kStagingPrefix, staging_path);
    if (staging_path[0] == '\0' ||
        strlen(staging_path) + strlen(kSeparator) >= kStagingPathSize) {
      return false;
    }
    strcat(staging_path, kSeparator);
  }
  return false;
}

// A folder that CreateDirectoryA made, held only now: until then another
// account may have put something else in its place, and a folder that
// cannot be pinned is no staging directory. The empty one made is taken
// away again; RemoveDirectoryA takes no junction's target and no folder
// that holds anything. INVALID_HANDLE_VALUE for any folder but ours.
HANDLE HoldMadeFolder(const char* root, const char* staging_path,
                      const StagingSecurity* security) {
  HANDLE held = PinFolder(staging_path);
  // A folder held may still be another account's, or one that others may
  // write, moved in before the pin: that one is not touched at all, and no
  // fresh name is tried: an account that swapped one name can swap the
  // next, and a run that gives up says so. One
  // whose security cannot be read is taken for the one made, and goes as
  // an unpinned one does. Without security (Windows 9x) no folder has an
  // owner to ask.
  FolderOwner owner = FolderOwnedByAccount;
  if (held != INVALID_HANDLE_VALUE && security != nullptr) {
    owner = CheckFolderSecurity(root, held,
                                reinterpret_cast<const ACL*>(security->acl));
  }
  if (held == INVALID_HANDLE_VALUE || owner != FolderOwnedByAccount) {
    if (held != INVALID_HANDLE_VALUE)
      CloseHandle(held);
    if (owner != FolderOwnedByOther)
      RemoveDirectoryA(staging_path);
    return INVALID_HANDLE_VALUE;
  }
  // One of our own, but not the one just made: an earlier run's copy that
  // another account moved in under the new name. Its files would mix with
  // this package's; it is left as it is.
  if (!HoldsNothing(staging_path)) {
    CloseHandle(held);
    return INVALID_HANDLE_VALUE;
  }
  return held;
}

}  // namespace

void MakeStagingPath(const char* directory, const char* prefix,
                     char* staging_path) {
  memset(staging_path, 0, kStagingPathSize);
  // The system writes up to MAX_PATH characters, as many as the buffer has.
  static_assert(kStagingPathSize >= MAX_PATH, "room for any temporary name");
  if (GetTempFileNameA(directory, prefix, 0, staging_path) == 0) {
    memset(staging_path, 0, kStagingPathSize);
    return;
  }
  DeleteFileA(staging_path);
}

int StageFiles(const char* root, char* package_directory, char* staging_path,
               HANDLE* pin) {
  *pin = INVALID_HANDLE_VALUE;
  DWORD sectors_per_cluster = 0;
  DWORD bytes_per_sector = 0;
  DWORD free_clusters = 0;
  DWORD total_clusters = 0;
  if (!GetDiskFreeSpaceA(root, &sectors_per_cluster, &bytes_per_sector,
                         &free_clusters, &total_clusters)) {
    ReportLine("Unable to determine if enough free space to copy files.");
    return 1;
  }
  if (!EnoughFreeSpace(sectors_per_cluster, bytes_per_sector, free_clusters)) {
    ReportLine("Not enough disk space to copy necessary files.");
    return 1;
  }
  // A folder that others may write is no place to run the update from:
  // without its descriptor, where the system has one, none is made.
  StagingSecurity security;
  StagingSecurityOutcome secured = BuildStagingSecurity(&security);
  bool secure = secured == StagingSecurityBuilt;
  HANDLE held = INVALID_HANDLE_VALUE;
  if (secured == StagingSecurityFailed ||
      !CreateStagingDirectory(root, staging_path,
                              secure ? &security.attributes : nullptr,
                              &held)) {
    ReportLine("Unable to create temporary directory!");
    return 1;
  }
  if (held == INVALID_HANDLE_VALUE)
    held = HoldMadeFolder(root, staging_path, secure ? &security : nullptr);
  if (held == INVALID_HANDLE_VALUE) {
    ReportLine("Unable to create temporary directory!");
    return 1;
  }
  // What was copied goes while the folder is still held, then the folder:
  // a copy that fails the same way at every boot (a path too deep, a full
  // disk) would otherwise leave one more behind each time.
  if (CopyOrDeleteTree(package_directory, staging_path) != 0) {
    RemoveStagingDirectory(staging_path, held);
    ReportLine("Unable to copy update files to the hard drive.");
    return 1;
  }
  *pin = held;
  return 0;
}

void RemoveStagingDirectory(char* staging_path, HANDLE pin) {
  // Walked by name, a folder or a link that another account put in place
  // of the copy would lose its contents, with the installer's rights.
  if (!IsPinnedFolder(staging_path, pin) ||
      CopyOrDeleteTree(staging_path, nullptr) != 0) {
    CloseHandle(pin);
    ReportLine("Could not delete files from temporary directory.");
    return;
  }
  // The pin would keep the folder itself from being removed. Whatever is
  // put in place of the emptied folder once it is let go loses nothing:
  // RemoveDirectoryA takes no junction's target and no folder that holds
  // anything.
  CloseHandle(pin);
  if (!RemoveDirectoryA(staging_path))
    ReportLine("Could not remove temporary directory", staging_path);
}
