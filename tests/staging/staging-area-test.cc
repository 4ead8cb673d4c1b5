// The staging name, the free-space check and the staging of a package,
// below a scratch drive C: whose free space the host layer reports.
#include "staging/staging-area.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <regex>
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

  // Stages C:\pkg into `staging` (below C:, without the final backslash);
  // the path staged into stays in staged_.
  int Stage(const std::string& staging) {
    char package[261] = "C:\\pkg";
    char path[kStagingPathSize] = {};
    snprintf(path, sizeof path, "C:\\%s\\", staging.c_str());
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
  HANDLE pin = INVALID_HANDLE_VALUE;
  EXPECT_EQ(StageFiles("C:\\", package, first, &pin), 0);
  EXPECT_STREQ(package, "C:\\pkg\\");
  EXPECT_TRUE(StagedInFull(name));
  EXPECT_TRUE(CloseHandle(pin));
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
// reservation file, by the time this run makes its own; or a scanner still
// holds this run's own reservation file, so that the name is refused with
// ERROR_ACCESS_DENIED: a fresh name is taken, and what the other run has
// is left alone.
TEST_F(StagingAreaTest, StagingNameTakenMeanwhileIsExchangedForAFreshOne) {
  MakeFolder("stage");
  MakeFile("stage/mine", "mine");
  MakeFile("file", "");
  const std::regex kFresh(R"(C:\\ZRT[0-9A-F]{1,4}\.TMP\\)");
  for (const char* staging : {"stage", "file", "held"}) {
    if (strcmp(staging, "held") == 0)
      HostFailCall("NtCreateFile", ERROR_ACCESS_DENIED, 1);
    EXPECT_EQ(Stage(staging), 0) << staging;
    EXPECT_EQ(console_, "") << staging;
    EXPECT_TRUE(std::regex_match(staged_, kFresh)) << staged_;
    EXPECT_TRUE(StagedInFull(staged_.substr(3, staged_.size() - 4)));
  }
  EXPECT_FALSE(Exists("held"));
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
      {"no root", "NtCreateFile", ERROR_PATH_NOT_FOUND},
      {"disk full", "NtCreateFile", ERROR_DISK_FULL},
      // The name is in use and no fresh one can be had.
      {"no fresh name", "GetTempFileNameA", ERROR_ACCESS_DENIED},
  };
  MakeFolder("stage");
  auto attempts = [] {
    size_t made = 0;
    for (const std::string& line : HostTakeTrace())
      made += line.rfind("NtCreateFile ", 0) == 0;
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
  // Names taken or held again and again: the run gives up after 16.
  for (DWORD error : {ERROR_ALREADY_EXISTS, ERROR_ACCESS_DENIED}) {
    HostFailCall("NtCreateFile", error, 1000);
    HostTakeTrace();
    EXPECT_EQ(Stage("stage"), 1) << error;
    EXPECT_EQ(console_, kCannotCreate) << error;
    EXPECT_EQ(attempts(), 16u) << error;
    HostFailCall("NtCreateFile", error, 0);
  }
}

// No name was reserved at the start: the path is "\", which Wine says
// exists. That is no name another run took, so no fresh one is asked for.
TEST_F(StagingAreaTest, WithoutAReservedNameNoFreshOneIsTaken) {
  HostFailCall("NtCreateFile", ERROR_ALREADY_EXISTS, 1);
  char package[261] = "C:\\pkg";
  char path[kStagingPathSize] = "\\";
  int result = -1;
  HostTraceCalls(true);
  HANDLE pin = nullptr;
  console_ = tree_snapshot::Console(
      [&] { result = StageFiles("C:\\", package, path, &pin); });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(pin, INVALID_HANDLE_VALUE);
  EXPECT_EQ(console_, kCannotCreate);
  EXPECT_STREQ(path, "\\");
  // The folder is made and held, sharing all but delete, in one call.
  EXPECT_EQ(HostTakeTrace(),
            (std::vector<std::string>{
                "GetDiskFreeSpaceA C:\\",
                "NtCreateFile \\ access=0x120081 share=0x3"}));
}

// Where the system has no NtCreateFile the folder is made first and held
// after; until it is held, it may be swapped for another account's: one
// that cannot be held is no staging directory, and the empty one made goes
// again.
TEST_F(StagingAreaTest, FolderThatCannotBeHeldIsNoStagingDirectory) {
  // The run's own folder, with exactly its list, is staged into.
  HostFailCall("GetModuleHandleA", ERROR_MOD_NOT_FOUND, 1);
  EXPECT_EQ(Stage("ours"), 0);
  EXPECT_TRUE(Exists("ours/drivers/a.sys"));
  HostFailCall("GetModuleHandleA", ERROR_MOD_NOT_FOUND, 2);
  HostFailCall("CreateFileA", ERROR_SHARING_VIOLATION, 1);
  EXPECT_EQ(Stage("stage"), 1);
  EXPECT_EQ(console_, kCannotCreate);
  EXPECT_FALSE(Exists("stage"));
  // Held, but what it is cannot be read.
  HostFailCall("GetFileInformationByHandle", ERROR_INVALID_FUNCTION, 1);
  EXPECT_EQ(Stage("stage"), 1);
  EXPECT_EQ(console_, kCannotCreate);
  EXPECT_FALSE(Exists("stage"));
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

// Made and held in one call, the folder cannot be moved away. Where the
// system has no such call, another account may move the folder made away
// between its making and its pin and put one of its own under the name (as
// the root's rights let any account on Windows 2000): only a folder with
// exactly the run's access list, of the run's own account, is staged
// into; any other is left exactly as it was, and the pin let go. A folder
// made on the host has no access list, so everyone may write it, whoever
// owns it (C:\ZRLOG, made by a run as SYSTEM).
TEST_F(StagingAreaTest, FolderSwappedInBeforeThePinIsStagedIntoOnlyIfOurs) {
  struct Case {
    const char* owner;  // null: the run's own account, its default list
    bool holds_a_file;
    bool staged;
    bool one_step;
  } cases[] = {
      {kHostOtherUser, true, false, false},
      {kHostOtherUser, false, false, false},
      {kHostTokenOwner, false, false, false},  // an administrator's
      {"S-1-5-18", false, false, false},       // LocalSystem's
      {nullptr, false, false, false},          // ours, another list
      {kHostTokenOwner, true, false, false},
      {kHostOtherUser, true, true, true},  // the swap fails: held
  };
  for (const Case& c : cases) {
    if (!c.one_step) HostFailCall("GetModuleHandleA", ERROR_MOD_NOT_FOUND, 1);
    bool swapped = false;
    HostOnFolderMade([&](const char* path) {
      if (swapped || strcmp(path, "C:\\stage") != 0) return;
      swapped = true;
      // The rename of another account, which the pin stops.
      if (!MoveFileA("C:\\stage", "C:\\ours")) return;
      if (c.owner == nullptr) {
        CreateDirectoryA("C:\\stage", nullptr);
        return;
      }
      MakeFolder("stage");
      if (c.holds_a_file) MakeFile("stage/theirs", "kept");
      ASSERT_TRUE(HostSetFolderOwner("C:\\stage", c.owner));
    });
    HostTraceCalls(true);
    EXPECT_EQ(Stage("stage"), c.staged ? 0 : 1) << c.owner;
    std::vector<std::string> trace = HostTakeTrace();
    EXPECT_TRUE(swapped);
    EXPECT_EQ(HostOpenHandleCount(), 0u) << c.owner;
    if (c.staged) {
      EXPECT_EQ(console_, "") << c.owner;
      EXPECT_TRUE(Exists("stage/drivers/a.sys")) << c.owner;
    } else {
      EXPECT_EQ(console_, kCannotCreate);
      EXPECT_EQ(Snapshot(HostPath("stage")),
                c.holds_a_file
                    ? (std::map<std::string, std::string>{{"theirs", "kept"}})
                    : (std::map<std::string, std::string>{}));
      for (const std::string& line : trace) {
        EXPECT_EQ(line.rfind("RemoveDirectoryA", 0), std::string::npos);
        EXPECT_EQ(line.rfind("CopyFileA", 0), std::string::npos);
      }
    }
    EXPECT_EQ(Exists("ours"), !c.one_step);
    fs::remove_all(HostPath("stage"));
    fs::remove_all(HostPath("ours"));
    HostOnFolderMade(nullptr);
  }
}

// Where every account may do anything anyway (a drive without access
// lists, a system without security) no owner tells: the held handle alone
// must do. Where the system has security and cannot tell, nothing is
// staged, and the empty folder made goes again.
TEST_F(StagingAreaTest, OwnerIsAskedOnlyWhereTheSystemKeepsOne) {
  struct Case {
    const char* what;
    void (*set)();
    bool staged;
  } cases[] = {
      {"FAT32", [] { HostSetAccessLists('c', false); }, true},
      {"no security", [] { HostSetSecurity(HostSecurity::kMissing); }, true},
      {"Windows 9x", [] { HostSetSecurity(HostSecurity::kStubs); }, true},
      {"owner unread",
       [] { HostFailCall("GetKernelObjectSecurity", ERROR_ACCESS_DENIED, 1); },
       false},
      {"volume unread",
       [] { HostFailCall("GetVolumeInformationA", ERROR_NOT_READY, 1); },
       false},
      {"owner missing",
       [] {
         HostFailCall("GetSecurityDescriptorOwner",
                      ERROR_INVALID_SECURITY_DESCR, 1);
       },
       false},
  };
  for (const Case& c : cases) {
    c.set();
    HostFailCall("GetModuleHandleA", ERROR_MOD_NOT_FOUND, 1);
    // What CreateDirectoryA made is not ours: only the owner tells.
    HostOnFolderMade([&](const char* path) {
      if (strcmp(path, "C:\\stage") == 0)
        HostSetFolderOwner(path, kHostOtherUser);
    });
    EXPECT_EQ(Stage("stage"), c.staged ? 0 : 1) << c.what;
    EXPECT_EQ(console_, c.staged ? "" : kCannotCreate) << c.what;
    EXPECT_EQ(Exists("stage"), c.staged) << c.what;
    EXPECT_EQ(HostOpenHandleCount(), 0u) << c.what;
    fs::remove_all(HostPath("stage"));
    HostSetAccessLists('C', true);
    HostSetSecurity(HostSecurity::kNt);
  }
}

// A failed copy goes, what was copied and then the folder, before the
// failure is reported; what cannot be removed is reported before it.
TEST_F(StagingAreaTest, FailedCopyIsReportedAfterTheWalkerAndRemoved) {
  HostFailCall("CopyFileA", ERROR_DISK_FULL, 1);
  EXPECT_EQ(Stage("stage"), 1);
  const std::string kWalker =
      "Unable to copy files from ZR CD to hard drive.\n"
      "Unable to copy sub-directory update files to the hard drive.\n";
  EXPECT_EQ(console_, kWalker + kCannotCopy);
  EXPECT_FALSE(Exists("stage"));
  HostFailCall("CopyFileA", ERROR_DISK_FULL, 1);
  HostFailCall("RemoveDirectoryA", ERROR_SHARING_VIOLATION, 1);
  EXPECT_EQ(Stage("stage"), 1);
  EXPECT_EQ(console_, kWalker + "Could not remove temporary sub-directory.\n" +
                          "Could not delete files from temporary directory.\n" +
                          kCannotCopy);
  EXPECT_EQ(HostOpenHandleCount(), 0u);
}

}  // namespace
