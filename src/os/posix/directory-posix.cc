// The current folder (the process's real cwd, so children inherit it) and
// the system folder.
#include <errno.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "os/posix/code-page-posix.h"
#include "os/posix/machine-posix.h"
#include "os/posix/paths-posix.h"

namespace {

// The Windows buffer rule: the length without the NUL when the string
// fits, else the size needed with the NUL and nothing written.
DWORD CopyOut(const std::string& text, char* buffer, DWORD size) {
  if (!buffer || size <= text.size())
    return static_cast<DWORD>(text.size() + 1);
  memcpy(buffer, text.c_str(), text.size() + 1);
  return static_cast<DWORD>(text.size());
}

DWORD ErrorOfChdir(int error) {
  switch (error) {
    case EACCES:
      return ERROR_ACCESS_DENIED;
    case ENOTDIR:
      return ERROR_DIRECTORY;
    default:
      return ERROR_PATH_NOT_FOUND;
  }
}

DWORD EnterFolder(const char* path, std::string* windows) {
  os_posix::HostPath target;
  DWORD error = os_posix::ResolveWindowsPath(path, &target);
  if (error != ERROR_SUCCESS) return error;
  if (!target.exists) return ERROR_FILE_NOT_FOUND;
  std::string host = target.Host();
  struct stat st;
  if (stat(host.c_str(), &st) != 0) return ERROR_FILE_NOT_FOUND;  // dangling
  if (!S_ISDIR(st.st_mode)) return ERROR_DIRECTORY;
  if (chdir(host.c_str()) != 0) return ErrorOfChdir(errno);
  *windows = target.windows;
  return ERROR_SUCCESS;
}

}  // namespace

DWORD WINAPI GetCurrentDirectoryA(DWORD size, LPSTR buffer) {
  if (os_posix::TakeInjectedFailure("GetCurrentDirectoryA")) return 0;
  std::string path;
  if (!os_posix::CurrentWindowsDirectory(&path)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return 0;
  }
  return CopyOut(os_posix::NarrowPath(path), buffer, size);
}

BOOL WINAPI SetCurrentDirectoryA(LPCSTR path) {
  os_posix::TraceCall("SetCurrentDirectoryA", path);
  if (os_posix::TakeInjectedFailure("SetCurrentDirectoryA")) return FALSE;
  if (!path || !*path) {
    SetLastError(path ? ERROR_INVALID_NAME : ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::string windows;
  DWORD error = EnterFolder(path, &windows);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  os_posix::RememberCurrentDirectory(windows, os_posix::HostCurrentDirectory());
  return TRUE;
}

UINT WINAPI GetSystemDirectoryA(LPSTR buffer, UINT size) {
  if (os_posix::TakeInjectedFailure("GetSystemDirectoryA")) return 0;
  std::string path;
  if (!os_posix::SystemDirectory(&path)) {
    SetLastError(ERROR_GEN_FAILURE);
    return 0;
  }
  return CopyOut(path, buffer, size);
}
