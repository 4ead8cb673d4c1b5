// The machine's ANSI code page: which bytes begin a double-byte character,
// and the narrow names that stand for host names with no exact form in it.
#ifndef ZODERUDO_OS_POSIX_CODE_PAGE_POSIX_H_
#define ZODERUDO_OS_POSIX_CODE_PAGE_POSIX_H_

#include <stddef.h>

#include <string>

#include "os/posix/win32-posix.h"

namespace os_posix {

// Whether `byte` begins a double-byte character in `code_page`.
bool IsLeadByteIn(UINT code_page, BYTE byte);

// The bytes of the character at `text` in `code_page`: 2 for a lead byte
// with a byte behind it, 1 for any other byte, 0 at the end.
inline size_t CharacterLengthIn(UINT code_page, const char* text) {
  if (!*text) return 0;
  return IsLeadByteIn(code_page, static_cast<BYTE>(*text)) && text[1] ? 2 : 1;
}

bool IsSeparator(char c);

// The last \ or / of `path` that is a character of its own, or null.
const char* LastSeparator(UINT code_page, const char* path);

// Whether the last character of `path` is a separator.
bool EndsWithSeparator(UINT code_page, const char* path);

// What the system's narrow calls show for a host name: the name set with
// HostSetNarrowName, else the name itself. NarrowPath does it for every
// name of a Windows path.
std::string NarrowName(const std::string& host_name);
std::string NarrowPath(const std::string& windows_path);

}  // namespace os_posix

#endif  // ZODERUDO_OS_POSIX_CODE_PAGE_POSIX_H_
