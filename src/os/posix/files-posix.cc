// Deleting files and setting their attributes, by name.
#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "os/posix/attributes-posix.h"
#include "os/posix/machine-posix.h"
#include "os/posix/paths-posix.h"

namespace {

DWORD ErrorOfUnlink(int error) {
  switch (error) {
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case EBUSY:
      return ERROR_SHARING_VIOLATION;
    default:
      return ERROR_ACCESS_DENIED;
  }
}

// The existing entry at `path`, its status not following a final link.
DWORD FindEntry(const char* path, std::string* host, struct stat* st) {
  if (!path) return ERROR_INVALID_PARAMETER;
  os_posix::HostPath target;
  DWORD error = os_posix::ResolveWindowsPath(path, &target);
  if (error != ERROR_SUCCESS) return error;
  if (!target.exists) return ERROR_FILE_NOT_FOUND;
  *host = target.Host();
  if (target.has_status) {
    *st = target.status;
    return ERROR_SUCCESS;
  }
  return lstat(host->c_str(), st) == 0 ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

// A link to a folder, which Windows lists as a folder (a junction).
bool IsFolderLink(const std::string& host, const struct stat& st) {
  struct stat target;
  return S_ISLNK(st.st_mode) && stat(host.c_str(), &target) == 0 &&
         S_ISDIR(target.st_mode);
}

// Windows deletes neither a folder nor a read-only file, whoever asks; the
// host would let its superuser do both.
DWORD DeleteEntry(const char* path) {
  std::string host;
  struct stat st;
  DWORD error = FindEntry(path, &host, &st);
  if (error != ERROR_SUCCESS) return error;
  if (S_ISDIR(st.st_mode) || IsFolderLink(host, st) ||
      (!S_ISLNK(st.st_mode) && os_posix::IsReadOnly(st)))
    return ERROR_ACCESS_DENIED;
  return unlink(host.c_str()) == 0 ? ERROR_SUCCESS : ErrorOfUnlink(errno);
}

// Only read-only is kept, as the owner's write permission, and only for
// files (a link's target). Clearing it gives the owner write permission
// back and leaves the other permissions as they are.
DWORD SetAttributes(const char* path, DWORD attributes) {
  std::string host;
  struct stat st;
  DWORD error = FindEntry(path, &host, &st);
  if (error != ERROR_SUCCESS) return error;
  // Only a link has a status of its own that differs from its target's.
  if (S_ISLNK(st.st_mode) && stat(host.c_str(), &st) != 0)
    return ERROR_FILE_NOT_FOUND;  // dangling
  if (S_ISDIR(st.st_mode)) return ERROR_SUCCESS;
  mode_t mode = st.st_mode & 07777;
  mode_t wanted = (attributes & FILE_ATTRIBUTE_READONLY)
                      ? mode & ~(S_IWUSR | S_IWGRP | S_IWOTH)
                      : mode | S_IWUSR;
  if (wanted != mode && chmod(host.c_str(), wanted) != 0)
    return ERROR_ACCESS_DENIED;
  return ERROR_SUCCESS;
}

BOOL Done(DWORD error) {
  if (error == ERROR_SUCCESS) return TRUE;
  SetLastError(error);
  return FALSE;
}

}  // namespace

BOOL WINAPI DeleteFileA(LPCSTR path) {
  os_posix::TraceCall("DeleteFileA", path);
  if (os_posix::TakeInjectedFailure("DeleteFileA")) return FALSE;
  return Done(DeleteEntry(path));
}

BOOL WINAPI SetFileAttributesA(LPCSTR path, DWORD attributes) {
  if (os_posix::TakeInjectedFailure("SetFileAttributesA")) return FALSE;
  return Done(SetAttributes(path, attributes));
}

// A link shows the attributes of what it leads to, and is a reparse point,
// as Wine shows it; a dangling one is not found.
DWORD WINAPI GetFileAttributesA(LPCSTR path) {
  if (os_posix::TakeInjectedFailure("GetFileAttributesA"))
    return INVALID_FILE_ATTRIBUTES;
  std::string host;
  struct stat st;
  DWORD error = FindEntry(path, &host, &st);
  bool link = error == ERROR_SUCCESS && S_ISLNK(st.st_mode);
  if (link && stat(host.c_str(), &st) != 0) error = ERROR_FILE_NOT_FOUND;
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return INVALID_FILE_ATTRIBUTES;
  }
  size_t slash = host.find_last_of('/');
  DWORD attributes = os_posix::AttributesOf(
      slash == std::string::npos ? host.c_str() : host.c_str() + slash + 1,
      st);
  return link ? attributes | FILE_ATTRIBUTE_REPARSE_POINT : attributes;
}
