#include "platform/classify-platform.h"

#include <gtest/gtest.h>

#include "os/os.h"
#include "os/posix/host-control.h"

namespace {

struct VersionCase {
  DWORD platform, major, minor;
  WORD suite;
  PlatformCode expected;
};

class ClassifyPlatformTest : public ::testing::Test {
 protected:
  void SetUp() override { HostResetMachine(); }
  void TearDown() override { HostResetMachine(); }

  PlatformCode Classify(const VersionCase& c, bool extended_ok,
                        bool plain_ok) {
    OSVERSIONINFOEXA record = {};
    record.dwPlatformId = c.platform;
    record.dwMajorVersion = c.major;
    record.dwMinorVersion = c.minor;
    record.wSuiteMask = c.suite;
    HostSetVersion(record, extended_ok, plain_ok);
    return ClassifyPlatform();
  }
};

const WORD kDatacenter = VER_SUITE_DATACENTER;
const WORD kAllSuites = 0xFFFF;

TEST_F(ClassifyPlatformTest, ClassifiesEveryRowOfTheTable) {
  const VersionCase cases[] = {
      // Only the NT platform counts, whatever the numbers.
      {VER_PLATFORM_WIN32_WINDOWS, 4, 10, 0, PlatformOther},
      {VER_PLATFORM_WIN32_WINDOWS, 4, 0, 0, PlatformOther},
      {VER_PLATFORM_WIN32_WINDOWS, 5, 0, 0, PlatformOther},
      {VER_PLATFORM_WIN32s, 5, 2, 0, PlatformOther},
      {VER_PLATFORM_WIN32_NT, 4, 0, 0, PlatformNt40},
      {VER_PLATFORM_WIN32_NT, 4, 0, kAllSuites, PlatformNt40},
      {VER_PLATFORM_WIN32_NT, 4, 1, 0, PlatformOther},
      {VER_PLATFORM_WIN32_NT, 4, 90, 0, PlatformOther},
      {VER_PLATFORM_WIN32_NT, 5, 0, 0, PlatformNt50},
      {VER_PLATFORM_WIN32_NT, 5, 0, kDatacenter, PlatformOther},
      {VER_PLATFORM_WIN32_NT, 5, 0, kAllSuites, PlatformOther},
      {VER_PLATFORM_WIN32_NT, 5, 0, kAllSuites & ~kDatacenter, PlatformNt50},
      {VER_PLATFORM_WIN32_NT, 5, 1, 0, PlatformNt51},
      {VER_PLATFORM_WIN32_NT, 5, 1, kDatacenter, PlatformNt51},
      {VER_PLATFORM_WIN32_NT, 5, 2, 0, PlatformNt52},
      {VER_PLATFORM_WIN32_NT, 5, 2, kDatacenter, PlatformNt52},
      {VER_PLATFORM_WIN32_NT, 5, 3, 0, PlatformOther},
      {VER_PLATFORM_WIN32_NT, 3, 51, 0, PlatformOther},
      {VER_PLATFORM_WIN32_NT, 6, 0, 0, PlatformOther},
      {VER_PLATFORM_WIN32_NT, 10, 0, 0, PlatformOther},
  };
  for (const VersionCase& c : cases) {
    EXPECT_EQ(Classify(c, true, true), c.expected)
        << "platform " << c.platform << " version " << c.major << "."
        << c.minor << " suite " << c.suite;
  }
}

TEST_F(ClassifyPlatformTest, CodesAreTheStoredNumbers) {
  // Results are compared as plain numbers elsewhere; 5.1 is 6, never 4.
  EXPECT_EQ(Classify({VER_PLATFORM_WIN32_NT, 5, 1, 0, 0}, true, true), 6);
  EXPECT_EQ(Classify({VER_PLATFORM_WIN32_NT, 5, 2, 0, 0}, true, true), 2);
  EXPECT_EQ(Classify({VER_PLATFORM_WIN32_NT, 5, 0, 0, 0}, true, true), 1);
  EXPECT_EQ(Classify({VER_PLATFORM_WIN32_NT, 4, 0, 0, 0}, true, true), 0);
  EXPECT_EQ(Classify({VER_PLATFORM_WIN32_NT, 6, 1, 0, 0}, true, true), 3);
}

TEST_F(ClassifyPlatformTest, DatacenterBitCountsOnlyFromTheExtendedRecord) {
  const VersionCase datacenter50 = {VER_PLATFORM_WIN32_NT, 5, 0, kDatacenter,
                                    PlatformOther};
  // Extended record accepted: the suite is known.
  EXPECT_EQ(Classify(datacenter50, true, false), PlatformOther);
  // Extended record rejected, plain one accepted: the suite is unknown.
  EXPECT_EQ(Classify(datacenter50, false, true), PlatformNt50);
}

TEST_F(ClassifyPlatformTest, PlainRecordFallbackStillClassifies) {
  const VersionCase cases[] = {
      {VER_PLATFORM_WIN32_NT, 4, 0, 0, PlatformNt40},
      {VER_PLATFORM_WIN32_NT, 5, 1, 0, PlatformNt51},
      {VER_PLATFORM_WIN32_NT, 5, 2, kDatacenter, PlatformNt52},
      {VER_PLATFORM_WIN32_WINDOWS, 4, 10, 0, PlatformOther},
  };
  for (const VersionCase& c : cases)
    EXPECT_EQ(Classify(c, false, true), c.expected) << c.major << "." << c.minor;
}

TEST_F(ClassifyPlatformTest, NoVersionAtAllIsOther) {
  const VersionCase nt50 = {VER_PLATFORM_WIN32_NT, 5, 0, 0, PlatformNt50};
  testing::internal::CaptureStdout();
  EXPECT_EQ(Classify(nt50, false, false), PlatformOther);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST_F(ClassifyPlatformTest, AFailingRepeatOfTheExtendedQueryIsOther) {
  // The second query is made with the record the first one settled on; if
  // that fails too, nothing is known.
  const VersionCase nt52 = {VER_PLATFORM_WIN32_NT, 5, 2, 0, PlatformNt52};
  OSVERSIONINFOEXA record = {};
  record.dwPlatformId = nt52.platform;
  record.dwMajorVersion = nt52.major;
  record.dwMinorVersion = nt52.minor;
  HostSetVersion(record, true, true);
  HostFailCall("GetVersionExA", ERROR_INVALID_PARAMETER, 1);
  // First query fails: falls back to the plain record, which works.
  EXPECT_EQ(ClassifyPlatform(), PlatformNt52);
  HostFailCall("GetVersionExA", ERROR_INVALID_PARAMETER, 2);
  EXPECT_EQ(ClassifyPlatform(), PlatformOther);
}

}  // namespace
