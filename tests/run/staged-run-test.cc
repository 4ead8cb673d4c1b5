// Runs given the package directory: staged in the root of drive C:, run
// from the copy, recorded, and cleaned up; and the arguments refused.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "run-fixture.h"
#include "run/staged-run.h"
#include "staging/pinned-folder.h"
#include "staging/staging-area.h"

namespace fs = std::filesystem;

namespace {

const std::string kStart = "C:\\start";
const char kStagingFailed[] =
    "Copying update files to the hard drive failed.\n";

class StagedRunTest : public RunUpdateTest {
 protected:
  void SetUp() override {
    RunUpdateTest::SetUp();
    MakeFolder("start");
    MakeFile("start/version.id", "start\nhere\n");
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\start"));
  }

  // The folders that the run made in the root named like staging folders.
  std::vector<std::string> StagingMade() const {
    std::vector<std::string> made;
    for (const std::string& call : Calls("NtCreateFile")) {
      std::string path = call.substr(strlen("NtCreateFile "));
      path = path.substr(0, path.find(" access=")) + "\\";
      if (path.compare(0, 6, "C:\\ZRT") == 0 &&
          path.find('\\', 3) == path.size() - 1) {  // not a folder inside
        made.push_back(path);
      }
    }
    return made;
  }

  // The staging folder that the run made (its last attempt), as
  // "C:\ZRTxxxx.TMP\".
  std::string StagingPath() const {
    std::vector<std::string> made = StagingMade();
    return made.empty() ? "" : made.back();
  }

  // Entries in the root of C: named like a staging folder.
  std::vector<std::string> StagingLeftovers() const {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(drive_c_)) {
      std::string name = entry.path().filename().string();
      if (name.compare(0, 3, "ZRT") == 0) found.push_back(name);
    }
    return found;
  }

  // Where the trace shows `line` first (an open with any access and share
  // mode); fails the test when it is absent.
  size_t Position(const std::string& line) const {
    auto it = std::find_if(trace_.begin(), trace_.end(), [&](auto& traced) {
      return traced == line || traced.rfind(line + " access=", 0) == 0;
    });
    EXPECT_NE(it, trace_.end()) << line;
    return static_cast<size_t>(it - trace_.begin());
  }

  bool BackAtTheStart() const {
    return fs::current_path().string() == HostPath("start");
  }
};

TEST_F(StagedRunTest, RelativePackageIsRunFromACopyThatIsRemovedAfter) {
  MakeFolder("pkg/sub/deeper");
  MakeFile("pkg/sub/deeper/data.bin", "bytes");
  MakeFile("pkg/.hidden", "h");
  MakeFile("pkg/readonly.txt", "r");
  fs::permissions(HostPath("pkg/readonly.txt"), fs::perms::owner_read);

  EXPECT_EQ(Run({"zoderudo", "..\\pkg"}), 7);
  std::string staging = StagingPath();
  ASSERT_EQ(staging.substr(0, 6), "C:\\ZRT");
  ASSERT_EQ(staging.substr(staging.size() - 5), ".TMP\\");
  std::string folder = staging.substr(3, staging.size() - 4);
  EXPECT_EQ(UpdateRanIn(), HostPath(folder));
  EXPECT_EQ(console_, "");
  EXPECT_EQ(LoggedResult(), "Status=Unknown,ReturnCode=7 \r\n");
  EXPECT_NE(ReadFile("ZRLOG/ZR.log").find(",Update=1.0,New=2.0,"),
            std::string::npos);  // the package's version file, not start's
  EXPECT_TRUE(BackAtTheStart());
  EXPECT_TRUE(StagingLeftovers().empty());
  EXPECT_EQ(ReadFile("pkg/sub/deeper/data.bin"), "bytes");  // source intact

  // The whole package was copied, and the steps came in their order.
  for (const char* file : {"readonly.txt", ".hidden", "version.id",
                           "ZELMOR_UPDATE", "sub\\deeper\\data.bin"}) {
    EXPECT_LT(Position("CopyFileA " + staging + file),
              Position("SetCurrentDirectoryA " + staging));
  }
  size_t argument = Position("SetCurrentDirectoryA ..\\pkg");
  size_t back = Position("SetCurrentDirectoryA " + kStart);
  size_t root = Position("CreateFileA C:\\");  // the package compared with it
  size_t space = Position("GetDiskFreeSpaceA C:\\");
  size_t create =
      Position("NtCreateFile " + staging.substr(0, staging.size() - 1));
  size_t enter = Position("SetCurrentDirectoryA " + staging);
  size_t update = Position(
      "CreateProcessA C:\\WINDOWS\\system32\\cmd.exe cmd /d /c \"ZELMOR_UPDATE\"");
  size_t record = Position("NtCreateFile C:\\ZRLOG\\ZR.log");
  size_t pause = Position("Sleep 5000");
  size_t remove = Position("RemoveDirectoryA " + staging);
  EXPECT_LT(argument, back);
  EXPECT_LT(back, root);
  EXPECT_LT(root, space);
  EXPECT_LT(space, create);
  // Made and held in one call, sharing reading and writing, not delete.
  EXPECT_EQ(trace_[create].substr(trace_[create].size() - 10), " share=0x3");
  EXPECT_LT(create, enter);
  EXPECT_LT(enter, update);
  EXPECT_LT(update, record);
  EXPECT_LT(record, pause);
  EXPECT_LT(pause, remove);
  // The starting directory is current again before the pause.
  EXPECT_EQ(trace_[pause - 1], "SetCurrentDirectoryA " + kStart);
  EXPECT_EQ(remove, trace_.size() - 1);
}

// Nobody but SYSTEM, Administrators and the account the run is may change
// anything in the copy; everyone may read and run it. Made once, on the
// staging folder: what the copy makes in it inherits the entries.
TEST_F(StagedRunTest, StagingFolderBelongsToTheRun) {
  MakeFolder("pkg/sub");
  MakeFile("pkg/sub/a.txt", "a");
  EXPECT_EQ(Run({"zoderudo", "C:\\pkg"}), 7);
  EXPECT_EQ(console_, "");
  EXPECT_EQ(HostOpenHandleCount(), 0u);  // the token, ADVAPI32, the SIDs
  std::string staging = StagingPath();
  HostFolderSecurity made;
  ASSERT_TRUE(HostMadeFolderSecurity(staging.c_str(), &made));
  EXPECT_TRUE(made.has_dacl);
  EXPECT_TRUE(made.dacl_protected);
  const BYTE kAll = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
  const std::vector<std::pair<std::string, DWORD>> expected = {
      {"S-1-5-18", 0x1F01FF},      // SYSTEM: full control
      {"S-1-5-32-544", 0x1F01FF},  // Administrators
      {kHostTokenUser, 0x1F01FF},  // the account
      {"S-1-1-0", 0x1200A9},       // Everyone: read and execute
  };
  ASSERT_EQ(made.entries.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(made.entries[i].type, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(made.entries[i].flags, kAll);
    EXPECT_EQ(made.entries[i].trustee, expected[i].first);
    EXPECT_EQ(made.entries[i].rights, expected[i].second);
  }
  EXPECT_FALSE(HostMadeFolderSecurity((staging + "sub").c_str(), &made));
}

// Where the system has no such security (Windows 9x, NT 4) the folder is
// made as it always was; where it has, a descriptor that cannot be built,
// or one built where ntdll lacks NtCreateFile, makes no folder at all.
TEST_F(StagedRunTest, StagingFolderWithoutItsSecurity) {
  struct Case {
    HostSecurity security;
    const char* failing;
    bool staged;
  } cases[] = {
      {HostSecurity::kMissing, nullptr, true},
      {HostSecurity::kStubs, nullptr, true},
      {HostSecurity::kStubs, "GetModuleHandleA", true},  // Windows 9x
      {HostSecurity::kNt, "AddAccessAllowedAceEx", false},
      {HostSecurity::kNt, "LoadLibraryA", false},
      {HostSecurity::kNt, "GetModuleHandleA", false},
  };
  for (const Case& c : cases) {
    HostSetSecurity(c.security);
    if (c.failing) {
      bool ntdll = strcmp(c.failing, "GetModuleHandleA") == 0;
      HostFailNthCall(c.failing,
                      ntdll ? ERROR_MOD_NOT_FOUND : ERROR_NOT_ENOUGH_MEMORY, 1);
    }
    int result = Run({"zoderudo", "C:\\pkg"});
    EXPECT_EQ(HostOpenHandleCount(), 0u);
    EXPECT_TRUE(StagingLeftovers().empty());
    size_t made = 0;  // where ntdll has no NtCreateFile
    for (const std::string& call : Calls("CreateDirectoryA"))
      made += call.rfind("CreateDirectoryA C:\\ZRT", 0) == 0;
    if (c.staged) {
      EXPECT_EQ(result, 7);
      EXPECT_EQ(console_, "");
      ASSERT_EQ(StagingMade().size() + made, 1u);
      HostFolderSecurity security;
      EXPECT_FALSE(HostMadeFolderSecurity(StagingPath().c_str(), &security));
    } else {
      EXPECT_EQ(result, 1);
      EXPECT_EQ(console_,
                "Unable to create temporary directory!\n" +
                    std::string(kStagingFailed));
      EXPECT_TRUE(StagingMade().empty() && made == 0);
    }
  }
}

// Links that the update makes in its copy (a junction on Windows) are
// removed as links: the clean-up never reaches what they lead to.
TEST_F(StagedRunTest, CleanUpLeavesWhatLinksLeadTo) {
  MakeFolder("outside/sub");
  MakeFile("outside/precious.txt", "keep");
  MakeFile("outside/sub/deep.txt", "deep");
  std::string outside = HostPath("outside");
  MakeFile("pkg/ZELMOR_UPDATE", "#!/bin/sh\nln -s '" + outside +
                                    "' data\nln -s '" + outside +
                                    "/precious.txt' file\nexit 0\n");
  EXPECT_EQ(Run({"zoderudo", "C:\\pkg"}), 0);
  EXPECT_EQ(console_, "");
  EXPECT_EQ(ReadFile("outside/precious.txt"), "keep");
  EXPECT_EQ(ReadFile("outside/sub/deep.txt"), "deep");
  std::string staging = StagingPath();
  EXPECT_EQ(Calls("RemoveDirectoryA"),
            (std::vector<std::string>{"RemoveDirectoryA " + staging + "data",
                                      "RemoveDirectoryA " + staging}));
  EXPECT_TRUE(StagingLeftovers().empty());
}

// Another account renames the copy once the update is done (as a host
// rename under Wine, which nothing stops) and puts a link to its own
// folder in its place: the clean-up walks nothing that it does not hold,
// says so, and the update's code stands.
TEST_F(StagedRunTest, CleanUpWalksOnlyTheFolderItHolds) {
  MakeFolder("outside");
  MakeFile("outside/precious.txt", "keep");
  for (bool link : {true, false}) {
    SCOPED_TRACE(link ? "a link in its place" : "a folder in its place");
    std::string swap = link ? "ln -s '" + HostPath("outside") + "' \"$s\""
                            : "mkdir \"$s\" && touch \"$s/theirs\"";
    MakeFile("pkg/ZELMOR_UPDATE",
             "#!/bin/sh\ns=$(pwd -P)\ncd / && mv \"$s\" '" +
                 HostPath("moved") + "' && " + swap + "\nexit 6\n");
    EXPECT_EQ(Run({"zoderudo", "C:\\pkg"}), 6);
    EXPECT_EQ(console_, "Could not delete files from temporary directory.\n");
    EXPECT_TRUE(Calls("RemoveDirectoryA").empty());
    EXPECT_EQ(ReadFile("outside/precious.txt"), "keep");
    EXPECT_TRUE(Exists("moved/version.id"));
    EXPECT_EQ(HostOpenHandleCount(), 0u);
    EXPECT_TRUE(BackAtTheStart());
    fs::remove_all(HostPath("moved"));
    for (const std::string& left : StagingLeftovers()) {
      EXPECT_TRUE(link || Exists(left + "/theirs"));
      fs::remove_all(HostPath(left));
    }
  }
}

// The update runs only from the folder the run made and holds: another
// one under its name, or a link, before or after it is entered, is not
// entered as the copy.
TEST_F(StagedRunTest, OnlyTheHeldCopyIsEntered) {
  MakeFolder("ZRT1.TMP");
  HANDLE pin = PinFolder("C:\\ZRT1.TMP\\");
  ASSERT_NE(pin, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(EnterStagingDirectory("C:\\ZRT1.TMP\\", pin));
  EXPECT_EQ(fs::current_path().string(), HostPath("ZRT1.TMP"));
  // What stands under the name is checked as the pin's own test shows;
  // here only that a folder put in its place is not entered.
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\start"));
  fs::rename(HostPath("ZRT1.TMP"), HostPath("moved"));
  MakeFolder("ZRT1.TMP");
  EXPECT_FALSE(EnterStagingDirectory("C:\\ZRT1.TMP\\", pin));
  EXPECT_EQ(fs::current_path().string(), HostPath("start"));
  EXPECT_TRUE(CloseHandle(pin));
}

// A staged run of C:\pkg, its console written to `console`, in a process
// that is to end within the run: returning from it ends with 4.
void RunToTheEnd(const std::string& console) {
  if (!freopen(console.c_str(), "w", stdout)) _exit(3);
  char zoderudo[] = "zoderudo";
  char package[] = "C:\\pkg";
  char* argv[] = {zoderudo, package, nullptr};
  RunUpdate(2, argv);
  _exit(4);
}

// A log that cannot be opened once the update ran still lets the run go
// back and remove its copy; the exit code is 1 all the same.
TEST_F(StagedRunTest, LogThatCannotBeOpenedAfterTheUpdateStillCleansUp) {
  MakeFile("ZRLOG", "a file in the log folder's place");
  const std::string console = HostPath("console.txt");
  EXPECT_EXIT(RunToTheEnd(console), testing::ExitedWithCode(1), "");
  EXPECT_EQ(ReadFile("console.txt"), "Log File Creation Failed!\n");
  EXPECT_EQ(UpdateRanIn().find(HostPath("ZRT")), 0u) << UpdateRanIn();
  EXPECT_TRUE(StagingLeftovers().empty());
  EXPECT_EQ(ReadFile("ZRLOG"), "a file in the log folder's place");

  // And if the clean-up fails too, its own message follows.
  MakeFile("pkg/ZELMOR_UPDATE",
           "#!/bin/sh\ntouch locked && chmod a-w locked\nexit 0\n");
  EXPECT_EXIT(RunToTheEnd(console), testing::ExitedWithCode(1), "");
  std::string said = ReadFile("console.txt");
  EXPECT_EQ(said.find("Log File Creation Failed!\nUnable to remove temp file "),
            0u) << said;
  EXPECT_NE(said.find("Could not delete files from temporary directory.\n"),
            std::string::npos);
  EXPECT_EQ(StagingLeftovers().size(), 1u);
}

// Windows removes no folder that a process stands in: with the starting
// folder gone, the run leaves its copy for the root of the system drive.
TEST_F(StagedRunTest, StartingFolderGoneDuringTheUpdate) {
  MakeFile("pkg/ZELMOR_UPDATE",
           "#!/bin/sh\nrm -r '" + HostPath("start") + "'\nexit 5\n");
  EXPECT_EQ(Run({"zoderudo", "C:\\pkg"}), 5);
  EXPECT_EQ(console_, "");
  EXPECT_TRUE(StagingLeftovers().empty());
  EXPECT_EQ(fs::current_path().string(), drive_c_);
  std::vector<std::string> entered = Calls("SetCurrentDirectoryA");
  EXPECT_EQ(entered.back(), "SetCurrentDirectoryA C:\\");
}

// Ctrl+C at the console during the copy (the host's SIGINT): the copy
// stops at its next file, nothing runs, and the copy goes; the record,
// with the package's version file, and the exit code say so. Before the
// update starts in place, the same.
TEST_F(StagedRunTest, ABreakBeforeTheUpdateCancelsTheRun) {
  const std::string kCancelled =
      "Update cancelled (Ctrl+C); nothing was installed.\n";
  MakeFolder("pkg/sub");
  MakeFile("pkg/sub/a.txt", "a");
  for (const char* during : {"CopyFileA", "FindFirstFileA"}) {
    fs::remove(HostPath("ZRLOG/ZR.log"));
    HostBeforeCall(during, [] { raise(SIGINT); });
    bool staged = strcmp(during, "CopyFileA") == 0;
    if (!staged) {
      ASSERT_TRUE(SetCurrentDirectoryA("C:\\pkg"));
    }
    EXPECT_EQ(Run(staged ? std::vector<std::string>{"zoderudo", "C:\\pkg"}
                         : std::vector<std::string>{"zoderudo"}),
              -1073741510);
    HostBeforeCall(during, nullptr);
    EXPECT_EQ(console_, kCancelled);
    EXPECT_EQ(UpdateRanIn(), "");
    EXPECT_TRUE(Calls("CreateProcessA").empty());
    EXPECT_EQ(Calls("CopyFileA").size(), staged ? 1u : 0u);
    EXPECT_NE(ReadFile("ZRLOG/ZR.log").find(",Update=1.0,New=2.0,"),
              std::string::npos);
    EXPECT_EQ(LoggedResult(), "Status=Unknown,ReturnCode=-1073741510 \r\n");
    EXPECT_TRUE(StagingLeftovers().empty());
    EXPECT_EQ(HostOpenHandleCount(), 0u);
  }
}

// Ctrl+C at the console while the update runs (the host's SIGINT, which
// the update sends): the run waits for the update, records its result and
// removes its copy. Without the run's handler it would end this process.
TEST_F(StagedRunTest, ABreakDuringTheUpdateStillRecordsAndCleansUp) {
  MakeFile("pkg/ZELMOR_UPDATE",
           "#!/bin/sh\nkill -INT " + std::to_string(getpid()) + "\nexit 7\n");
  fs::permissions(HostPath("pkg/ZELMOR_UPDATE"), fs::perms::owner_all);
  EXPECT_EQ(Run({"zoderudo", "C:\\pkg"}), 7);
  EXPECT_EQ(LoggedResult(), "Status=Unknown,ReturnCode=7 \r\n");
  EXPECT_TRUE(StagingLeftovers().empty());
}

TEST_F(StagedRunTest, AbsolutePackageAndANotApplicableRunStillCleanUp) {
  SetWindows(VER_PLATFORM_WIN32_NT, 5, 1);
  EXPECT_EQ(Run({"zoderudo", "c:\\PKG"}), 99);
  EXPECT_EQ(UpdateRanIn(), "");
  EXPECT_EQ(console_, "");
  EXPECT_NE(ReadFile("ZRLOG/ZR.log").find(
                ",Update=1.0,New=2.0,Status=Unknown,ReturnCode=99 \r\n"),
            std::string::npos);
  EXPECT_EQ(Calls("Sleep"), std::vector<std::string>{"Sleep 5000"});
  EXPECT_TRUE(StagingLeftovers().empty());
  EXPECT_TRUE(BackAtTheStart());
}

TEST_F(StagedRunTest, FailedStagingIsRecordedFromTheStartingDirectory) {
  HostFailCall("GetDiskFreeSpaceA", ERROR_ACCESS_DENIED, 1);
  EXPECT_EQ(Run({"zoderudo", "C:\\pkg"}), 1);
  EXPECT_EQ(console_,
            std::string("Unable to determine if enough free space to copy "
                        "files.\n") + kStagingFailed);
  EXPECT_EQ(ReadFile("ZRLOG/ZR.log").substr(19),
            ",Update=start,New=here,Status=Unknown,ReturnCode=1 \r\n");
  EXPECT_EQ(UpdateRanIn(), "");
  EXPECT_TRUE(Calls("Sleep").empty());
  EXPECT_TRUE(BackAtTheStart());
  EXPECT_TRUE(StagingLeftovers().empty());
}

// What was copied goes, then the folder: a copy that fails at every boot
// leaves nothing behind.
TEST_F(StagedRunTest, FailedCopyLeavesNoStagingFolder) {
  MakeFolder("pkg/sub");
  MakeFile("pkg/sub/a.txt", "a");
  HostFailCall("CopyFileA", ERROR_DISK_FULL, 1);
  EXPECT_EQ(Run({"zoderudo", "C:\\pkg"}), 1);
  // The first file copied lies in sub.
  EXPECT_EQ(console_,
            "Unable to copy files from ZR CD to hard drive.\n"
            "Unable to copy sub-directory update files to the hard drive.\n"
            "Unable to copy update files to the hard drive.\n" +
                std::string(kStagingFailed));
  EXPECT_TRUE(StagingLeftovers().empty());
  EXPECT_TRUE(BackAtTheStart());
}

TEST_F(StagedRunTest, UnreadablePackageIsAFailedCopy) {
  // The first listing is the package's; the second the clean-up's.
  HostFailNthCall("FindFirstFileA", ERROR_ACCESS_DENIED, 1);
  EXPECT_EQ(Run({"zoderudo", "C:\\pkg"}), 1);
  EXPECT_EQ(console_, "Unable to copy files from ZR CD to hard drive.\n"
                      "Unable to copy update files to the hard drive.\n" +
                          std::string(kStagingFailed));
  std::vector<std::string> listed = Calls("FindFirstFileA");
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0], "FindFirstFileA C:\\pkg\\*.*");
  EXPECT_TRUE(listed[1].rfind("FindFirstFileA C:\\ZRT", 0) == 0) << listed[1];
  EXPECT_EQ(LoggedResult(), "Status=Unknown,ReturnCode=1 \r\n");
  EXPECT_EQ(UpdateRanIn(), "");
  EXPECT_TRUE(StagingLeftovers().empty());
  EXPECT_TRUE(BackAtTheStart());
}

TEST_F(StagedRunTest, CopyThatCannotBeEnteredIsAFailedStaging) {
  // Started in the package itself: were the copy not entered, the update
  // would run from the package.
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\pkg"));
  HostFailNthCall("SetCurrentDirectoryA", ERROR_ACCESS_DENIED, 4);
  EXPECT_EQ(Run({"zoderudo", "."}), 1);
  std::string staging = StagingPath();
  EXPECT_EQ(Calls("SetCurrentDirectoryA")[3], "SetCurrentDirectoryA " + staging);
  EXPECT_EQ(UpdateRanIn(), "");
  EXPECT_TRUE(Calls("CreateProcessA").empty());
  EXPECT_EQ(console_, kStagingFailed);
  EXPECT_EQ(LoggedResult(), "Status=Unknown,ReturnCode=1 \r\n");
  EXPECT_TRUE(StagingLeftovers().empty());  // as after a failed copy
  EXPECT_EQ(fs::current_path().string(), HostPath("pkg"));
}

// The folder is claimed by making it: names already taken, by anything,
// move the run on to the next free one; any other failure ends it.
TEST_F(StagedRunTest, TakenStagingNamesAreSkipped) {
  HostFailCall("NtCreateFile", ERROR_ACCESS_DENIED, 1);
  EXPECT_EQ(Run({"zoderudo", "C:\\pkg"}), 1);
  ASSERT_EQ(StagingMade().size(), 1u);  // the first name, tried once
  unsigned first = std::stoul(StagingPath().substr(6), nullptr, 16);
  std::vector<std::string> taken;
  for (unsigned n = first; n < first + 17; ++n) {
    char name[16];
    snprintf(name, sizeof name, "ZRT%X.TMP", n > 0xFFFF ? n - 0xFFFF : n);
    taken.push_back(name);
    n % 2 ? MakeFile(name, "theirs") : MakeFolder(name);
  }
  EXPECT_EQ(Run({"zoderudo", "C:\\pkg"}), 7);
  EXPECT_EQ(StagingMade().size(), 18u);
  EXPECT_EQ(StagingLeftovers().size(), 17u);
  for (const std::string& name : taken)
    EXPECT_NE(StagingPath(), "C:\\" + name + "\\");
}

TEST_F(StagedRunTest, CleanUpFailuresAreReportedAndKeepTheResult) {
  // The update leaves a read-only file, which the delete walk cannot remove.
  MakeFile("pkg/ZELMOR_UPDATE",
           "#!/bin/sh\ntouch locked && chmod a-w locked\nexit 42\n");
  EXPECT_EQ(Run({"zoderudo", "C:\\pkg"}), 42);
  std::string staging = StagingPath();
  EXPECT_EQ(console_, "Unable to remove temp file " + staging + "locked\n" +
                          "Could not delete files from temporary directory.\n");
  EXPECT_TRUE(Calls("RemoveDirectoryA").empty());
  EXPECT_EQ(StagingLeftovers().size(), 1u);
  EXPECT_TRUE(BackAtTheStart());
}

TEST_F(StagedRunTest, FailedRemovalNamesTheStagingFolder) {
  HostFailCall("RemoveDirectoryA", ERROR_ACCESS_DENIED, 1);
  EXPECT_EQ(Run({"zoderudo", "C:\\pkg"}), 7);
  std::string staging = StagingPath();
  EXPECT_EQ(console_, "Could not remove temporary directory" + staging + "\n");
  EXPECT_EQ(StagingLeftovers().size(), 1u);
  EXPECT_TRUE(BackAtTheStart());
}

TEST_F(StagedRunTest, ArgumentsThatNameNoPackageAreRefused) {
  MakeFile("start/file.txt", "not a folder");
  // Folders whose names have no exact form in the ANSI code page: the name
  // the system reads back leads nowhere, or to another folder.
  MakeFolder("start/Łódź-pkg");
  HostSetNarrowName("Łódź-pkg", "Lodz-pkg");
  MakeFolder("start/ā-pkg");
  MakeFolder("start/a-pkg");
  HostSetNarrowName("ā-pkg", "a-pkg");
  struct Refusal {
    std::string argument, message;
    const char* unreadable = nullptr;  // a call that fails
    int nth = 4;  // the root's, by default
  } refusals[] = {
      // The package folder is entered but its name cannot be read.
      {"C:\\pkg", "Unable to open package directory C:\\pkg\n",
       "GetCurrentDirectoryA", 2},
      {"C:\\missing", "Unable to open package directory C:\\missing\n"},
      {"file.txt", "Unable to open package directory file.txt\n"},
      {"", "Unable to open package directory \n"},
      // "\" as the C runtime splits it: the backslash, the current root.
      {"\"", "Package directory holds the staging directory: \\\n"},
      {"Łódź-pkg", "Unable to open package directory Łódź-pkg\n"},
      {"ā-pkg", "Unable to open package directory ā-pkg\n"},
      // The root holds the staging folder: it would be copied into itself.
      {"C:\\", "Package directory holds the staging directory: C:\\\n"},
      {"..", "Package directory holds the staging directory: ..\n"},
      // Where the system cannot tell the folders apart, the names do.
      {"C:\\", "Package directory holds the staging directory: C:\\\n",
       "CreateFileA"},
      {"c:\\", "Package directory holds the staging directory: c:\\\n",
       "GetFileInformationByHandle"},
  };
  for (const Refusal& refusal : refusals) {
    fs::remove(HostPath("ZRLOG/ZR.log"));
    // The fourth call is the root's, after the two of the check that the
    // package's name leads back to it and the package's own.
    if (refusal.unreadable)
      HostFailNthCall(refusal.unreadable, ERROR_ACCESS_DENIED, refusal.nth);
    EXPECT_EQ(Run({"zoderudo", refusal.argument}), 1) << refusal.argument;
    EXPECT_EQ(HostOpenHandleCount(), 0u);
    EXPECT_EQ(console_, refusal.message);
    EXPECT_EQ(LoggedResult(), "Status=Unknown,ReturnCode=1 \r\n");
    EXPECT_TRUE(StagingMade().empty()) << refusal.argument;
    EXPECT_TRUE(Calls("CopyFileA").empty());
    EXPECT_TRUE(StagingLeftovers().empty());
    EXPECT_TRUE(BackAtTheStart()) << refusal.argument;
  }
}

// A file system that keeps no file index gives 0 for every folder: no two
// folders are taken for one, so the package is copied whole and run, and
// the root is still told by its name.
TEST_F(StagedRunTest, FoldersWithoutAFileIndexAreToldApartByName) {
  MakeFolder("pkg/sub");
  MakeFile("pkg/sub/data.txt", "data");
  HostSetNoFileIndex(true);
  EXPECT_EQ(Run({"zoderudo", "C:\\pkg"}), 7);
  EXPECT_EQ(console_, "");
  std::string staging = StagingPath();
  ASSERT_FALSE(staging.empty());
  const std::vector<std::string> copied = Calls("CopyFileA");
  EXPECT_NE(std::find(copied.begin(), copied.end(),
                      "CopyFileA " + staging + "sub\\data.txt"),
            copied.end());
  EXPECT_EQ(LoggedResult(), "Status=Unknown,ReturnCode=7 \r\n");
  EXPECT_TRUE(StagingLeftovers().empty());

  fs::remove(HostPath("ZRLOG/ZR.log"));
  EXPECT_EQ(Run({"zoderudo", "C:\\"}), 1);
  EXPECT_EQ(console_, "Package directory holds the staging directory: C:\\\n");
  EXPECT_TRUE(StagingMade().empty());
}

TEST_F(StagedRunTest, PackagePathsUpTo255CharactersAreTaken) {
  for (size_t length : {255u, 256u, 259u, 261u}) {
    std::string below = DeepFolder(std::to_string(length), length);
    ASSERT_EQ(below.size() + 3, length);
    MakeFolder(below);
    // Room for no longer name: the update and its version file stay
    // behind, and the copy runs nothing.
    MakeFile(below + "/a", "a");
    std::string windows = "C:\\" + below;
    std::replace(windows.begin(), windows.end(), '/', '\\');
    fs::remove(HostPath("ZRLOG/ZR.log"));

    EXPECT_EQ(Run({"zoderudo", windows}), 1) << length;
    if (length == 255) {
      // The copy can list it and add "\a": staged, run, removed.
      EXPECT_EQ(console_, kCannotReadVersion);
      std::string staging = StagingPath();
      EXPECT_EQ(Calls("CopyFileA"),
                std::vector<std::string>{"CopyFileA " + staging + "a"});
      EXPECT_EQ(Calls("RemoveDirectoryA").size(), 1u);
    } else {
      EXPECT_EQ(console_,
                "Package directory path is too long: " + windows + "\n");
      EXPECT_TRUE(StagingMade().empty());
      EXPECT_EQ(LoggedResult(), "Status=Unknown,ReturnCode=1 \r\n") << length;
    }
    EXPECT_TRUE(StagingLeftovers().empty());
    EXPECT_TRUE(BackAtTheStart());
  }
}

TEST_F(StagedRunTest, WithoutASystemFolderNothingIsReservedAndStagingFails) {
  HostSetSystemDirectory(nullptr);
  SetEnvironmentVariableA("systemdrive", "C:");  // else the log has no place
  EXPECT_EQ(Run({"zoderudo", "C:\\pkg"}), 1);
  EXPECT_TRUE(StagingMade().empty());
  EXPECT_EQ(console_.substr(console_.size() - strlen(kStagingFailed)),
            kStagingFailed);
  EXPECT_TRUE(StagingLeftovers().empty());
  EXPECT_TRUE(BackAtTheStart());
}

}  // namespace
