#include "platform/check-and-run-update.h"

#include <string.h>

#include "console/report-line.h"
#include "os/os.h"
#include "platform/classify-platform.h"
#include "platform/run-update-command.h"
#include "platform/runs-under-wow64.h"

namespace {

const int kDriverCount = 3;
const char kDriversFolder[] = "\\DRIVERS";

// Tested in this order; the first one present decides.
constexpr const char* kNt50Drivers[kDriverCount] = {
    "\\tavixnt5.sys", "\\KELVONT5.SYS", "\\ovxfent5.sys"};
constexpr const char* kNt52Drivers[kDriverCount] = {
    "\\tavix325.sys", "\\KELVO325.SYS", "\\notused.sys"};
const unsigned kLongestDriverName = 13;

constexpr bool AllNamesFit(const char* const* names) {
  for (int i = 0; i < kDriverCount; ++i) {
    unsigned length = 0;
    while (names[i][length] != '\0')
      ++length;
    if (length > kLongestDriverName)
      return false;
  }
  return true;
}
static_assert(AllNamesFit(kNt50Drivers) && AllNamesFit(kNt52Drivers),
              "every driver name fits the room kept for it");

static_assert(kLongestSystemDirectory + sizeof kDriversFolder - 1 +
                      kLongestDriverName + 1 == kDriverPathSize,
              "a system directory of the longest length fills a path exactly");

// The driver names of a platform, or null when the update never applies.
const char* const* DriverNamesFor(PlatformCode platform) {
  if (platform == PlatformNt50)
    return kNt50Drivers;
  if (platform == PlatformNt52)
    return kNt52Drivers;
  return nullptr;
}

// Starts a driver path with the system directory. A directory that cannot
// be read, or one too long for the rest of the path, leaves it empty: the
// path then names the DRIVERS folder at the root of the current drive.
void StartDriverPath(char* path) {
  memset(path, 0, kDriverPathSize);
  UINT length = GetSystemDirectoryA(path, kDriverPathSize);
  if (length == 0 || length > kLongestSystemDirectory) {
    memset(path, 0, kDriverPathSize);
    ReportLine("Cannot Get System Directory");
  }
  strcat(path, kDriversFolder);
}

}  // namespace

bool DriverFileAbsent(const char* path) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(path, &found);
  if (search == INVALID_HANDLE_VALUE)
    return true;
  FindClose(search);
  return false;
}

int32_t CheckAndRunUpdate() {
  PlatformCode platform = ClassifyPlatform();

  // The system directory is asked for on every platform, before the
  // platform decides anything, so its failures are always reported.
  char paths[kDriverCount][kDriverPathSize];
  for (int i = 0; i < kDriverCount; ++i)
    StartDriverPath(paths[i]);

  // Under WoW64 the paths would lead to SysWOW64, which 64-bit Windows
  // loads no driver from, and the update could only write there too.
  const char* const* names = DriverNamesFor(platform);
  if (names == nullptr || RunsUnderWow64())
    return ResultNotApplicable;
  for (int i = 0; i < kDriverCount; ++i)
    strcat(paths[i], names[i]);

  for (int i = 0; i < kDriverCount; ++i) {
    if (!DriverFileAbsent(paths[i]))
      return static_cast<int32_t>(RunUpdateCommand(kUpdateCommand));
  }
  return ResultNotApplicable;
}
