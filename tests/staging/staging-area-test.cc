// The staging name, the free-space check and the staging of a package,
// below a scratch drive C: whose free space the host layer reports.
#include "staging/staging-area.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <filesystem>
#include <map>
#include <regex>
#include <string>

#include "os/posix/host-control.h"
#include "support/host-machine.h"
#include "tree-snapshot.h"

namespace {

namespace fs = std::filesystem;
using tree_snapshot::Snapshot;

const char kCannotMeasure[] =
    "Unable to determine if enough free space to copy files.\n";
const char kNotEnoughSpace[] = "Not enough disk space to copy necessary files.\n";
const char kCannotCreate[] = "Unable to create temporary directory!\n";
const char kCannotCopy[] = "Unable to copy update files to the hard drive.\n";

class StagingAreaTest : public HostMachineTest {
 protected:
  void SetUp() override {
    HostMachineTest::SetUp();
    tree_snapshot::Build(HostPath("pkg"), {{"version.id", "1\n2\n"},
                                           {"ZELMOR_UPDATE", "exit 0\n"},
                                           {"drivers/a.sys", "a"}});
    HostSetFreeSpace(8, 512, 1000000, 2000000);
  }

  // Stages C:\pkg into `staging` (below C:, without the final backslash);
  // the path staged into stays in staged_.
  int Stage(const std::string& staging) {
    char package[261] = "C:\\pkg";
    char path[kStagingPathSize] = {};
    snprintf(path, sizeof path, "C:\\%s\\", staging.c_str());
    int result = -1;
    console_ = tree_snapshot::Console(
        [&] { result = StageFiles("C:\\", package, path); });
    staged_ = path;
    return result;
  }

  bool StagedInFull(const std::string& staging) const {
    return Snapshot(HostPath(staging)) == Snapshot(HostPath("pkg"));
  }

  std::string console_;
  std::string staged_;
};

TEST_F(StagingAreaTest, StagingNameIsFreeAndInTheRoot) {
  std::map<std::string, std::string> before = Snapshot(drive_c_);
  char first[kStagingPathSize];
  char second[kStagingPathSize];
  MakeStagingPath("C:\\", kStagingPrefix, first);
  MakeStagingPath("C:\\", kStagingPrefix, second);
  const std::regex kName(R"(C:\\ZRT[0-9A-F]{1,4}\.TMP)");
  EXPECT_TRUE(std::regex_match(first, kName)) << first;
  EXPECT_TRUE(std::regex_match(second, kName)) << second;
  EXPECT_EQ(Snapshot(drive_c_), before);  // the placeholders are gone
  // Staged into, the name becomes the staging directory.
  std::string name = first + strlen("C:\\");
  strcat(first, "\\");
  char package[261] = "C:\\pkg";
  EXPECT_EQ(StageFiles("C:\\", package, first), 0);
  EXPECT_STREQ(package, "C:\\pkg\\");
  EXPECT_TRUE(StagedInFull(name));
}

TEST_F(StagingAreaTest, NoStagingNameLeavesTheBufferEmpty) {
  char path[kStagingPathSize];
  memset(path, 'x', sizeof path);
  MakeStagingPath("Q:\\", kStagingPrefix, path);
  EXPECT_STREQ(path, "");
  HostFailCall("GetTempFileNameA", ERROR_ACCESS_DENIED, 1);
  MakeStagingPath("C:\\", kStagingPrefix, path);
  EXPECT_STREQ(path, "");
}

TEST_F(StagingAreaTest, FreeSpaceIsTheExactProductOfThreeFigures) {
  struct Case {
    DWORD sectors, bytes, clusters;
    bool enough;
  } cases[] = {
      {1, 1, 1999999, false},
      {1, 1, 2000000, true},
      {4, 500, 1000, true},  // exactly 2,000,000
      {4, 500, 999, false},
      {8, 512, 1048577, true},  // 4 GiB + 4 KiB: 4 KiB in 32 bits
      {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, true},  // more than 64 bits
      {0, 512, 0xFFFFFFFF, false},
      {8, 512, 0, false},
  };
  int n = 0;
  for (const Case& c : cases) {
    HostSetFreeSpace(c.sectors, c.bytes, c.clusters, 0xFFFFFFFF);
    std::string staging = "stage" + std::to_string(n++);
    std::string what = std::to_string(c.sectors) + " x " +
                       std::to_string(c.bytes) + " x " +
                       std::to_string(c.clusters);
    if (c.enough) {
      EXPECT_EQ(Stage(staging), 0) << what;
      EXPECT_EQ(console_, "") << what;
      EXPECT_TRUE(StagedInFull(staging)) << what;
    } else {
      EXPECT_EQ(Stage(staging), 1) << what;
      EXPECT_EQ(console_, kNotEnoughSpace) << what;
      EXPECT_FALSE(Exists(staging)) << what;
    }
  }
}

TEST_F(StagingAreaTest, UnknownFreeSpaceStopsBeforeAnythingIsMade) {
  HostFailCall("GetDiskFreeSpaceA", ERROR_NOT_READY, 1);
  EXPECT_EQ(Stage("stage"), 1);
  EXPECT_EQ(console_, kCannotMeasure);
  EXPECT_FALSE(Exists("stage"));
}

// Another run handed the same name may have made its folder, or hold its
// reservation file, by the time this run makes its own: a fresh name is
// taken, and what the other run has is left alone.
TEST_F(StagingAreaTest, StagingNameTakenMeanwhileIsExchangedForAFreshOne) {
  MakeFolder("stage");
  MakeFile("stage/mine", "mine");
  MakeFile("file", "");
  const std::regex kFresh(R"(C:\\ZRT[0-9A-F]{1,4}\.TMP\\)");
  for (const char* staging : {"stage", "file"}) {
    EXPECT_EQ(Stage(staging), 0) << staging;
    EXPECT_EQ(console_, "") << staging;
    EXPECT_TRUE(std::regex_match(staged_, kFresh)) << staged_;
    EXPECT_TRUE(StagedInFull(staged_.substr(3, staged_.size() - 4)));
  }
  EXPECT_EQ(Snapshot(HostPath("stage")),
            (std::map<std::string, std::string>{{"mine", "mine"}}));
  EXPECT_EQ(ReadFile("file"), "");
}

TEST_F(StagingAreaTest, StagingFolderThatCannotBeMadeCopiesNothing) {
  struct Case {
    const char* what;
    const char* call;
    DWORD error;
  } cases[] = {
      // Not a name in use: no other name would do better.
      {"access denied", "CreateDirectoryA", ERROR_ACCESS_DENIED},
      // The name is in use and no fresh one can be had.
      {"no fresh name", "GetTempFileNameA", ERROR_ACCESS_DENIED},
  };
  MakeFolder("stage");
  auto attempts = [] {
    size_t made = 0;
    for (const std::string& line : HostTakeTrace())
      made += line.rfind("CreateDirectoryA ", 0) == 0;
    return made;
  };
  HostTraceCalls(true);
  for (const Case& c : cases) {
    HostFailCall(c.call, c.error, 1);
    std::map<std::string, std::string> before = Snapshot(drive_c_);
    HostTakeTrace();
    EXPECT_EQ(Stage("stage"), 1) << c.what;
    EXPECT_EQ(console_, kCannotCreate) << c.what;
    EXPECT_EQ(Snapshot(drive_c_), before) << c.what;
    // Only the one try: nothing is made under no name.
    EXPECT_EQ(attempts(), 1u) << c.what;
  }
  // Names taken again and again: the run gives up after 16.
  HostFailCall("CreateDirectoryA", ERROR_ALREADY_EXISTS, 1000);
  HostTakeTrace();
  EXPECT_EQ(Stage("stage"), 1);
  EXPECT_EQ(console_, kCannotCreate);
  EXPECT_EQ(attempts(), 16u);
}

// No name was reserved at the start: the path is "\", which Wine says
// exists. That is no name another run took, so no fresh one is asked for.
TEST_F(StagingAreaTest, WithoutAReservedNameNoFreshOneIsTaken) {
  HostFailCall("CreateDirectoryA", ERROR_ALREADY_EXISTS, 1);
  char package[261] = "C:\\pkg";
  char path[kStagingPathSize] = "\\";
  int result = -1;
  HostTraceCalls(true);
  console_ = tree_snapshot::Console(
      [&] { result = StageFiles("C:\\", package, path); });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(console_, kCannotCreate);
  EXPECT_STREQ(path, "\\");
  EXPECT_EQ(HostTakeTrace(),
            (std::vector<std::string>{"GetDiskFreeSpaceA C:\\",
                                      "CreateDirectoryA \\"}));
}

TEST_F(StagingAreaTest, FailedCopyIsReportedAfterTheWalkerAndStays) {
  HostFailCall("CopyFileA", ERROR_DISK_FULL, 1);
  EXPECT_EQ(Stage("stage"), 1);
  EXPECT_EQ(console_,
            std::string("Unable to copy files from ZR CD to hard drive.\n") +
                "Unable to copy sub-directory update files to the hard "
                "drive.\n" +
                kCannotCopy);
  EXPECT_TRUE(Exists("stage/drivers"));
}

}  // namespace
