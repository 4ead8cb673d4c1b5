#include "staging/staging-area.h"

#include <stdint.h>
#include <string.h>

#include "os/os.h"
#include "run/report-line.h"
#include "staging/copy-or-delete-tree.h"

namespace {

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

int StageFiles(const char* root, char* package_directory,
               const char* staging_path) {
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
  if (!CreateDirectoryA(staging_path, nullptr)) {
    ReportLine("Unable to create temporary directory!");
    return 1;
  }
  if (CopyOrDeleteTree(package_directory, staging_path) != 0) {
    ReportLine("Unable to copy update files to the hard drive.");
    return 1;
  }
  return 0;
}
