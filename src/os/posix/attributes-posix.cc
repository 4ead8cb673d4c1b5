#include "os/posix/attributes-posix.h"

#include <stdint.h>
#include <string.h>

namespace os_posix {

bool IsHiddenName(const char* name) {
  return name[0] == '.' && strcmp(name, ".") != 0 && strcmp(name, "..") != 0;
}

bool IsReadOnly(const struct stat& st) { return !(st.st_mode & S_IWUSR); }

DWORD AttributesOf(const char* name, const struct stat& st) {
  DWORD attributes =
      S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  if (IsReadOnly(st)) attributes |= FILE_ATTRIBUTE_READONLY;
  if (IsHiddenName(name)) attributes |= FILE_ATTRIBUTE_HIDDEN;
  return attributes;
}

FILETIME FileTimeOf(const struct timespec& t) {
  uint64_t ticks =
      (static_cast<uint64_t>(t.tv_sec) + 11644473600ull) * 10000000ull +
      static_cast<uint64_t>(t.tv_nsec) / 100;
  return {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

}  // namespace os_posix
