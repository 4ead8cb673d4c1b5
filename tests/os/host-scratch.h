// A fixture for host tests of the layer: the machine is reset from an
// environment without ZODERUDO_ settings, and a fresh temporary folder is
// the current one during the test.
#ifndef ZODERUDO_TESTS_OS_HOST_SCRATCH_H_
#define ZODERUDO_TESTS_OS_HOST_SCRATCH_H_

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "os/posix/host-control.h"

class HostScratch : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearSettings();
    saved_cwd_ = HostCwd();
    std::string pattern = std::filesystem::temp_directory_path() / "zod-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = std::filesystem::canonical(pattern).string();
    ASSERT_EQ(chdir(root_.c_str()), 0);
  }

  void TearDown() override {
    EXPECT_EQ(chdir(saved_cwd_.c_str()), 0);
    std::filesystem::remove_all(root_);
    ClearSettings();
  }

  std::string Path(const std::string& relative) const {
    return root_ + "/" + relative;
  }

  void MakeFile(const std::string& relative, const std::string& text,
                bool executable = false) {
    std::ofstream(Path(relative), std::ios::binary) << text;
    if (executable) {
      std::filesystem::permissions(Path(relative),
                                   std::filesystem::perms::owner_all);
    }
  }

  std::string ReadFile(const std::string& relative) const {
    std::ostringstream text;
    text << std::ifstream(Path(relative), std::ios::binary).rdbuf();
    return text.str();
  }

  // The current folder as GetCurrentDirectoryA and as getcwd name it.
  static std::string Cwd() {
    char buffer[4096];
    DWORD length = GetCurrentDirectoryA(sizeof buffer, buffer);
    return length && length < sizeof buffer ? buffer : "";
  }
  static std::string HostCwd() { return std::filesystem::current_path(); }

  static BOOL Start(const char* command_line, PROCESS_INFORMATION* process,
                    LPVOID environment = nullptr) {
    char line[4096];
    snprintf(line, sizeof line, "%s", command_line);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    return CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0,
                          environment, nullptr, &startup, process);
  }

  // The exit code of a command line; 1000 + the error if it cannot start.
  static DWORD Run(const char* command_line) {
    PROCESS_INFORMATION process;
    if (!Start(command_line, &process)) return 1000 + GetLastError();
    DWORD code = 0;
    EXPECT_EQ(WaitForSingleObject(process.hProcess, INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(GetExitCodeProcess(process.hProcess, &code));
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return code;
  }

  std::string root_;  // canonical

 private:
  static void ClearSettings() {
    unsetenv("ZODERUDO_WINVER");
    unsetenv("ZODERUDO_SYSTEM_DIR");
    unsetenv("ZODERUDO_FREE_SPACE");
    unsetenv("ZODERUDO_LOCAL_TIME");
    unsetenv("ZODERUDO_SLEEP");
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
      unsetenv((std::string("ZODERUDO_DRIVE_") + letter).c_str());
    }
    HostResetMachine();
  }

  std::string saved_cwd_;
};

#endif  // ZODERUDO_TESTS_OS_HOST_SCRATCH_H_
