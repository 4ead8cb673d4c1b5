#include "report/computer-name.h"

#include <string.h>

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// ASCII letters compared without regard to case: names of files on any
// Windows, whatever the code page.
bool SameNameNoCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    char x = LowerAscii(*a);
    char y = LowerAscii(*b);
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

namespace {

// Where each separator of `path` is, up to kComputerSize of them (a path
// has fewer); returns how many.
unsigned FindSeparators(const char* path, size_t* at) {
  unsigned count = 0;
  for (size_t i = 0; path[i] != '\0' && count < kComputerSize;) {
    if (IsDBCSLeadByte(static_cast<BYTE>(path[i])) && path[i + 1] != '\0') {
      i += 2;
      continue;
    }
    if (IsSeparator(path[i]))
      at[count++] = i;
    ++i;
  }
  return count;
}

// The computer of a ZR.log: the folder above it names the PC whose log
// was copied there, a folder ZRLOG above it stands for the PC's own log
// folder, and a log at the root of a share or drive is that PC's.
void ComputerOfZrLog(const char* path, char* computer) {
  size_t at[kComputerSize];
  unsigned count = FindSeparators(path, at);
  // The separator that ends the folder above the file, if any.
  int folder_end = static_cast<int>(count) - 1;
  if (folder_end >= 0) {
    size_t start = folder_end > 0 ? at[folder_end - 1] + 1 : 0;
    size_t length = at[folder_end] - start;
    char name[kComputerSize];
    CopyCut(path + start, length, name);
    if (SameNameNoCase(name, "ZRLOG"))
      --folder_end;
  }
  // \\HOST\SHARE\...: separators 0 and 1 begin it, 2 ends the host and
  // 3 the share.
  bool network = count >= 2 && at[0] == 0 && at[1] == 1;
  if (network && folder_end <= 3) {
    size_t end = count > 2 ? at[2] : strlen(path);
    CopyCut(path + 2, end - 2, computer);
    return;
  }
  size_t start = folder_end > 0 ? at[folder_end - 1] + 1 : 0;
  size_t length = folder_end >= 0 ? at[folder_end] - start : 0;
  bool drive = length == 2 && path[start + 1] == ':';
  if (!network && (length == 0 || drive)) {
    // A drive's root or a folder of this PC: the log zrreport's own PC
    // keeps.
    DWORD size = kComputerSize;
    if (!GetComputerNameA(computer, &size))
      computer[0] = '\0';
    return;
  }
  CopyCut(path + start, length, computer);
}

}  // namespace

void ComputerOfLog(const char* path, char* computer) {
  memset(computer, 0, kComputerSize);
  const char* name = LastNameOf(path);
  if (SameNameNoCase(name, "ZR.log")) {
    ComputerOfZrLog(path, computer);
    return;
  }
  const char* dot = strrchr(name, '.');
  // A name that is all extension (".log") keeps it: it names something.
  size_t length = dot != nullptr && dot != name
                      ? static_cast<size_t>(dot - name)
                      : strlen(name);
  CopyCut(name, length, computer);
}
