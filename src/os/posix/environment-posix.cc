// The environment: the process's own (environ), with names matched
// regardless of letter case as Windows does.
#include <ctype.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "os/posix/machine-posix.h"

namespace {

// The value of the first entry named `name` in any letter case, or null.
const char* FindValue(const char* name) {
  size_t length = strlen(name);
  if (length == 0 || strchr(name, '=')) return nullptr;
  for (char** entry = environ; *entry; ++entry) {
    if (strncasecmp(*entry, name, length) == 0 && (*entry)[length] == '=')
      return *entry + length + 1;
  }
  return nullptr;
}

// Every spelling of the name, so that a new value replaces them all.
void RemoveAll(const char* name) {
  std::vector<std::string> spellings;
  size_t length = strlen(name);
  for (char** entry = environ; *entry; ++entry) {
    if (strncasecmp(*entry, name, length) == 0 && (*entry)[length] == '=')
      spellings.emplace_back(*entry, length);
  }
  for (const std::string& spelling : spellings) unsetenv(spelling.c_str());
}

}  // namespace

// The Windows buffer rule: the length without the NUL when the value
// fits, else the size needed with the NUL and nothing written.
DWORD WINAPI GetEnvironmentVariableA(LPCSTR name, LPSTR buffer, DWORD size) {
  if (os_posix::TakeInjectedFailure("GetEnvironmentVariableA")) return 0;
  const char* value = name ? FindValue(name) : nullptr;
  if (!value) {
    SetLastError(ERROR_ENVVAR_NOT_FOUND);
    return 0;
  }
  size_t length = strlen(value);
  if (!buffer || size <= length) return static_cast<DWORD>(length + 1);
  memcpy(buffer, value, length + 1);
  return static_cast<DWORD>(length);
}

// A null value removes the variable.
BOOL WINAPI SetEnvironmentVariableA(LPCSTR name, LPCSTR value) {
  if (os_posix::TakeInjectedFailure("SetEnvironmentVariableA")) return FALSE;
  if (!name || !*name || strchr(name, '=')) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  RemoveAll(name);
  if (value && setenv(name, value, 1) != 0) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  return TRUE;
}

// The same buffer rule as Windows: on success the length without the NUL;
// a buffer too small gets nothing, and the size it needs with the NUL.
BOOL WINAPI GetComputerNameA(LPSTR buffer, LPDWORD size) {
  if (os_posix::TakeInjectedFailure("GetComputerNameA")) return FALSE;
  if (!size) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) != 0) host[0] = '\0';
  size_t length = strcspn(host, ".");
  if (length > MAX_COMPUTERNAME_LENGTH) length = MAX_COMPUTERNAME_LENGTH;
  if (!buffer || *size <= length) {
    *size = static_cast<DWORD>(length + 1);
    SetLastError(ERROR_BUFFER_OVERFLOW);
    return FALSE;
  }
  for (size_t i = 0; i < length; ++i)
    buffer[i] = static_cast<char>(toupper(static_cast<unsigned char>(host[i])));
  buffer[length] = '\0';
  *size = static_cast<DWORD>(length);
  return TRUE;
}
