// The file, environment and clock calls of the result log, as the real ones
// behave: built against our POSIX layer and for Windows (run under Wine),
// with the same assertions.
#include <gtest/gtest.h>
#include <string.h>

#include <filesystem>
#include <string>

#include "os/os.h"

#include "conformance.h"

namespace fs = std::filesystem;
using namespace conformance;

namespace {

const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE;
const DWORD kAppendOnly = GENERIC_READ | FILE_APPEND_DATA;
const DWORD kFarOffset = 0x7FFF0000;

HANDLE Open(const char* name, DWORD access, DWORD disposition) {
  return CreateFileA(name, access, kShareAll, nullptr, disposition,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool Write(HANDLE file, const std::string& text) {
  DWORD written = 0;
  return WriteFile(file, text.data(), static_cast<DWORD>(text.size()),
                   &written, nullptr) &&
         written == text.size();
}

std::string Read(HANDLE file, DWORD size) {
  char buffer[64];
  DWORD count = 0;
  if (!ReadFile(file, buffer, size, &count, nullptr)) return "<failed>";
  return std::string(buffer, count);
}

}  // namespace

TEST_F(Win32, OpenAlwaysCreatesOnceAndThenOpensTheSameFile) {
  HANDLE made = Open(Cleared("Log.txt"), kAppendOnly, OPEN_ALWAYS);
  ASSERT_NE(made, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), DWORD{ERROR_SUCCESS});
  EXPECT_TRUE(Write(made, "one\r\n"));
  EXPECT_TRUE(CloseHandle(made));

  // Any letter case finds the file that is there.
  HANDLE again = Open(Cleared("LOG.TXT"), kAppendOnly, OPEN_ALWAYS);
  ASSERT_NE(again, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), DWORD{ERROR_ALREADY_EXISTS});
  EXPECT_TRUE(Write(again, "two\r\n"));
  EXPECT_TRUE(CloseHandle(again));
  EXPECT_EQ(ReadText("Log.txt"), "one\r\ntwo\r\n");
  EXPECT_EQ(std::distance(fs::directory_iterator("."), fs::directory_iterator()),
            1);
}

TEST_F(Win32, CreateFileFailures) {
  fs::create_directory("folder");
  struct Case {
    const char* name;
    DWORD access, disposition, error;
  } cases[] = {
      {"missing.txt", GENERIC_READ, OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
      {"nodir\\x.txt", GENERIC_READ, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
      {"nodir\\x.txt", kAppendOnly, OPEN_ALWAYS, ERROR_PATH_NOT_FOUND},
      {"folder", GENERIC_READ, OPEN_EXISTING, ERROR_ACCESS_DENIED},
      {"FOLDER", kAppendOnly, OPEN_ALWAYS, ERROR_ACCESS_DENIED},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ErrorIf(Open(Cleared(c.name), c.access, c.disposition) ==
                      INVALID_HANDLE_VALUE),
              c.error)
        << c.name;
  }
  EXPECT_FALSE(fs::exists("missing.txt"));
}

TEST_F(Win32, AppendOnlyHandleWritesAtTheEndWhereverItPoints) {
  WriteText("log", "abc");
  HANDLE first = Open("log", kAppendOnly, OPEN_EXISTING);
  HANDLE second = Open("log", kAppendOnly, OPEN_EXISTING);
  ASSERT_NE(first, INVALID_HANDLE_VALUE);
  ASSERT_NE(second, INVALID_HANDLE_VALUE);
  EXPECT_EQ(SetFilePointer(first, 0, nullptr, FILE_BEGIN), 0u);
  EXPECT_EQ(SetFilePointer(second, 0, nullptr, FILE_BEGIN), 0u);
  EXPECT_TRUE(Write(first, "12"));
  EXPECT_TRUE(Write(second, "34"));
  EXPECT_TRUE(Write(first, "56"));
  // It reads where it points. (Windows refuses SetEndOfFile on such a
  // handle, as the layer does; Wine lets it cut. The program never asks.)
  EXPECT_EQ(SetFilePointer(first, 1, nullptr, FILE_BEGIN), 1u);
  EXPECT_EQ(Read(first, 3), "bc1");
  EXPECT_TRUE(CloseHandle(first));
  EXPECT_TRUE(CloseHandle(second));
  EXPECT_EQ(ReadText("log"), "abc123456");
}

TEST_F(Win32, ReadingSizesAndPointers) {
  WriteText("data", "hello");
  HANDLE file = Open("data", GENERIC_READ, OPEN_EXISTING);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD high = 0xDEAD;
  EXPECT_EQ(GetFileSize(file, &high), 5u);
  EXPECT_EQ(high, 0u);
  EXPECT_EQ(Read(file, 2), "he");
  EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_CURRENT), 2u);
  EXPECT_EQ(SetFilePointer(file, -1, nullptr, FILE_END), 4u);
  EXPECT_EQ(Read(file, 10), "o");
  EXPECT_EQ(Read(file, 10), "");  // the end: success, nothing read
  LONG far_high = 0;
  EXPECT_EQ(SetFilePointer(file, 3, &far_high, FILE_BEGIN), 3u);
  EXPECT_EQ(far_high, 0);
  EXPECT_EQ(ErrorIf(SetFilePointer(Cleared(file), -1, nullptr, FILE_BEGIN) ==
                    INVALID_SET_FILE_POINTER),
            DWORD{ERROR_NEGATIVE_SEEK});
  EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_CURRENT), 3u);
  EXPECT_EQ(ErrorIf(!Write(Cleared(file), "x")), DWORD{ERROR_ACCESS_DENIED});
  EXPECT_TRUE(CloseHandle(file));
  EXPECT_EQ(ReadText("data"), "hello");
}

TEST_F(Win32, SetEndOfFileCutsAtThePointer) {
  WriteText("data", "hello\x1A");
  HANDLE file = Open("data", GENERIC_WRITE, OPEN_EXISTING);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(SetFilePointer(file, 5, nullptr, FILE_BEGIN), 5u);
  EXPECT_TRUE(SetEndOfFile(file));
  EXPECT_EQ(GetFileSize(file, nullptr), 5u);
  char byte;
  DWORD count;
  EXPECT_TRUE(SetFilePointer(file, 0, nullptr, FILE_BEGIN) == 0);
  EXPECT_EQ(ErrorIf(!ReadFile(Cleared(file), &byte, 1, &count, nullptr)),
            DWORD{ERROR_ACCESS_DENIED});
  EXPECT_TRUE(CloseHandle(file));
  EXPECT_EQ(ReadText("data"), "hello");
}

TEST_F(Win32, LocksExcludeEveryOtherHandleAndDieWithIt) {
  WriteText("log", "");
  HANDLE first = Open("log", kAppendOnly, OPEN_EXISTING);
  HANDLE second = Open("log", kAppendOnly, OPEN_EXISTING);
  ASSERT_NE(first, INVALID_HANDLE_VALUE);
  ASSERT_NE(second, INVALID_HANDLE_VALUE);
  // Far beyond the end of the file.
  EXPECT_TRUE(LockFile(first, kFarOffset, 0, 1, 0));
  EXPECT_EQ(ErrorIf(!LockFile(Cleared(second), kFarOffset, 0, 1, 0)),
            DWORD{ERROR_LOCK_VIOLATION});
  EXPECT_EQ(ErrorIf(!LockFile(Cleared(first), kFarOffset, 0, 1, 0)),
            DWORD{ERROR_LOCK_VIOLATION});
  EXPECT_TRUE(LockFile(second, kFarOffset + 1, 0, 1, 0));  // next byte: free
  // Appending below the locked ranges goes on.
  EXPECT_TRUE(Write(second, "record\r\n"));
  // Only the handle that locked a range unlocks it. (Windows says
  // ERROR_NOT_LOCKED, as the layer does; Wine says ERROR_LOCK_VIOLATION.
  // The program does not look at the error.)
  EXPECT_FALSE(UnlockFile(second, kFarOffset, 0, 1, 0));
  EXPECT_TRUE(UnlockFile(first, kFarOffset, 0, 1, 0));
  EXPECT_FALSE(UnlockFile(first, kFarOffset, 0, 1, 0));
  EXPECT_TRUE(LockFile(second, kFarOffset, 0, 1, 0));
  // Closing a handle gives up its locks.
  EXPECT_TRUE(CloseHandle(second));
  EXPECT_TRUE(LockFile(first, kFarOffset, 0, 1, 0));
  EXPECT_TRUE(UnlockFile(first, kFarOffset, 0, 1, 0));
  EXPECT_TRUE(CloseHandle(first));
  EXPECT_EQ(ReadText("log"), "record\r\n");
}

TEST_F(Win32, ClosedFileHandlesAreNoHandles) {
  HANDLE file = Open("f", kAppendOnly, OPEN_ALWAYS);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(CloseHandle(file));
  EXPECT_EQ(ErrorIf(!CloseHandle(Cleared(file))), DWORD{ERROR_INVALID_HANDLE});
  DWORD count;
  char byte;
  EXPECT_EQ(ErrorIf(!ReadFile(Cleared(file), &byte, 1, &count, nullptr)),
            DWORD{ERROR_INVALID_HANDLE});
  EXPECT_EQ(ErrorIf(!LockFile(Cleared(file), kFarOffset, 0, 1, 0)),
            DWORD{ERROR_INVALID_HANDLE});
}

TEST_F(Win32, EnvironmentNamesMatchRegardlessOfCase) {
  ASSERT_TRUE(SetEnvironmentVariableA("ZodConformanceDrive", "Q:"));
  char buffer[16];
  for (const char* name : {"ZodConformanceDrive", "zodconformancedrive",
                           "ZODCONFORMANCEDRIVE"}) {
    memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(GetEnvironmentVariableA(name, buffer, sizeof buffer), 2u) << name;
    EXPECT_STREQ(buffer, "Q:") << name;
  }
  // Too small: the size needed, the zero counted.
  EXPECT_EQ(GetEnvironmentVariableA("zodconformancedrive", buffer, 2), 3u);
  EXPECT_EQ(GetEnvironmentVariableA("zodconformancedrive", nullptr, 0), 3u);

  ASSERT_TRUE(SetEnvironmentVariableA("ZODCONFORMANCEDRIVE", nullptr));
  EXPECT_EQ(ErrorIf(GetEnvironmentVariableA(Cleared("ZodConformanceDrive"),
                                            buffer, sizeof buffer) == 0),
            DWORD{ERROR_ENVVAR_NOT_FOUND});
  EXPECT_EQ(ErrorIf(GetEnvironmentVariableA(Cleared("ZodConformanceDrive="),
                                            buffer, sizeof buffer) == 0),
            DWORD{ERROR_ENVVAR_NOT_FOUND});
}

TEST_F(Win32, LocalTimeIsACalendarDate) {
  SYSTEMTIME now;
  memset(&now, 0xFF, sizeof now);
  GetLocalTime(&now);
  EXPECT_GE(now.wYear, 2020);
  ASSERT_GE(now.wMonth, 1);
  ASSERT_LE(now.wMonth, 12);
  EXPECT_GE(now.wDay, 1);
  EXPECT_LE(now.wDay, 31);
  EXPECT_LE(now.wHour, 23);
  EXPECT_LE(now.wMinute, 59);
  EXPECT_LE(now.wSecond, 59);
  EXPECT_LE(now.wMilliseconds, 999);
  // The weekday belongs to the date (Sunday 0).
  static const int kOffsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  int year = now.wYear - (now.wMonth < 3 ? 1 : 0);
  EXPECT_EQ(now.wDayOfWeek, (year + year / 4 - year / 100 + year / 400 +
                             kOffsets[now.wMonth - 1] + now.wDay) %
                                7);
}

// What the report reads with: a path's attributes tell a folder of logs
// from a log; the computer's own name; the standard output as a handle.
TEST_F(Win32, AttributesComputerNameAndStandardHandles) {
  fs::create_directory("logs");
  WriteText("logs/PC1.log", "x");
  EXPECT_NE(GetFileAttributesA("LOGS") & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_NE(GetFileAttributesA((drive_ + "\\").c_str()) &
                FILE_ATTRIBUTE_DIRECTORY,
            0u);
  DWORD file = GetFileAttributesA("logs\\pc1.LOG");
  ASSERT_NE(file, INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(file & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_EQ(ErrorIf(GetFileAttributesA(Cleared("logs\\PC2.log")) ==
                    INVALID_FILE_ATTRIBUTES),
            DWORD{ERROR_FILE_NOT_FOUND});
  EXPECT_EQ(ErrorIf(GetFileAttributesA(Cleared("gone\\PC2.log")) ==
                    INVALID_FILE_ATTRIBUTES),
            DWORD{ERROR_PATH_NOT_FOUND});

  char name[MAX_COMPUTERNAME_LENGTH + 1];
  memset(name, '#', sizeof name);
  DWORD size = sizeof name;
  ASSERT_TRUE(GetComputerNameA(name, &size));
  EXPECT_EQ(size, strlen(name));
  EXPECT_GT(size, 0u);
  for (DWORD i = 0; i < size; ++i)
    EXPECT_FALSE(name[i] >= 'a' && name[i] <= 'z') << name;
  // Too small: nothing written, and the size needed with the zero.
  DWORD small = size;
  EXPECT_EQ(ErrorIf(!GetComputerNameA(Cleared(name), &small)),
            DWORD{ERROR_BUFFER_OVERFLOW});
  EXPECT_EQ(small, size + 1);

  HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  ASSERT_NE(output, INVALID_HANDLE_VALUE);
  ASSERT_NE(output, nullptr);
  EXPECT_EQ(GetStdHandle(STD_OUTPUT_HANDLE), output);
  DWORD written = 1;
  EXPECT_TRUE(WriteFile(output, "", 0, &written, nullptr));
  EXPECT_EQ(written, 0u);
}
