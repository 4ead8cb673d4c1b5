// GetDiskFreeSpaceA: the host file system's figures for the folder given
// (or the current drive), in clusters of 512-byte sectors, unless the
// machine fixes the answer.
#include <errno.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <string.h>

#include <string>

#include "os/posix/machine-posix.h"
#include "os/posix/paths-posix.h"

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
