#include "os/posix/attributes-posix.h"

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

}  // namespace os_posix
