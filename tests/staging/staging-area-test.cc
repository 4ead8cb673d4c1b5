// The staging name, the free-space check and the staging of a package,
// below a scratch drive C: whose free space the host layer reports.
#include "staging/staging-area.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "os/posix/host-control.h"
#include "staging/pinned-folder.h"
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

  // Stages C:\pkg into a staging folder of its choosing, which stays in
  // staged_ ("" when none was made).
  int Stage() {
    char package[261] = "C:\\pkg";
    char path[kStagingPathSize] = {};
    int result = -1;
    HANDLE pin = INVALID_HANDLE_VALUE;
    console_ = tree_snapshot::Console(
        [&] { result = StageFiles("C:\\", package, path, &pin); });
    staged_ = path;
    // Held exactly when staged, and then nobody can move the folder away.
    EXPECT_EQ(pin != INVALID_HANDLE_VALUE, result == 0);
    if (pin != INVALID_HANDLE_VALUE) {
      std::string folder = staged_.substr(0, staged_.size() - 1);
      EXPECT_FALSE(MoveFileA(folder.c_str(), "C:\\moved"));
      EXPECT_EQ(GetLastError(), DWORD{ERROR_SHARING_VIOLATION});
      EXPECT_FALSE(RemoveDirectoryA(folder.c_str()));
      CloseHandle(pin);
    }
    return result;
  }

  // The staged folder's name below C:.
  std::string StagedName() const {
    return staged_.substr(3, staged_.size() - 4);
  }

  bool StagedInFull(const std::string& staging) const {
    return Snapshot(HostPath(staging)) == Snapshot(HostPath("pkg"));
  }

  std::string console_;
  std::string staged_;
};

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
  for (const Case& c : cases) {
    HostSetFreeSpace(c.sectors, c.bytes, c.clusters, 0xFFFFFFFF);
    std::map<std::string, std::string> before = Snapshot(drive_c_);
    std::string what = std::to_string(c.sectors) + " x " +
                       std::to_string(c.bytes) + " x " +
                       std::to_string(c.clusters);
    if (c.enough) {
      EXPECT_EQ(Stage(), 0) << what;
      EXPECT_EQ(console_, "") << what;
      EXPECT_TRUE(StagedInFull(StagedName())) << what;
    } else {
      EXPECT_EQ(Stage(), 1) << what;
      EXPECT_EQ(console_, kNotEnoughSpace) << what;
      EXPECT_EQ(Snapshot(drive_c_), before) << what;
    }
  }
}

TEST_F(StagingAreaTest, UnknownFreeSpaceStopsBeforeAnythingIsMade) {
  std::map<std::string, std::string> before = Snapshot(drive_c_);
  HostFailCall("GetDiskFreeSpaceA", ERROR_NOT_READY, 1);
  EXPECT_EQ(Stage(), 1);
  EXPECT_EQ(console_, kCannotMeasure);
  EXPECT_EQ(Snapshot(drive_c_), before);
}

// Any failure but a name in use ends the search at once; names in use
// (a folder still held after its removal too) are passed over through all
// 65,535 of them, each name once, each of 1 to 4 hexadecimal digits
// without a leading zero.
TEST_F(StagingAreaTest, StagingFolderThatCannotBeMadeCopiesNothing) {
  auto attempts = [] {
    std::set<std::string> names;
    size_t made = 0;
    for (const std::string& line : HostTakeTrace()) {
      if (line.rfind("NtCreateFile C:\\ZRT", 0) != 0)
        continue;
      std::string digits = line.substr(strlen("NtCreateFile C:\\ZRT"));
      digits = digits.substr(0, digits.find(".TMP"));
      bool hex =
          digits.find_first_not_of("0123456789ABCDEF") == std::string::npos;
      made += hex && digits.size() <= 4 && digits.rfind("0", 0) != 0 &&
              names.insert(digits).second;
    }
    return made;
  };
  HostTraceCalls(true);
  for (DWORD error : {ERROR_PATH_NOT_FOUND, ERROR_DISK_FULL,
                      ERROR_ACCESS_DENIED, ERROR_ALREADY_EXISTS,
                      ERROR_DELETE_PENDING}) {
    bool taken = error == ERROR_ALREADY_EXISTS || error == ERROR_DELETE_PENDING;
    HostFailCall("NtCreateFile", error, taken ? 70000 : 1);
    std::map<std::string, std::string> before = Snapshot(drive_c_);
    HostTakeTrace();
    EXPECT_EQ(Stage(), 1) << error;
    EXPECT_EQ(console_, kCannotCreate) << error;
    EXPECT_EQ(Snapshot(drive_c_), before) << error;
    EXPECT_EQ(attempts(), taken ? 65535u : 1u) << error;
    HostFailCall("NtCreateFile", error, 0);
  }
}

// Where the system has no NtCreateFile (Windows 9x, without security)
// the folder is made first and held after: one that cannot be held is no
// staging directory, and the empty one made goes again.
TEST_F(StagingAreaTest, FolderThatCannotBeHeldIsNoStagingDirectory) {
  HostSetSecurity(HostSecurity::kStubs);
  HostFailCall("GetModuleHandleA", ERROR_MOD_NOT_FOUND, 1);
  EXPECT_EQ(Stage(), 0);
  EXPECT_TRUE(StagedInFull(StagedName()));
  std::map<std::string, std::string> before = Snapshot(drive_c_);
  for (const char* call : {"CreateFileA", "GetFileInformationByHandle"}) {
    HostFailCall("GetModuleHandleA", ERROR_MOD_NOT_FOUND, 1);
    HostFailCall(call, ERROR_SHARING_VIOLATION, 1);
    EXPECT_EQ(Stage(), 1) << call;
    EXPECT_EQ(console_, kCannotCreate) << call;
    EXPECT_EQ(Snapshot(drive_c_), before) << call;
  }
  EXPECT_EQ(HostOpenHandleCount(), 0u);
}

// What the run checks before it runs from the staging directory and
// before it empties it: the folder at the name is the one held.
TEST_F(StagingAreaTest, OnlyThePlainFolderHeldPassesAsPinned) {
  MakeFolder("stage");
  MakeFolder("elsewhere");
  MakeFile("elsewhere/keep", "mine");
  ASSERT_EQ(symlink(HostPath("elsewhere").c_str(), HostPath("link").c_str()),
            0);
  // A link is never pinned, with or without the final backslash.
  EXPECT_EQ(PinFolder("C:\\link"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(PinFolder("C:\\link\\"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(PinFolder("C:\\pkg\\version.id"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(PinFolder("C:\\missing\\"), INVALID_HANDLE_VALUE);

  // A folder whose information cannot be read is not held.
  HostFailNthCall("GetFileInformationByHandle", ERROR_INVALID_FUNCTION, 2);
  HANDLE pin = PinFolder("C:\\stage\\");
  EXPECT_EQ(PinFolder("C:\\stage\\"), INVALID_HANDLE_VALUE);
  ASSERT_NE(pin, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(IsPinnedFolder("C:\\stage\\", pin));
  EXPECT_TRUE(IsPinnedFolder("C:\\STAGE", pin));
  EXPECT_FALSE(IsPinnedFolder("C:\\elsewhere\\", pin));
  // Another account renames it from outside the system's reach (as a
  // host rename under Wine) and puts a link, then a folder, in its place.
  namespace fs = std::filesystem;
  fs::rename(HostPath("stage"), HostPath("moved"));
  fs::create_directory_symlink(HostPath("elsewhere"), HostPath("stage"));
  EXPECT_FALSE(IsPinnedFolder("C:\\stage\\", pin));
  fs::remove(HostPath("stage"));
  MakeFolder("stage");
  EXPECT_FALSE(IsPinnedFolder("C:\\stage\\", pin));
  EXPECT_TRUE(IsPinnedFolder("C:\\moved", pin));
  fs::remove(HostPath("stage"));
  EXPECT_FALSE(IsPinnedFolder("C:\\stage\\", pin));
  EXPECT_TRUE(CloseHandle(pin));
  EXPECT_EQ(ReadFile("elsewhere/keep"), "mine");
  EXPECT_EQ(HostOpenHandleCount(), 0u);
}

// A failed copy goes, what was copied and then the folder, before the
// failure is reported; what cannot be removed is reported before it.
TEST_F(StagingAreaTest, FailedCopyIsReportedAfterTheWalkerAndRemoved) {
  std::map<std::string, std::string> before = Snapshot(drive_c_);
  HostFailCall("CopyFileA", ERROR_DISK_FULL, 1);
  EXPECT_EQ(Stage(), 1);
  const std::string kWalker =
      "Unable to copy files from ZR CD to hard drive.\n"
      "Unable to copy sub-directory update files to the hard drive.\n";
  EXPECT_EQ(console_, kWalker + kCannotCopy);
  EXPECT_EQ(Snapshot(drive_c_), before);
  HostFailCall("CopyFileA", ERROR_DISK_FULL, 1);
  HostFailCall("RemoveDirectoryA", ERROR_SHARING_VIOLATION, 1);
  EXPECT_EQ(Stage(), 1);
  EXPECT_EQ(console_, kWalker + "Could not remove temporary sub-directory.\n" +
                          "Could not delete files from temporary directory.\n" +
                          kCannotCopy);
  EXPECT_EQ(HostOpenHandleCount(), 0u);
}

}  // namespace
