#include "staging/staging-area.h"

#include <stdint.h>
#include <string.h>

#include "console/console-break.h"
#include "console/report-line.h"
#include "os/nt-calls.h"
#include "os/nt-open.h"
#include "os/os.h"
#include "staging/copy-or-delete-tree.h"
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

// The held folder: others may read and write, but not rename or remove
// it (pinned-folder.h). READ_CONTROL, the attributes and SYNCHRONIZE are
// what CreateFileA asks for on every open.
const DWORD kHeldAccess =
    FILE_LIST_DIRECTORY | READ_CONTROL | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
const DWORD kShareAllButDelete = FILE_SHARE_READ | FILE_SHARE_WRITE;

// The numbers of the names: 1 to FFFF, as Windows' own temporary names.
const DWORD kStagingNumbers = 0xFFFF;

// "X:\": a drive letter, a colon and a backslash.
bool IsDriveRoot(const char* root) {
  return ((root[0] >= 'A' && root[0] <= 'Z') ||
          (root[0] >= 'a' && root[0] <= 'z')) &&
         root[1] == ':' && root[2] == '\\' && root[3] == '\0';
}

// Writes the drive root `root`, ZRT, `number` (1 to FFFF) in upper-case
// hexadecimal without leading zeros, and .TMP into `path`
// (kStagingPathSize, room to spare for a final backslash).
void FormStagingName(const char* root, DWORD number, char* path) {
  char digits[5] = {};
  int count = number > 0xFFF ? 4 : number > 0xFF ? 3 : number > 0xF ? 2 : 1;
  for (int i = count - 1; i >= 0; --i, number >>= 4)
    digits[i] = "0123456789ABCDEF"[number & 0xF];
  memset(path, 0, kStagingPathSize);
  strcpy(path, root);
  strcat(path, kStagingPrefix);
  strcat(path, digits);
  strcat(path, kStagingExtension);
}

// Makes the folder `path`. Where the system has NtCreateFile (every
// Windows NT) the folder is made with its security and held in the same
// call, so that no other folder can ever be taken for it: `held` is its
// handle. Only where it is missing (Windows 9x) CreateDirectoryA makes
// it, bare, and `held` stays INVALID_HANDLE_VALUE; a descriptor built
// then is a fault, and nothing is made. False, with the error of the
// call, when nothing was made; ERROR_ALREADY_EXISTS or
// ERROR_DELETE_PENDING only for a name in use.
bool MakeFolder(const char* path, void* descriptor, HANDLE* held) {
  *held = NtOpen(nullptr, path, kHeldAccess, kShareAllButDelete, kNtCreate,
                 kNtDirectoryFile, descriptor);
  if (*held != INVALID_HANDLE_VALUE)
    return true;
  if (GetLastError() != ERROR_PROC_NOT_FOUND)
    return false;
  if (descriptor != nullptr)
    return false;
  return CreateDirectoryA(path, nullptr) != FALSE;
}

// Claims a name by making its folder: the tick count gives the first
// number, as for Windows' own temporary names, so that runs started
// apart begin apart; a name in use, or still held after its removal,
// moves to the next. Another account that takes names makes the search
// longer; only one that takes all of them ends it.
bool CreateStagingDirectory(const char* root, char* staging_path,
                            void* descriptor, HANDLE* held) {
  // Without the system drive there is no place for the folder: a name
  // made in "" would lie in whatever folder is current.
  if (!IsDriveRoot(root))
    return false;
  DWORD first = GetTickCount() % kStagingNumbers;
  for (DWORD tried = 0; tried < kStagingNumbers; ++tried) {
    FormStagingName(root, (first + tried) % kStagingNumbers + 1,
                    staging_path);
    if (MakeFolder(staging_path, descriptor, held)) {
      strcat(staging_path, kSeparator);
      return true;
    }
    DWORD error = GetLastError();
    if (error != ERROR_ALREADY_EXISTS && error != ERROR_DELETE_PENDING)
      break;
  }
  memset(staging_path, 0, kStagingPathSize);
  return false;
}

// A folder that CreateDirectoryA made, held only now. One that cannot be
// pinned is no staging directory: the empty one made is taken away again;
// RemoveDirectoryA takes no junction's target and no folder that holds
// anything.
HANDLE HoldMadeFolder(char* staging_path) {
  HANDLE held = PinFolder(staging_path);
  if (held == INVALID_HANDLE_VALUE) {
    RemoveDirectoryA(staging_path);
    memset(staging_path, 0, kStagingPathSize);
  }
  return held;
}

}  // namespace

int StageFiles(const char* root, char* package_directory, char* staging_path,
               HANDLE* pin) {
  *pin = INVALID_HANDLE_VALUE;
  memset(staging_path, 0, kStagingPathSize);
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
  void* descriptor = secured == StagingSecurityBuilt
                         ? security.attributes.lpSecurityDescriptor
                         : nullptr;
  HANDLE held = INVALID_HANDLE_VALUE;
  if (secured == StagingSecurityFailed ||
      !CreateStagingDirectory(root, staging_path, descriptor, &held)) {
    ReportLine("Unable to create temporary directory!");
    return 1;
  }
  if (held == INVALID_HANDLE_VALUE)
    held = HoldMadeFolder(staging_path);
  if (held == INVALID_HANDLE_VALUE) {
    ReportLine("Unable to create temporary directory!");
    return 1;
  }
  // What was copied goes while the folder is still held, then the folder:
  // a copy that fails the same way at every boot (a path too deep, a full
  // disk) would otherwise leave one more behind each time.
  int copied = CopyOrDeleteTree(package_directory, staging_path);
  if (copied != 0) {
    RemoveStagingDirectory(staging_path, held);
    if (copied == kCopyStopped) {
      ReportCancelled();
      return kStagingCancelled;
    }
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
