#include "log/log-result.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "log/log-path.h"
#include "os/posix/host-control.h"
#include "support/host-machine.h"

namespace {

namespace fs = std::filesystem;

const char kCannotReadVersion[] = "zoDerudo: Cannot Read Version.id file\n";
const char kLogFailed[] = "Log File Creation Failed!\n";
const char kRecord0[] =
    "03-07-2005 09:05:41,Update=1.0,New=2.0,Status=Success,ReturnCode=0 \r\n";
const char kRecord99[] =
    "03-07-2005 09:05:41,Update=1.0,New=2.0,Status=Unknown,ReturnCode=99 \r\n";

// C:\pkg holds a version file; the clock reads 7 March 2005, 09:05:41.
class LogResultTest : public HostMachineTest {
 protected:
  void SetUp() override {
    HostMachineTest::SetUp();
    MakeFile("pkg/version.id", "1.0\r\n2.0\r\n");
    SYSTEMTIME time = {};
    time.wYear = 2005;
    time.wMonth = 3;
    time.wDay = 7;
    time.wHour = 9;
    time.wMinute = 5;
    time.wSecond = 41;
    HostSetLocalTime(&time);
  }

  int32_t Log(int32_t result) {
    testing::internal::CaptureStdout();
    int32_t logged = LogResult(result);
    console_ = testing::internal::GetCapturedStdout();
    return logged;
  }

  // The run must end after the log step: the message alone, for the
  // caller to end with exit code 1.
  void ExpectLogFailure() {
    EXPECT_EQ(Log(7), LogFailed);
    EXPECT_EQ(console_, kLogFailed);
    EXPECT_EQ(HostOpenHandleCount(), 0u);
  }

  void MapDriveD() {
    MakeFolder("drive-d");
    HostMapDrive('D', HostPath("drive-d").c_str());
  }

  std::string console_;
};

TEST_F(LogResultTest, FirstRecordMakesTheFolderAndTheFile) {
  EXPECT_EQ(Log(0), 0);
  EXPECT_EQ(console_, "");
  EXPECT_EQ(ReadFile("ZRLOG/ZR.log"), kRecord0);
}

TEST_F(LogResultTest, LaterRecordsFollowAndTheFolderIsLeftAlone) {
  MakeFolder("ZRLOG");
  MakeFile("ZRLOG/other.txt", "keep");
  MakeFile("ZRLOG/ZR.log", "old line\r\n");
  EXPECT_EQ(Log(0), 0);
  EXPECT_EQ(Log(99), 0);
  EXPECT_EQ(ReadFile("ZRLOG/ZR.log"),
            std::string("old line\r\n") + kRecord0 + kRecord99);
  EXPECT_EQ(ReadFile("ZRLOG/other.txt"), "keep");
  // Without NtCreateFile (Windows 9x) the file is opened by its name.
  HostFailCall("GetModuleHandleA", ERROR_MOD_NOT_FOUND, 1000);
  EXPECT_EQ(Log(0), 0);
  // A failed move there writes nothing, and says so.
  HostFailNthCall("SetFilePointer", ERROR_INVALID_HANDLE, 3);
  ExpectLogFailure();
  HostFailCall("GetModuleHandleA", ERROR_MOD_NOT_FOUND, 0);
  EXPECT_EQ(ReadFile("ZRLOG/ZR.log"),
            std::string("old line\r\n") + kRecord0 + kRecord99 + kRecord0);
}

TEST_F(LogResultTest, AnEmptyFolderGetsANewFile) {
  MakeFolder("ZRLOG");
  EXPECT_EQ(Log(99), 0);
  EXPECT_EQ(ReadFile("ZRLOG/ZR.log"), kRecord99);
}

// And a log that then ends mid-line (a record cut short by a full disk
// or a crash) gets CR LF: the record starts on a line of its own.
TEST_F(LogResultTest, OnlyAFinalEndOfFileMarkIsCut) {
  struct Case {
    std::string before, kept;
  } cases[] = {
      {"old\r\n\x1A", "old\r\n"},
      {"old\x1A", "old\r\n"},
      {"old\x1A\x1A", "old\x1A\r\n"},
      {"a\x1A" "b\r\n", "a\x1A" "b\r\n"},
      {"\x1A", ""},
      {"old\r\n03-07-2005 09:05", "old\r\n03-07-2005 09:05\r\n"},
      {"old\n", "old\n"},
  };
  MakeFolder("ZRLOG");
  for (const Case& c : cases) {
    MakeFile("ZRLOG/ZR.log", c.before);
    EXPECT_EQ(Log(0), 0);
    EXPECT_EQ(ReadFile("ZRLOG/ZR.log"), c.kept + kRecord0) << c.before;
  }
}

// Without the lock, or when the cut fails, the mark stays and the record
// starts on a line of its own. A record that cannot be written whole (a
// full drive) is a failure of the log.
TEST_F(LogResultTest, WithoutTheCutTheMarkStaysAndTheRecordGoesBelow) {
  MakeFolder("ZRLOG");
  for (const char* call : {"LockFile", "SetEndOfFile"}) {
    MakeFile("ZRLOG/ZR.log", "old\r\n\x1A");
    HostFailCall(call, ERROR_ACCESS_DENIED, 1);
    EXPECT_EQ(Log(0), 0);
    EXPECT_EQ(ReadFile("ZRLOG/ZR.log"),
              std::string("old\r\n\x1A\r\n") + kRecord0) << call;
  }
  HostFailCall("WriteFile", ERROR_DISK_FULL, 1);
  ExpectLogFailure();
}

// The last byte is only looked at where it is: a seek that fails reads
// nothing, even where the first byte of the log is a mark, and nothing is
// cut.
TEST_F(LogResultTest, AFailedSeekToTheLastByteCutsNothing) {
  MakeFolder("ZRLOG");
  MakeFile("ZRLOG/ZR.log", "\x1A" "old\r\n");
  HostFailCall("SetFilePointer", ERROR_NEGATIVE_SEEK, 1);
  EXPECT_EQ(Log(0), 0);
  EXPECT_EQ(ReadFile("ZRLOG/ZR.log"),
            std::string("\x1A" "old\r\n") + kRecord0);
}

// Another run, in a process of its own, that holds the runs' lock on the
// log (the byte at 0x7FFF0000) from Start until Release, or for `hold_ms`.
class OtherRun {
 public:
  bool Start(int hold_ms) {
    if (pipe(ready_) != 0 || pipe(release_) != 0) return false;
    fflush(nullptr);
    pid_ = fork();
    if (pid_ == 0) Hold(hold_ms);
    close(ready_[1]);
    close(release_[0]);
    char said = 0;
    bool locked = pid_ > 0 && read(ready_[0], &said, 1) == 1 && said == 'y';
    close(ready_[0]);
    return locked;
  }
  // True when the other run held the lock to the end and gave it back.
  bool Release() {
    close(release_[1]);
    int status = 0;
    return waitpid(pid_, &status, 0) == pid_ && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
  }

 private:
  [[noreturn]] void Hold(int hold_ms) {
    close(ready_[0]);
    close(release_[1]);
    HANDLE log = CreateFileA("C:\\ZRLOG\\ZR.log", GENERIC_READ,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    bool locked = log != INVALID_HANDLE_VALUE &&
                  LockFile(log, 0x7FFF0000, 0, 1, 0);
    char said = locked ? 'y' : 'n';
    if (write(ready_[1], &said, 1) != 1) _exit(2);
    struct pollfd release = {release_[0], POLLIN, 0};
    poll(&release, 1, hold_ms);
    _exit(locked && UnlockFile(log, 0x7FFF0000, 0, 1, 0) ? 0 : 1);
  }

  int ready_[2] = {-1, -1};
  int release_[2] = {-1, -1};
  pid_t pid_ = -1;
};

// Another run holds the lock while it writes: this one waits for it, and
// then cuts the mark that run left.
TEST_F(LogResultTest, ARunWaitsForTheLockAnotherRunHolds) {
  MakeFolder("ZRLOG");
  MakeFile("ZRLOG/ZR.log", "old\r\n\x1A");
  OtherRun other;
  ASSERT_TRUE(other.Start(300));
  EXPECT_EQ(Log(0), 0);
  EXPECT_TRUE(other.Release());
  EXPECT_EQ(ReadFile("ZRLOG/ZR.log"), std::string("old\r\n") + kRecord0);
}

// A lock that stays held: the run waits 5 seconds by the tick count, in
// short pauses, then appends below the mark it leaves. A program that
// holds the log sharing reading only (a backup) for 2 s is waited for
// before, on its own time; one that holds it for good fails the open
// after 5 seconds. The host's clock passes its wrap meanwhile.
TEST_F(LogResultTest, ALockHeldForGoodIsWaitedForFiveSeconds) {
  MakeFolder("ZRLOG");
  MakeFile("ZRLOG/ZR.log", "old\r\n\x1A");
  OtherRun other;
  ASSERT_TRUE(other.Start(-1));
  HostSkipSleep(true);  // the pauses are traced, not waited for
  HostTraceCalls(true);
  auto waited = [] {
    unsigned long total = 0;
    for (const std::string& line : HostTakeTrace()) {
      if (line.rfind("Sleep ", 0) == 0)
        total += std::stoul(line.substr(strlen("Sleep ")));
    }
    return total;
  };
  HostFailCall("NtCreateFile", ERROR_SHARING_VIOLATION, 80);
  EXPECT_EQ(Log(0), 0);
  EXPECT_EQ(waited(), 7000u);
  // A brief holder of the folder before the lock's wait, and one of the
  // file after it, are each waited for.
  HostFailNthCall("CreateFileA", ERROR_SHARING_VIOLATION, 2);
  int opens = 0;
  HostBeforeCall("NtCreateFile", [&] {
    if (++opens == 2) HostFailCall("NtCreateFile", ERROR_SHARING_VIOLATION, 1);
  });
  EXPECT_EQ(Log(0), 0);
  HostBeforeCall("NtCreateFile", nullptr);
  EXPECT_EQ(waited(), 5050u);
  EXPECT_TRUE(other.Release());
  EXPECT_EQ(ReadFile("ZRLOG/ZR.log"),
            std::string("old\r\n\x1A\r\n") + kRecord0 + kRecord0);
  HostFailCall("NtCreateFile", ERROR_SHARING_VIOLATION, 1000);
  ExpectLogFailure();
  EXPECT_EQ(waited(), 5000u);
  HostFailCall("NtCreateFile", ERROR_SHARING_VIOLATION, 0);
  // The folder, opened after the version file, is waited for alike.
  HostFailNthCall("CreateFileA", ERROR_SHARING_VIOLATION, 2);
  EXPECT_EQ(Log(0), 0);
  EXPECT_EQ(waited(), 25u);
}

// Another run, without the lock, appends its record while this one, which
// holds it, reads the size to cut the mark: a writer already there keeps
// the cut from happening; one that comes then must wait for it. Nothing
// of either record is cut.
TEST_F(LogResultTest, ARecordAppendedMeanwhileIsNeverCut) {
  MakeFolder("ZRLOG");
  const std::string kTheirs = "theirs\r\n";
  for (bool writing_before : {true, false}) {
    MakeFile("ZRLOG/ZR.log", "old\r\n\x1A");
    auto open_theirs = [] {
      return CreateFileA("C:\\ZRLOG\\ZR.log", FILE_APPEND_DATA,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
    };
    HANDLE theirs = writing_before ? open_theirs() : INVALID_HANDLE_VALUE;
    DWORD refused = 0;
    DWORD written = 0;
    HostBeforeCall("GetFileSize", [&] {
      HostBeforeCall("GetFileSize", nullptr);
      if (theirs == INVALID_HANDLE_VALUE) theirs = open_theirs();
      refused = theirs == INVALID_HANDLE_VALUE ? GetLastError() : 0;
      WriteFile(theirs, "\r\ntheirs\r\n", 10, &written, nullptr);
    });
    EXPECT_EQ(Log(0), 0);
    EXPECT_EQ(refused, writing_before ? 0 : DWORD{ERROR_SHARING_VIOLATION});
    if (!writing_before) {
      theirs = open_theirs();
      EXPECT_TRUE(WriteFile(theirs, kTheirs.data(), 8, &written, nullptr));
    }
    EXPECT_TRUE(CloseHandle(theirs));
    EXPECT_EQ(ReadFile("ZRLOG/ZR.log"),
              writing_before ? "old\r\n\x1A\r\n" + kTheirs + kRecord0
                             : "old\r\n" + std::string(kRecord0) + kTheirs);
  }
}

TEST_F(LogResultTest, WithoutAVersionFileNothingIsLogged) {
  std::filesystem::remove(HostPath("pkg/version.id"));
  EXPECT_EQ(Log(0), 1);
  EXPECT_EQ(console_, kCannotReadVersion);
  MakeFolder("pkg/version.id");  // a folder is no version file
  EXPECT_EQ(Log(0), 1);
  EXPECT_EQ(console_, kCannotReadVersion);
  EXPECT_FALSE(Exists("ZRLOG"));
}

TEST_F(LogResultTest, ShortVersionFilesGiveEmptyValues) {
  MakeFile("pkg/version.id", "");
  EXPECT_EQ(Log(0), 0);
  MakeFile("pkg/version.id", "only\n");
  EXPECT_EQ(Log(0), 0);
  EXPECT_EQ(ReadFile("ZRLOG/ZR.log"),
            "03-07-2005 09:05:41,Update=,New=,Status=Success,ReturnCode=0 \r\n"
            "03-07-2005 09:05:41,Update=only,New=,Status=Success,"
            "ReturnCode=0 \r\n");
}

// A line longer than 127 bytes is cut there. Under a double-byte code page
// (932, Japanese) a cut inside a character drops its lead byte, which
// would otherwise take the record's comma into the character; a cut
// between characters keeps all 127 bytes. A single-byte page keeps them.
TEST_F(LogResultTest, CutVersionValuesEndWithAWholeCharacter) {
  const std::string kA = "\x82\xa0";  // one character in code page 932
  std::string inside = std::string(126, 'a') + kA + "tail";
  std::string between = "b";
  for (int i = 0; i < 70; ++i) between += kA;
  MakeFile("pkg/version.id", inside + "\r\n" + between + "\r\n");
  std::string record_middle = ",New=b";
  for (int i = 0; i < 63; ++i) record_middle += kA;
  for (UINT code_page : {932u, 1252u}) {
    HostSetCodePage(code_page);
    std::filesystem::remove_all(HostPath("ZRLOG"));
    EXPECT_EQ(Log(99), 0);
    std::string update =
        std::string(126, 'a') + (code_page == 932 ? "" : "\x82");
    EXPECT_EQ(ReadFile("ZRLOG/ZR.log"),
              "03-07-2005 09:05:41,Update=" + update + record_middle +
                  ",Status=Unknown,ReturnCode=99 \r\n")
        << code_page;
  }
}

TEST_F(LogResultTest, SystemDriveIsFoundInAnyLetterCase) {
  MapDriveD();
  for (const char* name : {"SystemDrive", "SYSTEMDRIVE", "systemdrive"}) {
    ASSERT_EQ(setenv(name, "D:", 1), 0);
    EXPECT_EQ(Log(0), 0) << name;
    ASSERT_EQ(unsetenv(name), 0);
  }
  EXPECT_EQ(ReadFile("drive-d/ZRLOG/ZR.log"),
            std::string(kRecord0) + kRecord0 + kRecord0);
  EXPECT_FALSE(Exists("ZRLOG"));
}

TEST_F(LogResultTest, WithoutSystemDriveTheSystemDirectorysDriveServes) {
  MapDriveD();
  HostSetSystemDirectory("D:\\WINNT\\system32");
  EXPECT_EQ(Log(0), 0);
  ASSERT_EQ(setenv("SystemDrive", "", 1), 0);  // empty counts as missing
  EXPECT_EQ(Log(0), 0);
  EXPECT_EQ(ReadFile("drive-d/ZRLOG/ZR.log"),
            std::string(kRecord0) + kRecord0);
}

// The log path is the systemdrive value and "\ZRLOG\ZR.log" in a buffer of
// 128: 127 characters fit; longer ones, up to a path of 259, 260 and 261
// characters, are a failure to open, with nothing made.
TEST_F(LogResultTest, LogPathsOfUpTo127CharactersAreUsed) {
  for (size_t path_length : {126u, 127u, 128u, 129u, 259u, 260u, 261u}) {
    const std::string folder(
        path_length - strlen("C:\\") - strlen("\\ZRLOG\\ZR.log"), 'l');
    MakeFolder(folder);
    ASSERT_EQ(setenv("SystemDrive", ("C:\\" + folder).c_str(), 1), 0);
    if (path_length < kLogPathSize) {
      EXPECT_EQ(Log(0), 0) << path_length;
      EXPECT_EQ(ReadFile(folder + "/ZRLOG/ZR.log"), kRecord0) << path_length;
    } else {
      ExpectLogFailure();
      EXPECT_FALSE(Exists(folder + "/ZRLOG")) << path_length;
    }
  }
}

// Without systemdrive the drive comes from the system folder, read into a
// buffer of MAX_PATH: one of 259 characters serves, a longer one gives no
// drive.
TEST_F(LogResultTest, SystemFoldersUpTo259CharactersGiveTheDrive) {
  for (size_t length : {259u, 260u, 261u}) {
    const std::string system = "C:\\" + std::string(length - 3, 's');
    HostSetSystemDirectory(system.c_str());
    fs::remove_all(HostPath("ZRLOG"));
    if (length < MAX_PATH) {
      EXPECT_EQ(Log(0), 0) << length;
      EXPECT_EQ(ReadFile("ZRLOG/ZR.log"), kRecord0) << length;
    } else {
      ExpectLogFailure();
      EXPECT_FALSE(Exists("ZRLOG")) << length;
    }
  }
}

TEST_F(LogResultTest, AFolderInPlaceOfTheLogFileIsAFailureToOpen) {
  MakeFolder("ZRLOG/ZR.log");
  ExpectLogFailure();
}

// Only the log's own file takes the record: a link in the folder's or the
// file's place, or a second name of another file, is a log that cannot be
// opened, and neither what it leads to nor the link is touched.
TEST_F(LogResultTest, OnlyAPlainFolderAndAFileWithOneNameTakeTheRecord) {
  namespace fs = std::filesystem;
  MakeFolder("theirs");
  const std::string kTheirs = "boot\r\n\x1A";
  MakeFile("theirs/ZR.log", kTheirs);
  MakeFile("theirs/boot.ini", kTheirs);

  // The folder a link to another folder.
  fs::create_directory_symlink(HostPath("theirs"), HostPath("ZRLOG"));
  ExpectLogFailure();
  fs::remove(HostPath("ZRLOG"));

  // The file a second name of another, a link to one, or a link that
  // leads nowhere (which an open would create a file for).
  struct Case {
    const char* what;
    void (*make)(const std::string& target, const std::string& name);
  } cases[] = {
      {"hard link",
       [](const std::string& t, const std::string& n) {
         fs::create_hard_link(t, n);
       }},
      {"symbolic link",
       [](const std::string& t, const std::string& n) {
         fs::create_symlink(t, n);
       }},
  };
  MakeFolder("ZRLOG");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.make(HostPath("theirs/boot.ini"), HostPath("ZRLOG/ZR.log"));
    ExpectLogFailure();
    EXPECT_EQ(ReadFile("theirs/boot.ini"), kTheirs);
    fs::remove(HostPath("ZRLOG/ZR.log"));
  }
  fs::create_symlink(HostPath("theirs/new.ini"), HostPath("ZRLOG/ZR.log"));
  ExpectLogFailure();
  EXPECT_FALSE(Exists("theirs/new.ini"));
  fs::remove(HostPath("ZRLOG/ZR.log"));
  EXPECT_EQ(ReadFile("theirs/ZR.log"), kTheirs);

  // A plain folder and file, as on a file system without links: the
  // record, after the mark is cut.
  MakeFile("ZRLOG/ZR.log", "old\r\n\x1A");
  EXPECT_EQ(Log(0), LogWritten);
  EXPECT_EQ(ReadFile("ZRLOG/ZR.log"), std::string("old\r\n") + kRecord0);
  EXPECT_EQ(HostOpenHandleCount(), 0u);

  // The folder cannot be renamed away, nor opened for writing (as making
  // it a mount point needs), while the file is opened in it, through it;
  // nor can the file be renamed. The cut opens the file through it too.
  MakeFile("ZRLOG/ZR.log", "old\x1A");
  HostTraceCalls(true);
  EXPECT_EQ(Log(0), LogWritten);
  std::vector<std::string> opens;
  for (const std::string& line : HostTakeTrace()) {
    if (line.find("ZRLOG access=") != std::string::npos ||
        line.find("ZR.log access=") != std::string::npos)
      opens.push_back(line);
  }
  EXPECT_EQ(opens, (std::vector<std::string>{
                       "CreateFileA C:\\ZRLOG access=0x1 share=0x3",
                       "NtCreateFile C:\\ZRLOG\\ZR.log access=0x80100080 "
                       "share=0x3",
                       "NtCreateFile C:\\ZRLOG\\ZR.log access=0xC0100080 "
                       "share=0x1",
                       "NtCreateFile C:\\ZRLOG\\ZR.log access=0x100084 "
                       "share=0x3"}));
}

TEST_F(LogResultTest, ALogFolderThatCannotBeMadeIsAFailureToOpen) {
  ASSERT_EQ(setenv("SystemDrive", "Q:", 1), 0);  // no such drive
  ExpectLogFailure();
  ASSERT_EQ(unsetenv("SystemDrive"), 0);
  HostSetSystemDirectory(nullptr);  // and no drive to fall back on
  ExpectLogFailure();
  EXPECT_FALSE(Exists("ZRLOG"));
}

}  // namespace
