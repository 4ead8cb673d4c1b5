#include "platform/classify-platform.h"

#include <string.h>

#include "os/os.h"

namespace {

PlatformCode ClassifyNt5(DWORD minor, bool suite_known, WORD suite_mask) {
  switch (minor) {
    case 0:
      // Datacenter editions of 5.0 are left out, but only when the
      // extended record could tell us the suite.
      if (suite_known && (suite_mask & VER_SUITE_DATACENTER) != 0)
        return PlatformOther;
      return PlatformNt50;
    case 1:
      return PlatformNt51;
    case 2:
      return PlatformNt52;
    default:
      return PlatformOther;
  }
}

}  // namespace

PlatformCode ClassifyPlatform() {
  OSVERSIONINFOEXA info;
  memset(&info, 0, sizeof info);
  info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
  bool extended = false;

  // Systems before the extended record reject it; they get the plain one,
  // and then the suite mask stays unknown.
  if (GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&info)))
    extended = true;
  else
    info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
  if (!GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&info)))
    return PlatformOther;

  if (info.dwPlatformId != VER_PLATFORM_WIN32_NT)
    return PlatformOther;
  if (info.dwMajorVersion == 4)
    return info.dwMinorVersion == 0 ? PlatformNt40 : PlatformOther;
  if (info.dwMajorVersion == 5)
    return ClassifyNt5(info.dwMinorVersion, extended, info.wSuiteMask);
  return PlatformOther;
}
