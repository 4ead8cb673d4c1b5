// The version names the machine can be set to: below the machine, which
// reads its setting with them.
#include "os/posix/version-posix.h"

#include <ctype.h>
#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <string>
#include <vector>

namespace {

constexpr BYTE kWorkstation = 1;  // wProductType values
constexpr BYTE kServer = 3;

struct NamedVersion {
  const char* name;
  DWORD platform, major, minor, build;
};

const NamedVersion kNamedVersions[] = {
    {"nt40", VER_PLATFORM_WIN32_NT, 4, 0, 1381},
    {"win2k", VER_PLATFORM_WIN32_NT, 5, 0, 2195},
    {"winxp", VER_PLATFORM_WIN32_NT, 5, 1, 2600},
    {"win2003", VER_PLATFORM_WIN32_NT, 5, 2, 3790},
    {"win98", VER_PLATFORM_WIN32_WINDOWS, 4, 10, 2222},
};

void Fill(DWORD platform, DWORD major, DWORD minor, DWORD build,
          WORD suite_mask, OSVERSIONINFOEXA* record) {
  memset(record, 0, sizeof *record);
  record->dwOSVersionInfoSize = sizeof *record;
  record->dwPlatformId = platform;
  record->dwMajorVersion = major;
  record->dwMinorVersion = minor;
  // Windows 9x keeps the version in the high word of the build number.
  record->dwBuildNumber = platform == VER_PLATFORM_WIN32_WINDOWS
                              ? (major << 24) | (minor << 16) | build
                              : build;
  record->wSuiteMask = suite_mask;
  if (platform == VER_PLATFORM_WIN32_NT) {
    bool server = major == 5 && minor == 2;
    record->wProductType = server ? kServer : kWorkstation;
  }
}

// A whole decimal field, or hex with 0x when `hex_ok`, within `limit`.
bool ParseField(const std::string& text, bool hex_ok, unsigned long limit,
                DWORD* value) {
  // strtoul would also take blanks and signs.
  if (text.empty() || !isxdigit(static_cast<unsigned char>(text[0]))) {
    return false;
  }
  int base = 10;
  const char* digits = text.c_str();
  if (hex_ok && (text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0)) {
    base = 16;
    digits += 2;
    if (!*digits) return false;
  }
  char* end = nullptr;
  errno = 0;
  unsigned long parsed = strtoul(digits, &end, base);
  if (errno != 0 || *end || parsed > limit) return false;
  *value = static_cast<DWORD>(parsed);
  return true;
}

std::vector<std::string> SplitDots(const char* text) {
  std::vector<std::string> fields(1);
  for (const char* c = text; *c; ++c) {
    if (*c == '.') {
      fields.emplace_back();
    } else {
      fields.back() += *c;
    }
  }
  return fields;
}

}  // namespace

namespace os_posix {

bool ParseWindowsVersion(const char* text, OSVERSIONINFOEXA* record) {
  for (const NamedVersion& v : kNamedVersions) {
    if (strcasecmp(text, v.name) == 0) {
      Fill(v.platform, v.major, v.minor, v.build, 0, record);
      return true;
    }
  }
  std::vector<std::string> fields = SplitDots(text);
  if (fields.size() != 3 && fields.size() != 4) return false;
  DWORD platform, major, minor, suite = 0;
  if (!ParseField(fields[0], false, 2, &platform) ||
      !ParseField(fields[1], false, 255, &major) ||
      !ParseField(fields[2], false, 255, &minor) ||
      (fields.size() == 4 && !ParseField(fields[3], true, 0xFFFF, &suite))) {
    return false;
  }
  Fill(platform, major, minor, 0, static_cast<WORD>(suite), record);
  return true;
}

}  // namespace os_posix
