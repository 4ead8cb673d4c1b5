// Creating and removing folders.
#include <errno.h>
#include <sys/stat.h>

#include <string>

#include "os/posix/machine-posix.h"
#include "os/posix/paths-posix.h"

namespace {

DWORD ErrorOfMkdir(int error) {
  switch (error) {
    case EEXIST:
      return ERROR_ALREADY_EXISTS;
    case EACCES:
    case EPERM:
    case EROFS:
      return ERROR_ACCESS_DENIED;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case ENOSPC:
      return ERROR_DISK_FULL;
    default:
      return ERROR_PATH_NOT_FOUND;
  }
}

}  // namespace

// Security attributes are accepted and ignored: the host folder gets the
// process's default permissions, as a folder made without them does.
BOOL WINAPI CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES) {
  if (os_posix::TakeInjectedFailure("CreateDirectoryA")) return FALSE;
  if (!path) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  os_posix::HostPath target;
  DWORD error = os_posix::ResolveWindowsPath(path, &target);
  if (error == ERROR_SUCCESS && target.name.empty())
    error = ERROR_ACCESS_DENIED;  // a drive root
  else if (error == ERROR_SUCCESS && target.exists)
    error = ERROR_ALREADY_EXISTS;
  else if (error == ERROR_SUCCESS && mkdir(target.Host().c_str(), 0777) != 0)
    error = ErrorOfMkdir(errno);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  return TRUE;
}
