// GetDiskFreeSpaceA: the host file system's figures for the folder given
// (or the current drive), in clusters of 512-byte sectors, unless the
// machine fixes the answer. GetVolumeInformationA: NTFS, or FAT32 where
// the machine says the drive keeps no access lists.
#include <errno.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <string.h>

#include <string>

#include "os/posix/machine-posix.h"
#include "os/posix/paths-posix.h"
#include "os/posix/security-posix.h"

namespace {

const DWORD kBytesPerSector = 512;

DWORD Clusters(unsigned long long blocks, unsigned long long block_size,
               unsigned long long cluster_size) {
  unsigned long long clusters = blocks * block_size / cluster_size;
  return clusters > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<DWORD>(clusters);
}

DWORD HostFreeSpace(const std::string& folder, os_posix::FreeSpace* space) {
  struct statvfs fs;
  if (statvfs(folder.c_str(), &fs) != 0)
    return errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_PATH_NOT_FOUND;
  unsigned long long block = fs.f_frsize ? fs.f_frsize : fs.f_bsize;
  DWORD sectors = static_cast<DWORD>(block / kBytesPerSector);
  if (sectors == 0) sectors = 1;
  unsigned long long cluster = sectors * 1ull * kBytesPerSector;
  space->sectors_per_cluster = sectors;
  space->bytes_per_sector = kBytesPerSector;
  space->free_clusters = Clusters(fs.f_bavail, block, cluster);
  space->total_clusters = Clusters(fs.f_blocks, block, cluster);
  return ERROR_SUCCESS;
}

DWORD FreeSpaceOf(const char* root, os_posix::FreeSpace* space) {
  os_posix::HostPath where;
  DWORD error = os_posix::ResolveWindowsPath(root ? root : "\\", &where);
  if (error != ERROR_SUCCESS) return error;
  struct stat st;
  if (!where.exists || stat(where.Host().c_str(), &st) != 0 ||
      !S_ISDIR(st.st_mode)) {
    return ERROR_PATH_NOT_FOUND;
  }
  switch (os_posix::FixedFreeSpace(space)) {
    case os_posix::FreeSpaceSource::kFixed:
      return ERROR_SUCCESS;
    case os_posix::FreeSpaceSource::kFails:
      return ERROR_NOT_READY;
    default:
      return HostFreeSpace(where.Host(), space);
  }
}

void Put(DWORD value, LPDWORD out) {
  if (out) *out = value;
}

}  // namespace

BOOL WINAPI GetDiskFreeSpaceA(LPCSTR root, LPDWORD sectors_per_cluster,
                              LPDWORD bytes_per_sector, LPDWORD free_clusters,
                              LPDWORD total_clusters) {
  os_posix::TraceCall("GetDiskFreeSpaceA", root);
  if (os_posix::TakeInjectedFailure("GetDiskFreeSpaceA")) return FALSE;
  os_posix::FreeSpace space;
  DWORD error = FreeSpaceOf(root, &space);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  Put(space.sectors_per_cluster, sectors_per_cluster);
  Put(space.bytes_per_sector, bytes_per_sector);
  Put(space.free_clusters, free_clusters);
  Put(space.total_clusters, total_clusters);
  return TRUE;
}

namespace {

// The Windows rule for a name buffer: the whole name with its NUL, or
// nothing; no buffer asked for, nothing written.
bool CopyName(const char* name, LPSTR buffer, DWORD size) {
  if (buffer == nullptr) return true;
  if (size <= strlen(name)) return false;
  strcpy(buffer, name);
  return true;
}

}  // namespace

BOOL WINAPI GetVolumeInformationA(LPCSTR root, LPSTR volume_name,
                                  DWORD volume_name_size, LPDWORD serial,
                                  LPDWORD max_component_length, LPDWORD flags,
                                  LPSTR file_system_name,
                                  DWORD file_system_name_size) {
  if (os_posix::TakeInjectedFailure("GetVolumeInformationA")) return FALSE;
  const char* path = root ? root : "\\";
  size_t length = strlen(path);
  os_posix::HostPath where;
  DWORD error = length == 0 || path[length - 1] != '\\'
                    ? ERROR_INVALID_NAME
                    : os_posix::ResolveWindowsPath(path, &where);
  struct stat st;
  if (error == ERROR_SUCCESS &&
      (!where.name.empty() || stat(where.Host().c_str(), &st) != 0)) {
    error = ERROR_INVALID_NAME;  // a folder, not a drive's root
  }
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  bool acls = os_posix::DriveKeepsAccessLists(where.windows[0]);
  if (!CopyName("", volume_name, volume_name_size) ||
      !CopyName(acls ? "NTFS" : "FAT32", file_system_name,
                file_system_name_size)) {
    SetLastError(ERROR_BAD_LENGTH);
    return FALSE;
  }
  // A volume's serial: its device number, folded to 32 bits, as the file
  // handles tell it.
  uint64_t device = static_cast<uint64_t>(st.st_dev);
  Put(static_cast<DWORD>(device ^ (device >> 32)), serial);
  Put(255, max_component_length);
  Put(acls ? FILE_CASE_SENSITIVE_SEARCH | FILE_CASE_PRESERVED_NAMES |
                 FILE_UNICODE_ON_DISK | FILE_PERSISTENT_ACLS
           : FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK,
      flags);
  return TRUE;
}
