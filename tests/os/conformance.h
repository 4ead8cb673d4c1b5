// Shared by the Win32 conformance tests: each runs against our layer on the
// host and against the real calls under Wine, with the same assertions.
#ifndef ZODERUDO_TESTS_OS_CONFORMANCE_H_
#define ZODERUDO_TESTS_OS_CONFORMANCE_H_

#include <gtest/gtest.h>
#include <string.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "os/os.h"

namespace conformance {

namespace fs = std::filesystem;

const DWORD kNoFailure = 0xFFFFFFFF;

// Clears the last error on the way into a call.
template <typename T>
T Cleared(T argument) {
  SetLastError(0);
  return argument;
}

// The error of a call that failed; kNoFailure when it did not.
inline DWORD ErrorIf(bool failed) {
  return failed ? GetLastError() : kNoFailure;
}

inline std::string Cwd() {
  char buffer[MAX_PATH];
  DWORD length = GetCurrentDirectoryA(MAX_PATH, buffer);
  return std::string(buffer, length < MAX_PATH ? length : 0);
}

inline void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in),
                     std::istreambuf_iterator<char>());
}

// Each test works in a fresh folder of its own below the current one.
class Win32 : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::string("w32-") +
              ::testing::UnitTest::GetInstance()->current_test_info()->name();
    RemoveFolder();
    fs::create_directory(folder_);
    ASSERT_GT(GetCurrentDirectoryA(MAX_PATH, home_), 0u);
    ASSERT_TRUE(SetCurrentDirectoryA(folder_.c_str()));
    here_ = Cwd();
    drive_ = here_.substr(0, 2);
  }

  void TearDown() override {
    EXPECT_TRUE(SetCurrentDirectoryA(home_));
    RemoveFolder();
  }

  std::string here_;   // as GetCurrentDirectoryA names it
  std::string drive_;  // "X:"

 private:
  // Windows removes no read-only file.
  void RemoveFolder() {
    std::error_code ignored;
    for (const auto& entry :
         fs::recursive_directory_iterator(folder_, ignored)) {
      fs::permissions(entry.path(), fs::perms::owner_write,
                      fs::perm_options::add, ignored);
    }
    fs::remove_all(folder_, ignored);
  }

  std::string folder_;
  char home_[MAX_PATH];
};

}  // namespace conformance

#endif  // ZODERUDO_TESTS_OS_CONFORMANCE_H_
