// The Win32 calls the program relies on, as the real ones behave. Built
// both against our POSIX layer and for Windows (run under Wine), with the
// same assertions: where the two disagree, the layer is wrong.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "os/os.h"

#include "conformance.h"

namespace fs = std::filesystem;
using namespace conformance;

namespace {

// cmd runs NAME.cmd under Windows and the file NAME on the host.
void WriteExitScripts(const std::string& name, int code) {
  WriteText(name + ".cmd", "@exit " + std::to_string(code) + "\r\n");
  WriteText(name, "exit " + std::to_string(code) + "\n");
}

BOOL Start(const char* command, PROCESS_INFORMATION* process,
           const char* folder = nullptr) {
  char line[MAX_PATH];
  strcpy(line, command);
  STARTUPINFOA startup;
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  return CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr,
                        folder, &startup, process);
}

// Both directory queries: the length without the NUL when the string fits,
// else the size needed with it and nothing written.
template <typename Query>
void ExpectBufferRules(Query query) {
  DWORD needed = query(nullptr, 0);
  ASSERT_GT(needed, 3u);
  char buffer[MAX_PATH];
  memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(query(buffer, needed - 1), needed);
  EXPECT_EQ(buffer[0], '#');
  EXPECT_EQ(query(buffer, needed), needed - 1);
  EXPECT_EQ(strlen(buffer), needed - 1);
  EXPECT_EQ(std::string(buffer + 1, 2), ":\\");
}

}  // namespace

TEST_F(Win32, DirectoryQueriesFollowBufferRules) {
  ExpectBufferRules([](char* buffer, DWORD size) {
    return GetCurrentDirectoryA(size, buffer);
  });
  ExpectBufferRules([](char* buffer, DWORD size) {
    return static_cast<DWORD>(GetSystemDirectoryA(buffer, size));
  });
}

TEST_F(Win32, CurrentDirectoryRoundTripsKeepTheCaseGiven) {
  fs::create_directories("sub/inner");
  struct Step {
    std::string path, then;
  } steps[] = {
      {"SUB", here_ + "\\SUB"},
      {"..", here_},
      {"sub\\INNER\\", here_ + "\\sub\\INNER"},
      {"..\\..", here_},
      {"sub//./inner", here_ + "\\sub\\inner"},
      {here_, here_},
      {drive_ + "sub", here_ + "\\sub"},  // relative on the current drive
      {"\\", drive_ + "\\"},
      {"..", drive_ + "\\"},
      {here_, here_},
      // A path's last name loses its trailing dots and blanks; a name
      // before a separator, one trailing dot.
      {"sub. .", here_ + "\\sub"},
      {"..\\sub.\\inner ", here_ + "\\sub\\inner"},
      {here_ + ".\\sub.\\", here_ + "\\sub"},
  };
  for (const Step& step : steps) {
    EXPECT_TRUE(SetCurrentDirectoryA(step.path.c_str())) << step.path;
    EXPECT_EQ(Cwd(), step.then) << step.path;
  }
}

TEST_F(Win32, SetCurrentDirectoryFailuresLeaveItUnchanged) {
  WriteText("file.txt", "x");
  fs::create_directory("dir");
  struct Case {
    const char* path;
    DWORD error;
  } cases[] = {
      {"missing", ERROR_FILE_NOT_FOUND},
      {"missing\\deeper", ERROR_PATH_NOT_FOUND},
      {"file.txt", ERROR_DIRECTORY},
      {"", ERROR_INVALID_NAME},
      {"Q:\\", ERROR_PATH_NOT_FOUND},
      {"\\\\no-such-server\\share", ERROR_PATH_NOT_FOUND},
      {"dir \\", ERROR_FILE_NOT_FOUND},  // kept before a separator
      {"dir..\\", ERROR_FILE_NOT_FOUND},
      // Characters no name holds, wherever they stand.
      {"d?r", ERROR_INVALID_NAME},
      {"d*r\\x", ERROR_INVALID_NAME},
      {"missing\\d<r", ERROR_INVALID_NAME},
      {"d>r", ERROR_INVALID_NAME},
      {"dir\\d|r", ERROR_INVALID_NAME},
      {"d\"r", ERROR_INVALID_NAME},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ErrorIf(!SetCurrentDirectoryA(Cleared(c.path))), c.error)
        << c.path;
  }
  EXPECT_EQ(Cwd(), here_);
}

TEST_F(Win32, FindFirstFileMatchesRegardlessOfCase) {
  WriteText("Data.TXT", "hello");
  WriteText("noext", "");
  WriteText("locked", "");
  fs::permissions(
      "locked",
      fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
      fs::perm_options::remove);
  const DWORD kKnown = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY |
                       FILE_ATTRIBUTE_ARCHIVE;
  struct Case {
    const char* pattern;
    const char* name;
    DWORD attributes, size;
  } cases[] = {
      {"data.txt", "Data.TXT", FILE_ATTRIBUTE_ARCHIVE, 5},
      {"*.txt", "Data.TXT", FILE_ATTRIBUTE_ARCHIVE, 5},
      {"DATA.T?T", "Data.TXT", FILE_ATTRIBUTE_ARCHIVE, 5},
      {"NOEXT.*", "noext", FILE_ATTRIBUTE_ARCHIVE, 0},
      {"Locked", "locked", FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY, 0},
  };
  for (const Case& c : cases) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(c.pattern, &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE) << c.pattern;
    EXPECT_STREQ(found.cFileName, c.name) << c.pattern;
    EXPECT_EQ(found.dwFileAttributes & kKnown, c.attributes) << c.pattern;
    EXPECT_EQ(found.nFileSizeLow, c.size) << c.pattern;
    EXPECT_EQ(found.nFileSizeHigh, 0u) << c.pattern;
    EXPECT_TRUE(FindClose(search));
  }
}

TEST_F(Win32, FindFirstFileInFoldersAndDriveRoots) {
  fs::create_directory("dir");
  WriteText("dir/f.bin", "x");
  struct Case {
    std::string pattern;
    bool dots;  // "." comes first
  } cases[] = {
      {"dir\\*", true}, {"DIR\\*.*", true},      {"dir/*", true},
      {"Dir", false},   {drive_ + "\\*", false},
  };
  for (const Case& c : cases) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(c.pattern.c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE) << c.pattern;
    if (c.dots) {
      EXPECT_STREQ(found.cFileName, ".");
      EXPECT_EQ(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY,
                DWORD{FILE_ATTRIBUTE_DIRECTORY});
    } else {
      EXPECT_STRNE(found.cFileName, ".") << c.pattern;
      EXPECT_STRNE(found.cFileName, "..") << c.pattern;
    }
    EXPECT_TRUE(FindClose(search));
  }
}

TEST_F(Win32, FindFirstFileTellsMissingFilesFromMissingFolders) {
  fs::create_directory("dir");
  struct Case {
    const char* pattern;
    DWORD error;
  } cases[] = {
      {"nofile.txt", ERROR_FILE_NOT_FOUND},
      {"*.none", ERROR_FILE_NOT_FOUND},
      {"dir\\", ERROR_FILE_NOT_FOUND},
      {"nodir\\*", ERROR_PATH_NOT_FOUND},
      {"nodir\\x.txt", ERROR_PATH_NOT_FOUND},
      {"", ERROR_PATH_NOT_FOUND},
      {"d?r\\*", ERROR_INVALID_NAME},  // a wildcard only in the last name
      {"d|r\\x.txt", ERROR_INVALID_NAME},
  };
  WIN32_FIND_DATAA found;
  for (const Case& c : cases) {
    EXPECT_EQ(ErrorIf(FindFirstFileA(Cleared(c.pattern), &found) ==
                      INVALID_HANDLE_VALUE),
              c.error)
        << c.pattern;
  }
  EXPECT_EQ(ErrorIf(!FindClose(Cleared(INVALID_HANDLE_VALUE))),
            DWORD{ERROR_INVALID_HANDLE});
  // A search handle is no handle for CloseHandle.
  HANDLE search = FindFirstFileA("dir", &found);
  EXPECT_EQ(ErrorIf(!CloseHandle(Cleared(search))),
            DWORD{ERROR_INVALID_HANDLE});
  EXPECT_TRUE(FindClose(search));
}

TEST_F(Win32, VersionRecordsOfBothSizesAgree) {
  OSVERSIONINFOEXA extended;
  memset(&extended, 0, sizeof extended);
  extended.dwOSVersionInfoSize = sizeof extended;
  ASSERT_TRUE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&extended)));
  OSVERSIONINFOEXA plain;
  memset(&plain, 0x5A, sizeof plain);
  plain.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
  ASSERT_TRUE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&plain)));
  EXPECT_EQ(plain.dwOSVersionInfoSize, sizeof(OSVERSIONINFOA));
  EXPECT_EQ(plain.dwMajorVersion, extended.dwMajorVersion);
  EXPECT_EQ(plain.dwMinorVersion, extended.dwMinorVersion);
  EXPECT_EQ(plain.dwBuildNumber, extended.dwBuildNumber);
  EXPECT_EQ(plain.dwPlatformId, extended.dwPlatformId);
  EXPECT_STREQ(plain.szCSDVersion, extended.szCSDVersion);
  EXPECT_EQ(plain.wServicePackMajor, 0x5A5A);  // past the plain record
  for (DWORD size : {0u, 147u, 149u, 155u, 157u}) {
    extended.dwOSVersionInfoSize = size;
    EXPECT_EQ(ErrorIf(!GetVersionExA(
                  Cleared(reinterpret_cast<OSVERSIONINFOA*>(&extended)))),
              DWORD{ERROR_INSUFFICIENT_BUFFER})
        << size;
  }
}

TEST_F(Win32, CreateProcessFailures) {
  fs::create_directory("zoderudo-folder");
  WriteText("file.txt", "");
  PROCESS_INFORMATION process;
  struct Case {
    const char* command;
    const char* folder;
    DWORD error;
  } cases[] = {
      {"zoderudo-no-such-program", nullptr, ERROR_FILE_NOT_FOUND},
      {".\\no-such.exe", nullptr, ERROR_FILE_NOT_FOUND},
      {"nodir\\prog.exe", nullptr, ERROR_FILE_NOT_FOUND},
      {"zoderudo-folder", nullptr, ERROR_FILE_NOT_FOUND},
      {"cmd /d /c \"x\"", "nodir", ERROR_DIRECTORY},
      {"cmd /d /c \"x\"", "file.txt", ERROR_DIRECTORY},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ErrorIf(!Start(Cleared(c.command), &process, c.folder)), c.error)
        << c.command << " in " << (c.folder ? c.folder : ".");
  }
  DWORD code;
  EXPECT_EQ(ErrorIf(WaitForSingleObject(Cleared(nullptr), 0) == WAIT_FAILED),
            DWORD{ERROR_INVALID_HANDLE});
  EXPECT_EQ(ErrorIf(!GetExitCodeProcess(Cleared(nullptr), &code)),
            DWORD{ERROR_INVALID_HANDLE});
  EXPECT_EQ(ErrorIf(!CloseHandle(Cleared(nullptr))),
            DWORD{ERROR_INVALID_HANDLE});
}

TEST_F(Win32, ExitCodeOfAChildComesBackThroughCmd) {
  fs::create_directory("sub");
  WriteExitScripts("child", 7);
  WriteExitScripts("sub/inner", 12);
  struct Case {
    const char* command;
    const char* folder;
    DWORD code;
  } cases[] = {
      {"cmd /d /c \"Child\"", nullptr, 7},
      {"cmd /d /c \"inner\"", "SUB", 12},
  };
  for (const Case& c : cases) {
    PROCESS_INFORMATION process;
    ASSERT_TRUE(Start(c.command, &process, c.folder)) << c.command;
    EXPECT_NE(process.hProcess, INVALID_HANDLE_VALUE);
    EXPECT_NE(process.dwProcessId, 0u);
    EXPECT_EQ(WaitForSingleObject(process.hProcess, INFINITE), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(process.hProcess, &code));
    EXPECT_EQ(code, c.code) << c.command;
    // Only the process handle gives an exit code.
    EXPECT_EQ(ErrorIf(!GetExitCodeProcess(Cleared(process.hThread), &code)),
              DWORD{ERROR_INVALID_HANDLE});
    EXPECT_TRUE(CloseHandle(process.hThread));
    EXPECT_TRUE(CloseHandle(process.hProcess));
    EXPECT_EQ(ErrorIf(!CloseHandle(Cleared(process.hProcess))),
              DWORD{ERROR_INVALID_HANDLE});
  }
}

TEST_F(Win32, CreateDirectoryMakesOneLevel) {
  EXPECT_EQ(ErrorIf(!CreateDirectoryA(Cleared("made"), nullptr)), kNoFailure);
  EXPECT_TRUE(fs::is_directory("made"));
  // A trailing backslash names the same folder.
  EXPECT_EQ(ErrorIf(!CreateDirectoryA(Cleared("made\\inner\\"), nullptr)),
            kNoFailure);
  EXPECT_TRUE(fs::is_directory("made/inner"));
  EXPECT_EQ(ErrorIf(!CreateDirectoryA(Cleared((here_ + "\\MADE\\x").c_str()),
                                      nullptr)),
            kNoFailure);
  EXPECT_TRUE(fs::is_directory("made/x"));
}

TEST_F(Win32, CreateDirectoryFailures) {
  fs::create_directory("there");
  WriteText("file", "x");
  EXPECT_EQ(ErrorIf(!CreateDirectoryA(Cleared("there"), nullptr)),
            DWORD{ERROR_ALREADY_EXISTS});
  EXPECT_EQ(ErrorIf(!CreateDirectoryA(Cleared("THERE\\"), nullptr)),
            DWORD{ERROR_ALREADY_EXISTS});
  EXPECT_EQ(ErrorIf(!CreateDirectoryA(Cleared("file"), nullptr)),
            DWORD{ERROR_ALREADY_EXISTS});
  EXPECT_EQ(ErrorIf(!CreateDirectoryA(Cleared("missing\\new"), nullptr)),
            DWORD{ERROR_PATH_NOT_FOUND});
  for (const char* name : {"a?", "a*", "a<", "a>", "a|", "a\""}) {
    EXPECT_EQ(ErrorIf(!CreateDirectoryA(Cleared(name), nullptr)),
              DWORD{ERROR_INVALID_NAME})
        << name;
  }
  EXPECT_FALSE(fs::exists("missing"));
  EXPECT_EQ(std::distance(fs::directory_iterator("."), {}), 2);
}

// The lead bytes that Windows documents for the ANSI code page in effect
// (Wine takes it from the locale it runs in; the layer from its setting),
// and paths whose names end in a character with the trail byte 0x5C, which
// the system's own calls take whole. ZODERUDO_EXPECT_ACP, when set, names
// the page the run is for: a missing locale must not pass for 1252.
TEST_F(Win32, DoubleByteCodePagesTakeTrailBytesAsPartOfTheName) {
  UINT page = GetACP();
  if (const char* expected = getenv("ZODERUDO_EXPECT_ACP")) {
    ASSERT_EQ(page, static_cast<UINT>(atoi(expected)));
  }
  for (int byte = 0; byte < 256; ++byte) {
    bool lead = false;
    if (page == 932)
      lead = (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    else if (page == 936 || page == 949 || page == 950)
      lead = byte >= 0x81 && byte <= 0xFE;
    EXPECT_EQ(IsDBCSLeadByte(static_cast<BYTE>(byte)) != 0, lead) << byte;
  }
  // 表 in 932, 乗 in 936, 功 in 950.
  const char* name = page == 932   ? "\x95\x5C"
                     : page == 936 ? "\x81\x5C"
                     : page == 950 ? "\xA5\x5C"
                                   : nullptr;
  if (!name) return;
  ASSERT_TRUE(CreateDirectoryA(name, nullptr));
  WIN32_FIND_DATAA found;
  // Read as a backslash, the pattern would name the folder itself.
  HANDLE search = FindFirstFileA((std::string(name) + "*.*").c_str(), &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  EXPECT_STREQ(found.cFileName, name);
  EXPECT_FALSE(FindNextFileA(search, &found));
  FindClose(search);
  ASSERT_TRUE(SetCurrentDirectoryA(name));
  EXPECT_EQ(Cwd(), here_ + "\\" + name);
  ASSERT_TRUE(SetCurrentDirectoryA(".."));
  EXPECT_TRUE(RemoveDirectoryA(name));
}

// Text to and from UTF-16 in a code page named by number, as zrcheck
// counts a name's bytes and asks whether it has an exact form there: the
// length asked for with size 0, a character the page lacks, a double-byte
// character, bytes that are no text.
TEST_F(Win32, CodePageConversionsTellExactForms) {
  const WCHAR cafe[] = {'c', 'a', 'f', 0xE9}, omega[] = {0x3A9};
  const WCHAR hiragana[] = {0x3042, '.'};
  char text[8];
  BOOL used_default = TRUE;
  EXPECT_EQ(WideCharToMultiByte(1252, WC_NO_BEST_FIT_CHARS, cafe, 4, text, 0,
                                nullptr, &used_default), 4);
  EXPECT_EQ(WideCharToMultiByte(1252, WC_NO_BEST_FIT_CHARS, cafe, 4, text,
                                sizeof text, nullptr, &used_default), 4);
  EXPECT_FALSE(used_default);
  EXPECT_EQ(memcmp(text, "caf\xE9", 4), 0);
  EXPECT_EQ(WideCharToMultiByte(1252, WC_NO_BEST_FIT_CHARS, omega, 1, text,
                                sizeof text, nullptr, &used_default), 1);
  EXPECT_TRUE(used_default);
  EXPECT_EQ(WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, hiragana, 2, text,
                                sizeof text, nullptr, &used_default), 3);
  EXPECT_FALSE(used_default);
  EXPECT_EQ(memcmp(text, "\x82\xA0.", 3), 0);
  WCHAR wide[8];
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "caf\xC3\xA9",
                                5, wide, 8), 4);
  EXPECT_EQ(wide[3], 0xE9);
  EXPECT_EQ(MultiByteToWideChar(932, 0, "\x82\xA0.", 3, wide, 8), 2);
  EXPECT_EQ(wide[0], 0x3042);
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "\xC3(", 2,
                                wide, 8), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
}
