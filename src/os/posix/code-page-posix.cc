// GetACP and IsDBCSLeadByte, and the byte rules of the ANSI code page that
// the layer's own path handling follows.
#include "os/posix/code-page-posix.h"

#include "os/posix/machine-posix.h"

namespace os_posix {

// The lead-byte ranges that Windows documents for its double-byte pages;
// every other page is single-byte.
bool IsLeadByteIn(UINT code_page, BYTE byte) {
  switch (code_page) {
    case 932:  // Japanese (Shift-JIS)
      return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case 936:  // Simplified Chinese (GBK)
    case 949:  // Korean
    case 950:  // Traditional Chinese (Big5)
      return byte >= 0x81 && byte <= 0xFE;
    default:
      return false;
  }
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

const char* LastSeparator(UINT code_page, const char* path) {
  const char* last = nullptr;
  for (size_t step; (step = CharacterLengthIn(code_page, path)); path += step) {
    if (step == 1 && IsSeparator(*path)) last = path;
  }
  return last;
}

bool EndsWithSeparator(UINT code_page, const char* path) {
  const char* last = LastSeparator(code_page, path);
  return last && last[1] == '\0';
}

std::string NarrowPath(const std::string& windows_path) {
  if (!HasNarrowNames()) return windows_path;
  UINT code_page = AnsiCodePage();
  std::string narrow, name;
  for (const char* p = windows_path.c_str();;) {
    size_t step = CharacterLengthIn(code_page, p);
    if (step == 0 || (step == 1 && IsSeparator(*p))) {
      narrow += NarrowName(name);
      name.clear();
      if (step == 0) break;
      narrow += *p;
    } else {
      name.append(p, step);
    }
    p += step;
  }
  return narrow;
}

}  // namespace os_posix

UINT WINAPI GetACP(void) { return os_posix::AnsiCodePage(); }

BOOL WINAPI IsDBCSLeadByte(BYTE byte) {
  return os_posix::IsLeadByteIn(os_posix::AnsiCodePage(), byte);
}
