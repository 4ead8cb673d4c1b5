// CopyFileA: the bytes, the read-only attribute and the time of the last
// write go to the new file, as on Windows.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "os/posix/attributes-posix.h"
#include "os/posix/copy-data-posix.h"
#include "os/posix/machine-posix.h"
#include "os/posix/paths-posix.h"

namespace {

DWORD ErrorOfOpen(int error) {
  switch (error) {
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case EEXIST:
      return ERROR_FILE_EXISTS;
    case ENOSPC:
    case EDQUOT:
      return ERROR_DISK_FULL;
    case EMFILE:
    case ENFILE:
      return ERROR_TOO_MANY_OPEN_FILES;
    default:
      return ERROR_ACCESS_DENIED;
  }
}

DWORD ErrorOfCopy(int error) {
  return error == ENOSPC || error == EDQUOT ? ERROR_DISK_FULL
                                            : ERROR_GEN_FAILURE;
}

// The source: an existing file that can be read.
DWORD OpenSource(const char* path, int* fd, struct stat* st) {
  os_posix::HostPath source;
  DWORD error = os_posix::ResolveWindowsPath(path, &source);
  if (error != ERROR_SUCCESS) return error;
  if (!source.exists) return ERROR_FILE_NOT_FOUND;
  *fd = open(source.Host().c_str(), O_RDONLY | O_CLOEXEC);
  if (*fd < 0) return ErrorOfOpen(errno);
  if (fstat(*fd, st) == 0 && S_ISREG(st->st_mode)) return ERROR_SUCCESS;
  close(*fd);
  return ERROR_ACCESS_DENIED;  // a folder, or nothing a file can be made of
}

// Windows refuses to replace a folder, a read-only or a hidden file, and a
// file by itself (which it holds open as the source).
DWORD CheckReplaced(const struct stat& target, const char* name,
                    const struct stat& source) {
  if (target.st_dev == source.st_dev && target.st_ino == source.st_ino)
    return ERROR_SHARING_VIOLATION;
  if (S_ISDIR(target.st_mode) || os_posix::IsReadOnly(target) ||
      os_posix::IsHiddenName(name)) {
    return ERROR_ACCESS_DENIED;
  }
  return ERROR_SUCCESS;
}

// The new file, empty, with the source's permissions; an existing one is
// replaced unless `fail_if_exists`.
DWORD OpenTarget(const char* path, bool fail_if_exists,
                 const struct stat& source, int* fd, std::string* host) {
  os_posix::HostPath target;
  DWORD error = os_posix::ResolveWindowsPath(path, &target);
  if (error != ERROR_SUCCESS) return error;
  if (target.name.empty()) return ERROR_ACCESS_DENIED;  // a drive root
  *host = target.Host();
  int flags = O_WRONLY | O_CREAT | O_CLOEXEC;
  struct stat st = target.status;
  bool known = target.has_status && !S_ISLNK(st.st_mode);
  if (!target.exists || fail_if_exists) {
    flags |= O_EXCL;
  } else if (known || stat(host->c_str(), &st) == 0) {
    error = CheckReplaced(st, target.name.c_str(), source);
    if (error != ERROR_SUCCESS) return error;
    flags |= O_TRUNC;
  }
  *fd = open(host->c_str(), flags, source.st_mode & 0777);
  return *fd < 0 ? ErrorOfOpen(errno) : ERROR_SUCCESS;
}

// An existing file keeps its permissions when opened: make it read-only
// like the source, and give it the source's time of the last write.
int FinishTarget(int fd, const struct stat& source) {
  struct stat st;
  if (os_posix::IsReadOnly(source) && fstat(fd, &st) == 0 &&
      !os_posix::IsReadOnly(st) &&
      fchmod(fd, st.st_mode & ~(S_IWUSR | S_IWGRP | S_IWOTH) & 07777) != 0) {
    return errno;
  }
  const struct timespec times[2] = {{0, UTIME_OMIT}, source.st_mtim};
  return futimens(fd, times) == 0 ? 0 : errno;
}

DWORD Copy(const char* existing, const char* new_name, bool fail_if_exists) {
  if (!existing || !new_name) return ERROR_INVALID_PARAMETER;
  int from = -1;
  struct stat source;
  DWORD error = OpenSource(existing, &from, &source);
  if (error != ERROR_SUCCESS) return error;
  int to = -1;
  std::string host;
  error = OpenTarget(new_name, fail_if_exists, source, &to, &host);
  if (error == ERROR_SUCCESS) {
    int failure = os_posix::CopyData(from, to, static_cast<uint64_t>(source.st_size));
    if (failure == 0) failure = FinishTarget(to, source);
    if (close(to) != 0 && failure == 0) failure = errno;
    // What is left of a failed copy is no copy: Windows removes it too.
    if (failure != 0) {
      unlink(host.c_str());
      error = ErrorOfCopy(failure);
    }
  }
  close(from);
  return error;
}

}  // namespace

BOOL WINAPI CopyFileA(LPCSTR existing, LPCSTR new_name, BOOL fail_if_exists) {
  os_posix::TraceCall("CopyFileA", new_name);
  if (os_posix::TakeInjectedFailure("CopyFileA")) return FALSE;
  DWORD error = Copy(existing, new_name, fail_if_exists != FALSE);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  return TRUE;
}
