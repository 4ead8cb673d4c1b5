#include "platform/check-and-run-update.h"

#include <gtest/gtest.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "os/posix/host-control.h"
#include "support/host-machine.h"

namespace {

const char kDrivers[] = "C:\\WINDOWS\\system32\\DRIVERS";
const char kUpdateLine[] =
    "CreateProcessA C:\\WINDOWS\\system32\\cmd.exe cmd /d /c \"ZELMOR_UPDATE\"";

std::vector<std::string> Searches(const std::string& folder,
                                  std::vector<std::string> names) {
  std::vector<std::string> lines;
  for (const std::string& name : names)
    lines.push_back("FindFirstFileA " + folder + "\\" + name);
  return lines;
}

std::vector<std::string> Plus(std::vector<std::string> lines,
                              const std::string& line) {
  lines.push_back(line);
  return lines;
}

class CheckAndRunUpdateTest : public HostMachineTest {
 protected:
  void SetUp() override {
    HostMachineTest::SetUp();
    MakeUpdateCommand(7);
  }

  // Runs the check with the call trace on; returns the result and keeps
  // the console output and the trace.
  int32_t Check() {
    HostTraceCalls(true);
    testing::internal::CaptureStdout();
    int32_t result = CheckAndRunUpdate();
    console_ = testing::internal::GetCapturedStdout();
    trace_ = HostTakeTrace();
    return result;
  }

  void MakeDriver(const std::string& name) {
    MakeFile("WINDOWS/system32/DRIVERS/" + name, "driver");
  }

  std::string console_;
  std::vector<std::string> trace_;
};

TEST_F(CheckAndRunUpdateTest, Nt50StopsAtTheFirstPresentDriver) {
  SetWindows(VER_PLATFORM_WIN32_NT, 5, 0);
  MakeDriver("tavixnt5.sys");
  MakeDriver("ovxfent5.sys");
  EXPECT_EQ(Check(), 7);
  EXPECT_EQ(trace_, Plus(Searches(kDrivers, {"tavixnt5.sys"}), kUpdateLine));
  EXPECT_EQ(UpdateRanIn(), HostPath("pkg"));
  EXPECT_EQ(console_, "");
}

TEST_F(CheckAndRunUpdateTest, Nt50TestsAllThreeNamesInOrder) {
  SetWindows(VER_PLATFORM_WIN32_NT, 5, 0);
  MakeDriver("ovxfent5.sys");
  EXPECT_EQ(Check(), 7);
  EXPECT_EQ(trace_, Plus(Searches(kDrivers, {"tavixnt5.sys", "KELVONT5.SYS",
                                             "ovxfent5.sys"}),
                         kUpdateLine));
}

TEST_F(CheckAndRunUpdateTest, Nt52TestsItsOwnNamesNotusedIncluded) {
  SetWindows(VER_PLATFORM_WIN32_NT, 5, 2);
  MakeDriver("tavixnt5.sys");  // a 5.0 name means nothing on 5.2
  MakeDriver("notused.sys");
  EXPECT_EQ(Check(), 7);
  EXPECT_EQ(trace_, Plus(Searches(kDrivers, {"tavix325.sys", "KELVO325.SYS",
                                             "notused.sys"}),
                         kUpdateLine));
}

TEST_F(CheckAndRunUpdateTest, NoDriverPresentIsNotApplicable) {
  for (DWORD minor : {0u, 2u}) {
    SetWindows(VER_PLATFORM_WIN32_NT, 5, minor);
    EXPECT_EQ(Check(), ResultNotApplicable);
    EXPECT_EQ(trace_.size(), 3u) << "5." << minor;
    for (const std::string& line : trace_)
      EXPECT_EQ(line.rfind("FindFirstFileA ", 0), 0u) << line;
  }
  EXPECT_EQ(UpdateRanIn(), "");
  EXPECT_EQ(console_, "");
}

TEST_F(CheckAndRunUpdateTest, OtherPlatformsTestNothingAndRunNothing) {
  for (const char* name : {"tavixnt5.sys", "KELVONT5.SYS", "ovxfent5.sys",
                           "tavix325.sys", "KELVO325.SYS", "notused.sys"})
    MakeDriver(name);
  struct {
    DWORD platform, major, minor;
    WORD suite;
  } const others[] = {
      {VER_PLATFORM_WIN32_NT, 4, 0, 0},
      {VER_PLATFORM_WIN32_NT, 5, 1, 0},
      {VER_PLATFORM_WIN32_NT, 5, 0, VER_SUITE_DATACENTER},
      {VER_PLATFORM_WIN32_WINDOWS, 4, 10, 0},
  };
  for (const auto& other : others) {
    SetWindows(other.platform, other.major, other.minor, other.suite);
    EXPECT_EQ(Check(), ResultNotApplicable);
    EXPECT_TRUE(trace_.empty()) << other.major << "." << other.minor;
  }
  EXPECT_EQ(UpdateRanIn(), "");
}

TEST_F(CheckAndRunUpdateTest, AnyEntryOfTheNameCountsWhateverItsCase) {
  SetWindows(VER_PLATFORM_WIN32_NT, 5, 0);
  MakeFolder("WINDOWS/system32/DRIVERS/KELVONT5.SYS");
  EXPECT_EQ(Check(), 7);
  EXPECT_EQ(trace_.size(), 3u);

  SetWindows(VER_PLATFORM_WIN32_NT, 5, 2);
  MakeDriver("TAVIX325.SYS");
  EXPECT_EQ(Check(), 7);
  EXPECT_EQ(trace_.size(), 2u);
}

TEST_F(CheckAndRunUpdateTest, TheUpdateCommandsExitCodeIsTheResult) {
  SetWindows(VER_PLATFORM_WIN32_NT, 5, 0);
  MakeDriver("tavixnt5.sys");
  for (int code : {0, 1, 99, 255}) {
    MakeUpdateCommand(code);
    EXPECT_EQ(Check(), code);
  }
}

TEST_F(CheckAndRunUpdateTest, FailedSystemDirectoryIsReportedOnEveryPlatform) {
  HostSetSystemDirectory(nullptr);
  SetWindows(VER_PLATFORM_WIN32_NT, 5, 1);
  EXPECT_EQ(Check(), ResultNotApplicable);
  EXPECT_EQ(console_, "Cannot Get System Directory\n"
                      "Cannot Get System Directory\n"
                      "Cannot Get System Directory\n");
  EXPECT_TRUE(trace_.empty());

  // On 5.0 the paths then start at the root of the current drive; a
  // driver found there applies, but without the system folder there is no
  // interpreter of the system's own to start: its error, silently.
  SetWindows(VER_PLATFORM_WIN32_NT, 5, 0);
  MakeFolder("DRIVERS");
  MakeFile("DRIVERS/ovxfent5.sys");
  EXPECT_EQ(Check(), ERROR_GEN_FAILURE);
  EXPECT_EQ(trace_, Searches("\\DRIVERS", {"tavixnt5.sys", "KELVONT5.SYS",
                                            "ovxfent5.sys"}));
  EXPECT_EQ(UpdateRanIn(), "");
}

TEST_F(CheckAndRunUpdateTest, OneFailedQueryLeavesTheOtherPathsWhole) {
  SetWindows(VER_PLATFORM_WIN32_NT, 5, 0);
  MakeDriver("KELVONT5.SYS");
  HostFailCall("GetSystemDirectoryA", ERROR_GEN_FAILURE, 1);
  EXPECT_EQ(Check(), 7);
  EXPECT_EQ(console_, "Cannot Get System Directory\n");
  EXPECT_EQ(trace_, Plus({"FindFirstFileA \\DRIVERS\\tavixnt5.sys",
                          "FindFirstFileA " + std::string(kDrivers) +
                              "\\KELVONT5.SYS"},
                         kUpdateLine));
}

TEST_F(CheckAndRunUpdateTest, SystemDirectoryTooLongForThePathIsAFailedQuery) {
  SetWindows(VER_PLATFORM_WIN32_NT, 5, 0);
  // The longest directory that still fits, 234 characters: each path
  // fills 255 characters of its 256.
  std::string fits = "C:\\" + std::string(231, 's');
  HostSetSystemDirectory(fits.c_str());
  EXPECT_EQ(Check(), ResultNotApplicable);
  EXPECT_EQ(console_, "");
  ASSERT_EQ(trace_.size(), 3u);
  EXPECT_EQ(trace_[0], "FindFirstFileA " + fits + "\\DRIVERS\\tavixnt5.sys");
  EXPECT_EQ(trace_[0].size(), strlen("FindFirstFileA ") + 255);

  // One more character; driver paths that would have 259, 260 and 261
  // characters; a directory that just fits the buffer (255), one that
  // does not, and far more: no path is built on any of them.
  for (size_t extra : {1u, 4u, 5u, 6u, 21u, 22u, 23u, 300u}) {
    std::string too_long = fits + std::string(extra, 't');
    HostSetSystemDirectory(too_long.c_str());
    EXPECT_EQ(Check(), ResultNotApplicable);
    EXPECT_EQ(console_, "Cannot Get System Directory\n"
                        "Cannot Get System Directory\n"
                        "Cannot Get System Directory\n")
        << too_long.size();
    ASSERT_EQ(trace_.size(), 3u);
    EXPECT_EQ(trace_[0], "FindFirstFileA \\DRIVERS\\tavixnt5.sys");
  }
}

// A 64-bit Windows runs the program under WoW64, where the driver paths
// lead to SysWOW64: the update never applies there, whichever call tells
// so, and a call that fails is taken for WoW64. The system directory is
// still asked for first; nothing is searched for or run.
TEST_F(CheckAndRunUpdateTest, UnderWow64NothingIsTestedOrRun) {
  MakeDriver("tavixnt5.sys");
  MakeDriver("tavix325.sys");
  const struct {
    HostMachine machine;
    HostWow64Calls calls;
    bool wow64;
    const char* what;
  } machines[] = {
      {HostMachine::kX86, HostWow64Calls::kBoth, false, "32-bit, SP2"},
      {HostMachine::kX86, HostWow64Calls::kNativeOnly, false, "32-bit 2003"},
      {HostMachine::kX86, HostWow64Calls::kNone, false, "Windows 2000"},
      {HostMachine::kX86, HostWow64Calls::kIsWow64False, false, "says no"},
      {HostMachine::kX86, HostWow64Calls::kIsWow64Fails, true, "fails"},
      {HostMachine::kAmd64, HostWow64Calls::kBoth, true, "x64"},
      {HostMachine::kIa64, HostWow64Calls::kBoth, true, "Itanium"},
      {HostMachine::kAmd64, HostWow64Calls::kNativeOnly, true, "x64 RTM"},
      {HostMachine::kIa64, HostWow64Calls::kNativeOnly, true, "Itanium RTM"},
      {HostMachine::kAmd64, HostWow64Calls::kIsWow64False, true, "Wine"},
  };
  for (const auto& machine : machines) {
    HostSetWow64(machine.machine, machine.calls);
    for (DWORD minor : {0u, 2u}) {
      SCOPED_TRACE(std::string(machine.what) + ", 5." + std::to_string(minor));
      SetWindows(VER_PLATFORM_WIN32_NT, 5, minor);
      EXPECT_EQ(Check(), machine.wow64 ? ResultNotApplicable : 7);
      EXPECT_EQ(trace_, machine.wow64
                            ? std::vector<std::string>{}
                            : Plus(Searches(kDrivers, {minor == 0
                                                           ? "tavixnt5.sys"
                                                           : "tavix325.sys"}),
                                   kUpdateLine));
      EXPECT_EQ(console_, "");
    }
  }
  EXPECT_EQ(HostOpenHandleCount(), 0u);

  // The queries of the system directory and their messages still come
  // first; and nothing is run, even from the root's DRIVERS folder.
  HostSetWow64(HostMachine::kAmd64, HostWow64Calls::kBoth);
  HostSetSystemDirectory(nullptr);
  std::remove(HostPath("pkg/ran-in.txt").c_str());
  MakeFolder("DRIVERS");
  MakeFile("DRIVERS/tavixnt5.sys");
  SetWindows(VER_PLATFORM_WIN32_NT, 5, 0);
  EXPECT_EQ(Check(), ResultNotApplicable);
  std::string three_messages;
  for (int i = 0; i < 3; ++i) three_messages += "Cannot Get System Directory\n";
  EXPECT_EQ(console_, three_messages);
  EXPECT_TRUE(trace_.empty());
  EXPECT_EQ(UpdateRanIn(), "");
}

TEST_F(CheckAndRunUpdateTest, DriverFileAbsentTreatsEveryFailureAsAbsent) {
  MakeDriver("tavixnt5.sys");
  EXPECT_FALSE(DriverFileAbsent("C:\\WINDOWS\\system32\\DRIVERS\\tavixnt5.sys"));
  EXPECT_TRUE(DriverFileAbsent("C:\\WINDOWS\\system32\\DRIVERS\\missing.sys"));
  EXPECT_TRUE(DriverFileAbsent("C:\\NOFOLDER\\DRIVERS\\tavixnt5.sys"));
  HostFailCall("FindFirstFileA", ERROR_ACCESS_DENIED, 1);
  EXPECT_TRUE(DriverFileAbsent("C:\\WINDOWS\\system32\\DRIVERS\\tavixnt5.sys"));
}

}  // namespace
