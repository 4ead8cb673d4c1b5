#include "staging/pinned-folder.h"

#include <string.h>

#include "staging/path-characters.h"
#include "staging/same-folder.h"

namespace {

// Others may read and write, but not rename or remove. Reading a listing
// is a right that share modes count; reading attributes alone is not, and
// would pin nothing.
const DWORD kShareAllButDelete = FILE_SHARE_READ | FILE_SHARE_WRITE;

// A final backslash makes some systems follow a link to its target where
// they would show the link itself: the checks take the name without it.
bool WithoutFinalSeparator(const char* path, char* name) {
  memset(name, 0, MAX_PATH);
  size_t length = strlen(path);
  if (length >= MAX_PATH)
    return false;
  memcpy(name, path, length);
  if (length > 1 && name[length - 1] == '\\')
    name[length - 1] = '\0';
  return true;
}

bool IsPlainFolder(DWORD attributes) {
  // INVALID_FILE_ATTRIBUTES has every bit set: never plain.
  return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

// READ_CONTROL lets the owner be read through the handle.
//
// Windows shows a link on a handle opened on the link itself; Wine shows
// it only on the name, a handle following it to its target. Both are
// asked, the name while the handle holds it.
HANDLE PinFolder(const char* path) {
  char name[MAX_PATH];
  if (!WithoutFinalSeparator(path, name))
    return INVALID_HANDLE_VALUE;
  HANDLE pin =
      CreateFileA(name, FILE_LIST_DIRECTORY | READ_CONTROL, kShareAllButDelete,
                  nullptr, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                  nullptr);
  if (pin == INVALID_HANDLE_VALUE)
    return INVALID_HANDLE_VALUE;
  BY_HANDLE_FILE_INFORMATION held;
  if (!GetFileInformationByHandle(pin, &held) ||
      !IsPlainFolder(held.dwFileAttributes) ||
      !IsPlainFolder(GetFileAttributesA(name))) {
    CloseHandle(pin);
    return INVALID_HANDLE_VALUE;
  }
  return pin;
}

bool IsPinnedFolder(const char* path, HANDLE pin) {
  char name[MAX_PATH];
  BY_HANDLE_FILE_INFORMATION held;
  if (!WithoutFinalSeparator(path, name) ||
      !IsPlainFolder(GetFileAttributesA(name)) ||
      !GetFileInformationByHandle(pin, &held)) {
    return false;
  }
  if (held.nFileIndexHigh == 0 && held.nFileIndexLow == 0)
    return true;
  BY_HANDLE_FILE_INFORMATION found;
  return ReadFolderIdentity(name, &found) && SameFolderIdentity(held, found);
}
