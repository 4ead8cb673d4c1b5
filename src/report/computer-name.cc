#include "report/computer-name.h"

#include <string.h>

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// ASCII letters compared without regard to case: names of files on any
// Windows, whatever the code page.
bool SameNameNoCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    char x = *a >= 'A' && *a <= 'Z' ? static_cast<char>(*a + 32) : *a;
    char y = *b >= 'A' && *b <= 'Z' ? static_cast<char>(*b + 32) : *b;
    if (x != y)
      return false;
    if (x == '\0')
      return true;
  }
}

void CopyCut(const char* begin, size_t length, char* computer) {
  if (length >= kComputerSize)
    length = kComputerSize - 1;
  memcpy(computer, begin, length);
  computer[length] = '\0';
}

}  // namespace

const char* LastNameOf(const char* path) {
  const char* name = path;
  for (const char* p = path; *p != '\0';) {
    if (IsDBCSLeadByte(static_cast<BYTE>(*p)) && p[1] != '\0') {
      p += 2;
      continue;
    }
    if (IsSeparator(*p))
      name = p + 1;
    ++p;
  }
  return name;
}

void ComputerOfLog(const char* path, char* computer) {
  memset(computer, 0, kComputerSize);
  const char* name = LastNameOf(path);
  if (SameNameNoCase(name, "ZR.log")) {
    if (IsSeparator(path[0]) && IsSeparator(path[1])) {
      // \\SERVER\share\...: the server's name ends at the next separator,
      // which no double-byte character hides in a NetBIOS name.
      const char* server = path + 2;
      size_t length = 0;
      while (server[length] != '\0' && !IsSeparator(server[length]))
        ++length;
      CopyCut(server, length, computer);
      return;
    }
    DWORD size = kComputerSize;
    if (!GetComputerNameA(computer, &size))
      computer[0] = '\0';
    return;
  }
  const char* dot = strrchr(name, '.');
  // A name that is all extension (".log") keeps it: it names something.
  size_t length = dot != nullptr && dot != name
                      ? static_cast<size_t>(dot - name)
                      : strlen(name);
  CopyCut(name, length, computer);
}
