// GetTempFileNameA: PATH\PREuuuu.TMP, with up to three characters of the
// prefix and the number in hexadecimal. Asked for number 0, the call picks
// one from the clock, counts up past names that exist and creates the
// empty file of the first free one.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <string>

#include "os/posix/code-page-posix.h"
#include "os/posix/machine-posix.h"
#include "os/posix/paths-posix.h"

namespace {

const size_t kPrefixLength = 3;

// The number last handed out: a caller asking again soon after gets the
// next one instead of meeting its own file.
std::atomic<UINT> last_number{0};

UINT StartingNumber() {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  UINT number = static_cast<UINT>(now.tv_sec * 1000 + now.tv_nsec / 1000000) &
                0xFFFF;
  UINT last = last_number.load();
  if (last - number < 10) number = last + 1;
  number &= 0xFFFF;
  return number ? number : 1;
}

bool IsFolder(const char* path) {
  os_posix::HostPath folder;
  struct stat st;
  return os_posix::ResolveWindowsPath(path, &folder) == ERROR_SUCCESS &&
         folder.exists && stat(folder.Host().c_str(), &st) == 0 &&
         S_ISDIR(st.st_mode);
}

// Creates the file named by `path`; ERROR_FILE_EXISTS when it is there.
DWORD CreateNew(const char* path) {
  os_posix::HostPath target;
  DWORD error = os_posix::ResolveWindowsPath(path, &target);
  if (error != ERROR_SUCCESS) return error;
  if (target.exists) return ERROR_FILE_EXISTS;
  int fd = open(target.Host().c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                0666);
  if (fd >= 0) {
    close(fd);
    return ERROR_SUCCESS;
  }
  switch (errno) {
    case EEXIST:
      return ERROR_FILE_EXISTS;
    case ENOSPC:
    case EDQUOT:
      return ERROR_DISK_FULL;
    default:
      return ERROR_ACCESS_DENIED;
  }
}

// The name for `number` (at most FFFF) after the folder and prefix already
// in `name`, a buffer of MAX_PATH characters.
void PutNumber(char* name, size_t stem, UINT number) {
  snprintf(name + stem, MAX_PATH - stem, "%X.TMP", number & 0xFFFF);
}

}  // namespace

UINT WINAPI GetTempFileNameA(LPCSTR path, LPCSTR prefix, UINT unique,
                             LPSTR buffer) {
  os_posix::TraceCall("GetTempFileNameA", path);
  if (os_posix::TakeInjectedFailure("GetTempFileNameA")) return 0;
  if (!path || !buffer) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  // As under Wine: anything but an existing folder is ERROR_DIRECTORY.
  if (!IsFolder(path)) {
    SetLastError(ERROR_DIRECTORY);
    return 0;
  }
  // The documented limit: room for "\PREuuuu.TMP" and then some.
  char name[MAX_PATH];
  size_t stem = strlen(path);
  if (stem > MAX_PATH - 14) {
    SetLastError(ERROR_BUFFER_OVERFLOW);
    return 0;
  }
  memcpy(name, path, stem);
  name[stem] = '\0';
  if (!os_posix::EndsWithSeparator(os_posix::AnsiCodePage(), name) ||
      name[stem - 1] == '/')
    name[stem++] = '\\';
  for (size_t i = 0; prefix && i < kPrefixLength && prefix[i]; ++i)
    name[stem++] = prefix[i];

  unique &= 0xFFFF;
  if (unique != 0) {
    PutNumber(name, stem, unique);
  } else {
    UINT first = StartingNumber();
    unique = first;
    for (;;) {
      PutNumber(name, stem, unique);
      DWORD error = CreateNew(name);
      if (error == ERROR_SUCCESS) break;
      unique = (unique & 0xFFFF) == 0xFFFF ? 1 : unique + 1;
      if (error != ERROR_FILE_EXISTS || unique == first) {
        SetLastError(error);
        return 0;
      }
    }
    last_number.store(unique);
  }
  memcpy(buffer, name, strlen(name) + 1);
  return unique;
}
