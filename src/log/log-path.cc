#include "log/log-path.h"

#include <string.h>

#include "os/os.h"

static_assert(kLongestLogDrive == 114, "room for systemdrive in the path");

namespace {

const char kDriveVariable[] = "systemdrive";
const unsigned kDriveLength = 2;  // "C:"

// The drive of the system directory, "C:" from "C:\WINDOWS\system32".
bool SystemDrive(char* drive) {
  char system_directory[MAX_PATH];
  memset(system_directory, 0, sizeof system_directory);
  UINT length = GetSystemDirectoryA(system_directory, sizeof system_directory);
  if (length < kDriveLength || length >= sizeof system_directory)
    return false;
  memcpy(drive, system_directory, kDriveLength);
  return true;
}

}  // namespace

bool MakeLogFolderPath(char* path) {
  memset(path, 0, kLogPathSize);
  // A value too long for this buffer is not written; its needed size,
  // larger than the longest drive, comes back instead.
  DWORD length =
      GetEnvironmentVariableA(kDriveVariable, path, kLongestLogDrive + 1);
  if (length > kLongestLogDrive) {
    memset(path, 0, kLogPathSize);
    return false;
  }
  if (length == 0 && !SystemDrive(path))
    return false;
  strcat(path, kLogFolder);
  return true;
}
