#include "run/run-update.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "run-fixture.h"

namespace {

TEST_F(RunUpdateTest, RunsInPlaceAndComesBackToTheStartingFolder) {
  EXPECT_EQ(Run({"zoderudo"}), 7);
  EXPECT_EQ(UpdateRanIn(), HostPath("pkg"));
  EXPECT_EQ(std::filesystem::current_path().string(), HostPath("pkg"));
  EXPECT_EQ(console_, "");
  EXPECT_EQ(LoggedResult(), "Status=Unknown,ReturnCode=7 \r\n");
  // Nothing is made in the root but the log's folder; nothing waits.
  for (const std::string& call : trace_)
    EXPECT_EQ(call.find(" C:\\ZRT"), std::string::npos) << call;
  EXPECT_TRUE(Calls("Sleep").empty());
}

// The update's code is the run's, all 32 bits, recorded as a signed
// number.
TEST_F(RunUpdateTest, TheUpdatesWholeCodeIsTheResult) {
  for (int code : {1000000000, -1, 256, 3010}) {
    MakeUpdateCommand(code);
    std::filesystem::remove(HostPath("ZRLOG/ZR.log"));
    EXPECT_EQ(Run({"zoderudo"}), code);
    EXPECT_EQ(LoggedResult(),
              "Status=Unknown,ReturnCode=" + std::to_string(code) + " \r\n");
  }
}

// In place the folder is current already: one that cannot be entered
// again changes nothing, and nothing about staging is said.
TEST_F(RunUpdateTest, AnInPlaceRunGoesOnWhenItsFolderCannotBeEntered) {
  HostFailCall("SetCurrentDirectoryA", ERROR_ACCESS_DENIED, 1);
  EXPECT_EQ(Run({"zoderudo"}), 7);
  ASSERT_FALSE(Calls("SetCurrentDirectoryA").empty());
  EXPECT_EQ(Calls("SetCurrentDirectoryA")[0],
            "SetCurrentDirectoryA " + std::string("C:\\pkg"));
  EXPECT_EQ(console_, "");
  EXPECT_EQ(UpdateRanIn(), HostPath("pkg"));
  EXPECT_EQ(LoggedResult(), "Status=Unknown,ReturnCode=7 \r\n");
}

TEST_F(RunUpdateTest, TheVersionFileIsReadInTheRunDirectory) {
  std::filesystem::remove(HostPath("pkg/version.id"));
  MakeFile("version.id", "elsewhere\n");  // C:\, not the package
  EXPECT_EQ(Run({"zoderudo"}), 7);
  EXPECT_EQ(console_, kCannotReadVersion);
  EXPECT_FALSE(Exists("ZRLOG"));
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
  EXPECT_TRUE(Calls("FindFirstFileA").empty());
  EXPECT_EQ(UpdateRanIn(), "");
  EXPECT_EQ(LoggedResult(), "Status=Unknown,ReturnCode=1 \r\n");
}

// Starting folders of 259 and 260 characters are run in; one of 261 is more
// than the buffer holds, and counts as one that cannot be read.
TEST_F(RunUpdateTest, StartingFoldersUpTo260CharactersAreRunIn) {
  for (size_t length : {259u, 260u, 261u}) {
    std::string below = DeepFolder("pkg/" + std::to_string(length), length);
    ASSERT_EQ(below.size() + 3, length);
    MakeFolder(below);
    std::filesystem::copy_file(HostPath("pkg/ZELMOR_UPDATE"),
                               HostPath(below + "/ZELMOR_UPDATE"));
    MakeFile(below + "/version.id", "deep\n2.0\n");
    std::filesystem::remove(HostPath("pkg/ran-in.txt"));
    std::filesystem::remove(HostPath("ZRLOG/ZR.log"));
    ASSERT_EQ(chdir(HostPath(below).c_str()), 0);

    int result = Run({"zoderudo"});
    if (length <= 260) {
      EXPECT_EQ(result, 7) << length;
      EXPECT_EQ(console_, "") << length;
      EXPECT_EQ(UpdateRanIn(), HostPath(below)) << length;
      EXPECT_NE(ReadFile("ZRLOG/ZR.log").find(",Update=deep,"),
                std::string::npos) << length;
    } else {
      EXPECT_EQ(result, 1) << length;
      // The result 1 is still recorded, with the version file where the
      // process is.
      EXPECT_EQ(console_, kCannotReadDirectory);
      EXPECT_EQ(LoggedResult(), "Status=Unknown,ReturnCode=1 \r\n");
      EXPECT_TRUE(Calls("FindFirstFileA").empty());
      EXPECT_EQ(UpdateRanIn(), "");
    }
    EXPECT_EQ(std::filesystem::current_path().string(), HostPath(below));
  }
}

}  // namespace
