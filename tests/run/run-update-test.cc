#include "run/run-update.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "os/posix/host-control.h"
#include "support/host-machine.h"

namespace {

const char kCannotReadDirectory[] =
    "Unable to determine current directory.  Aborting update!\n";
const char kCannotReadVersion[] = "zoDerudo: Cannot Read Version.id file\n";

class RunUpdateTest : public HostMachineTest {
 protected:
  void SetUp() override {
    HostMachineTest::SetUp();
    SetWindows(VER_PLATFORM_WIN32_NT, 5, 0);
    MakeFile("WINDOWS/system32/DRIVERS/tavixnt5.sys");
    MakeUpdateCommand(7);
    MakeFile("pkg/version.id", "1.0\n2.0\n");
  }

  // The fields of the log's one record from "Status=" on; "" without one.
  std::string LoggedResult() const {
    std::string log = ReadFile("ZRLOG/ZR.log");
    size_t status = log.find(",Status=");
    if (status == std::string::npos || log.find('\n') + 1 != log.size())
      return "";
    return log.substr(status + 1);
  }

  int Run(std::vector<std::string> words) {
    std::vector<char*> argv;
    for (std::string& word : words)
      argv.push_back(word.data());
    argv.push_back(nullptr);
    HostTraceCalls(true);
    testing::internal::CaptureStdout();
    int result = RunUpdate(static_cast<int>(words.size()), argv.data());
    console_ = testing::internal::GetCapturedStdout();
    trace_ = HostTakeTrace();
    return result;
  }

  std::string console_;
  std::vector<std::string> trace_;
};

TEST_F(RunUpdateTest, RunsInPlaceAndComesBackToTheStartingFolder) {
  EXPECT_EQ(Run({"zoderudo"}), 7);
  EXPECT_EQ(UpdateRanIn(), HostPath("pkg"));
  EXPECT_EQ(std::filesystem::current_path().string(), HostPath("pkg"));
  EXPECT_EQ(console_, "");
  EXPECT_EQ(LoggedResult(), "Status=Unknown,ReturnCode=7 \r\n");
}

TEST_F(RunUpdateTest, TheVersionFileIsReadInTheRunDirectory) {
  std::filesystem::remove(HostPath("pkg/version.id"));
  MakeFile("version.id", "elsewhere\n");  // C:\, not the package
  EXPECT_EQ(Run({"zoderudo"}), 7);
  EXPECT_EQ(console_, kCannotReadVersion);
  EXPECT_FALSE(Exists("ZRLOG"));
}

TEST_F(RunUpdateTest, AFailedLogEndsTheRunWithOne) {
  MakeFolder("ZRLOG/ZR.log");
  EXPECT_EXIT(Run({"zoderudo"}), testing::ExitedWithCode(1), "");
}

TEST_F(RunUpdateTest, TwoOrMoreArgumentsAreIgnored) {
  MakeFolder("other");
  EXPECT_EQ(Run({"zoderudo", "C:\\other", "C:\\other"}), 7);
  EXPECT_EQ(UpdateRanIn(), HostPath("pkg"));
  EXPECT_FALSE(Exists("other/ran-in.txt"));
}

TEST_F(RunUpdateTest, NotApplicableIsTheExitCode) {
  SetWindows(VER_PLATFORM_WIN32_NT, 5, 1);
  EXPECT_EQ(Run({"zoderudo"}), 99);
  EXPECT_EQ(UpdateRanIn(), "");
  EXPECT_EQ(LoggedResult(), "Status=Unknown,ReturnCode=99 \r\n");
}

TEST_F(RunUpdateTest, UnreadableStartingFolderStopsBeforeTheCheck) {
  HostFailCall("GetCurrentDirectoryA", ERROR_ACCESS_DENIED, 1);
  EXPECT_EQ(Run({"zoderudo"}), 1);
  EXPECT_EQ(console_, kCannotReadDirectory);
  EXPECT_TRUE(trace_.empty());
  EXPECT_EQ(UpdateRanIn(), "");
  EXPECT_EQ(LoggedResult(), "Status=Unknown,ReturnCode=1 \r\n");
}

TEST_F(RunUpdateTest, StartingFolderTooLongForItsBufferStopsBeforeTheCheck) {
  // C:\pkg\ then folders until the path is 261 characters: one too many.
  std::string below = "pkg";
  while (below.size() + 3 < kRunDirectorySize)
    below += "/" + std::string(std::min<size_t>(50, kRunDirectorySize - 4 -
                                                        below.size()),
                               'd');
  ASSERT_EQ(below.size() + 3, kRunDirectorySize);
  MakeFolder(below);
  ASSERT_EQ(chdir(HostPath(below).c_str()), 0);

  EXPECT_EQ(Run({"zoderudo"}), 1);
  // The result 1 is still recorded; no version file is there.
  EXPECT_EQ(console_, std::string(kCannotReadDirectory) + kCannotReadVersion);
  EXPECT_TRUE(trace_.empty());
}

}  // namespace
