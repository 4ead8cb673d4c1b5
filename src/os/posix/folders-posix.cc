// Creating and removing folders.
#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "os/posix/handles-posix.h"
#include "os/posix/machine-posix.h"
#include "os/posix/paths-posix.h"
#include "os/posix/security-posix.h"

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

DWORD ErrorOfRmdir(int error) {
  switch (error) {
    case ENOTEMPTY:
    case EEXIST:
      return ERROR_DIR_NOT_EMPTY;
    case ENOTDIR:
      return ERROR_DIRECTORY;
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case EBUSY:
      return ERROR_SHARING_VIOLATION;
    default:
      return ERROR_ACCESS_DENIED;
  }
}

// Windows keeps the current folder open, so it cannot be removed.
bool IsCurrentFolder(const struct stat& st) {
  struct stat current;
  return stat(".", &current) == 0 && current.st_dev == st.st_dev &&
         current.st_ino == st.st_ino;
}

// A link to a folder is what Windows calls a junction: removing it leaves
// the folder it leads to as it is.
DWORD RemoveFolderLink(const std::string& host) {
  struct stat target;
  if (stat(host.c_str(), &target) != 0 || !S_ISDIR(target.st_mode))
    return ERROR_DIRECTORY;
  return unlink(host.c_str()) == 0 ? ERROR_SUCCESS : ErrorOfRmdir(errno);
}

DWORD RemoveFolder(const char* path) {
  os_posix::HostPath target;
  DWORD error = os_posix::ResolveWindowsPath(path, &target);
  if (error != ERROR_SUCCESS) return error;
  if (target.name.empty()) return ERROR_ACCESS_DENIED;  // a drive root
  if (!target.exists) return ERROR_FILE_NOT_FOUND;
  std::string host = target.Host();
  struct stat st = target.status;
  if (!target.has_status && lstat(host.c_str(), &st) != 0)
    return ERROR_FILE_NOT_FOUND;
  if (S_ISLNK(st.st_mode)) return RemoveFolderLink(host);
  if (!S_ISDIR(st.st_mode)) return ERROR_DIRECTORY;
  if (IsCurrentFolder(st) || os_posix::HeldAgainstDelete(st))
    return ERROR_SHARING_VIOLATION;
  if (rmdir(host.c_str()) != 0) return ErrorOfRmdir(errno);
  return ERROR_SUCCESS;
}

}  // namespace

// A security descriptor is read and kept for HostMadeFolderSecurity, not
// enforced: the host folder gets the process's default permissions.
BOOL WINAPI CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES attributes) {
  os_posix::TraceCall("CreateDirectoryA", path);
  if (os_posix::TakeInjectedFailure("CreateDirectoryA")) return FALSE;
  if (!path) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  HostFolderSecurity security;
  const void* descriptor = attributes ? attributes->lpSecurityDescriptor
                                      : nullptr;
  os_posix::HostPath target;
  DWORD error = descriptor
                    ? os_posix::ReadFolderSecurity(descriptor, &security)
                    : ERROR_SUCCESS;
  if (error == ERROR_SUCCESS)
    error = os_posix::ResolveWindowsPath(path, &target);
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
  os_posix::KeepFolderSecurity(target.windows,
                               descriptor ? &security : nullptr);
  os_posix::RecordMadeFolder(target.windows);
  return TRUE;
}

BOOL WINAPI RemoveDirectoryA(LPCSTR path) {
  os_posix::TraceCall("RemoveDirectoryA", path);
  if (os_posix::TakeInjectedFailure("RemoveDirectoryA")) return FALSE;
  if (!path) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  DWORD error = RemoveFolder(path);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  return TRUE;
}
