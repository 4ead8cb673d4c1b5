// The machine's settings and the hooks tests use to change it.
#include <stdlib.h>
#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "host-scratch.h"

namespace {

using HostMachine = HostScratch;

// GetVersionExA with a record of `size` bytes; false when it fails.
bool QueryVersion(DWORD size, OSVERSIONINFOEXA* info) {
  memset(info, 0, sizeof *info);
  info->dwOSVersionInfoSize = size;
  return GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(info));
}

TEST_F(HostMachine, VersionComesFromTheEnvironment) {
  struct Case {
    const char* setting;
    DWORD platform, major, minor, build;
    WORD suite;
    BYTE product;
  } cases[] = {
      {nullptr, 2, 5, 0, 2195, 0, 1},
      {"nt40", 2, 4, 0, 1381, 0, 1},
      {"WinXP", 2, 5, 1, 2600, 0, 1},
      {"win2003", 2, 5, 2, 3790, 0, 3},
      {"win98", 1, 4, 10, 0x040A08AE, 0, 0},  // 9x: version in the high word
      {"2.5.0.0x80", 2, 5, 0, 0, 0x80, 1},
      {"2.5.0.128", 2, 5, 0, 0, 0x80, 1},
      {"1.4.90", 1, 4, 90, 0x045A0000, 0, 0},
  };
  for (const Case& c : cases) {
    const char* name = c.setting ? c.setting : "(unset)";
    if (c.setting) setenv("ZODERUDO_WINVER", c.setting, 1);
    HostResetMachine();
    OSVERSIONINFOEXA info;
    ASSERT_TRUE(QueryVersion(sizeof(OSVERSIONINFOA), &info)) << name;
    ASSERT_TRUE(QueryVersion(sizeof(OSVERSIONINFOEXA), &info)) << name;
    EXPECT_EQ(info.dwPlatformId, c.platform) << name;
    EXPECT_EQ(info.dwMajorVersion, c.major) << name;
    EXPECT_EQ(info.dwMinorVersion, c.minor) << name;
    EXPECT_EQ(info.dwBuildNumber, c.build) << name;
    EXPECT_EQ(info.wSuiteMask, c.suite) << name;
    EXPECT_EQ(info.wProductType, c.product) << name;
  }
}

TEST_F(HostMachine, UnknownVersionSettingsMakeTheQueryFail) {
  for (const char* setting : {"winxx", "", "2.5", "2.5.0.0x", "2.5.0.70000",
                              "3.5.0", "2.5.0.1.2", "2. 5.0", "2.-5.0"}) {
    setenv("ZODERUDO_WINVER", setting, 1);
    HostResetMachine();
    OSVERSIONINFOEXA info;
    for (DWORD size : {sizeof(OSVERSIONINFOA), sizeof(OSVERSIONINFOEXA)}) {
      SetLastError(0);
      EXPECT_FALSE(QueryVersion(size, &info)) << setting;
      EXPECT_EQ(GetLastError(), DWORD{ERROR_INSUFFICIENT_BUFFER}) << setting;
    }
  }
}

// As NT 4 before its sixth service pack: the extended record is refused
// with the error Windows gives, and the plain one is answered without a
// byte written past its end.
TEST_F(HostMachine, SetVersionChoosesTheRecordsAccepted) {
  OSVERSIONINFOEXA record = {};
  record.dwPlatformId = VER_PLATFORM_WIN32_NT;
  record.dwMajorVersion = 4;
  record.wSuiteMask = 0x80;
  OSVERSIONINFOEXA info;
  HostSetVersion(record, false, true);
  SetLastError(0);
  EXPECT_FALSE(QueryVersion(sizeof(OSVERSIONINFOEXA), &info));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_INSUFFICIENT_BUFFER});
  memset(&info, 0xAB, sizeof info);
  info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
  ASSERT_TRUE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info)));
  EXPECT_EQ(info.dwOSVersionInfoSize, sizeof(OSVERSIONINFOA));
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&info);
  for (size_t at = sizeof(OSVERSIONINFOA); at < sizeof info; ++at)
    EXPECT_EQ(bytes[at], 0xAB) << at;
  HostSetVersion(record, true, false);
  EXPECT_TRUE(QueryVersion(sizeof(OSVERSIONINFOEXA), &info));
  EXPECT_FALSE(QueryVersion(sizeof(OSVERSIONINFOA), &info));
}

TEST_F(HostMachine, SystemDirectorySettings) {
  char buffer[MAX_PATH];
  ASSERT_GT(GetSystemDirectoryA(buffer, MAX_PATH), 0u);
  EXPECT_STREQ(buffer, "C:\\WINDOWS\\system32");
  setenv("ZODERUDO_SYSTEM_DIR", "D:\\SYS32", 1);
  HostResetMachine();
  ASSERT_GT(GetSystemDirectoryA(buffer, MAX_PATH), 0u);
  EXPECT_STREQ(buffer, "D:\\SYS32");
  setenv("ZODERUDO_SYSTEM_DIR", "", 1);
  HostResetMachine();
  SetLastError(0);
  EXPECT_EQ(GetSystemDirectoryA(buffer, MAX_PATH), 0u);
  EXPECT_EQ(GetLastError(), DWORD{ERROR_GEN_FAILURE});
  HostSetSystemDirectory("E:\\x");
  EXPECT_EQ(GetSystemDirectoryA(buffer, MAX_PATH), 4u);
  HostSetSystemDirectory(nullptr);
  EXPECT_EQ(GetSystemDirectoryA(buffer, MAX_PATH), 0u);
}

TEST_F(HostMachine, InjectedFailuresCountDown) {
  HostFailCall("GetCurrentDirectoryA", ERROR_ACCESS_DENIED, 2);
  char buffer[MAX_PATH] = "untouched";
  for (int i = 0; i < 2; ++i) {
    SetLastError(0);
    EXPECT_EQ(GetCurrentDirectoryA(MAX_PATH, buffer), 0u);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_ACCESS_DENIED});
    EXPECT_STREQ(buffer, "untouched");
  }
  EXPECT_GT(GetCurrentDirectoryA(MAX_PATH, buffer), 0u);

  // A failed call has no other effect: the command would make a file.
  HostFailCall("CreateProcessA", ERROR_NOT_ENOUGH_MEMORY, 1);
  EXPECT_EQ(Run("sh -c \"echo > ran\""), 1000u + ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(Run("sh -c \"exit 3\""), 3u);
  EXPECT_EQ(ReadFile("ran"), "");

  HostFailCall("SetCurrentDirectoryA", ERROR_GEN_FAILURE, 1);
  HostFailCall("SetCurrentDirectoryA", ERROR_GEN_FAILURE, 0);
  EXPECT_TRUE(SetCurrentDirectoryA("."));
  HostFailCall("SetCurrentDirectoryA", ERROR_GEN_FAILURE, 5);
  HostResetMachine();
  EXPECT_TRUE(SetCurrentDirectoryA("."));
}

TEST_F(HostMachine, OnlyTheNthCallFailsAndEveryCallIsCounted) {
  HostTakeCallCounts();
  HostFailNthCall("SetCurrentDirectoryA", ERROR_PATH_NOT_FOUND, 3);
  bool results[4];
  for (bool& result : results) {
    SetLastError(0);
    result = SetCurrentDirectoryA(".");
  }
  EXPECT_TRUE(results[0] && results[1] && !results[2] && results[3]);
  char buffer[MAX_PATH];
  EXPECT_GT(GetCurrentDirectoryA(MAX_PATH, buffer), 0u);
  Sleep(0);
  EXPECT_EQ(HostTakeCallCounts(),
            (std::map<std::string, int>{{"GetCurrentDirectoryA", 1},
                                        {"SetCurrentDirectoryA", 4}}));
  EXPECT_TRUE(HostTakeCallCounts().empty());

  // A count-down failure set later replaces a pending nth one, and a count
  // of 0 takes it back.
  HostFailNthCall("GetCurrentDirectoryA", ERROR_ACCESS_DENIED, 2);
  HostFailNthCall("GetCurrentDirectoryA", ERROR_ACCESS_DENIED, 0);
  EXPECT_GT(GetCurrentDirectoryA(MAX_PATH, buffer), 0u);
  EXPECT_GT(GetCurrentDirectoryA(MAX_PATH, buffer), 0u);
  HostFailNthCall("GetCurrentDirectoryA", ERROR_ACCESS_DENIED, 2);
  HostFailCall("GetCurrentDirectoryA", ERROR_GEN_FAILURE, 1);
  SetLastError(0);
  EXPECT_EQ(GetCurrentDirectoryA(MAX_PATH, buffer), 0u);
  EXPECT_EQ(GetLastError(), DWORD{ERROR_GEN_FAILURE});
  EXPECT_GT(GetCurrentDirectoryA(MAX_PATH, buffer), 0u);
}

TEST_F(HostMachine, TraceRecordsCallsAsPassed) {
  HostTraceCalls(true);
  WIN32_FIND_DATAA found;
  EXPECT_EQ(FindFirstFileA("nope\\*.TXT", &found), INVALID_HANDLE_VALUE);
  EXPECT_EQ(Run("  sh -c \"exit 0\"  "), 0u);
  EXPECT_EQ(HostTakeTrace(),
            (std::vector<std::string>{"FindFirstFileA nope\\*.TXT",
                                      "CreateProcessA   sh -c \"exit 0\"  "}));
  EXPECT_TRUE(HostTakeTrace().empty());
  HostTraceCalls(false);
  FindFirstFileA("nope", &found);
  EXPECT_TRUE(HostTakeTrace().empty());
}

}  // namespace
