// A whole run on a scratch machine (see support/host-machine.h): Windows
// 2000 with a driver present, and a package in C:\pkg whose update records
// where it ran and exits with 7.
#ifndef ZODERUDO_TESTS_RUN_RUN_FIXTURE_H_
#define ZODERUDO_TESTS_RUN_RUN_FIXTURE_H_

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "os/posix/host-control.h"
#include "run/run-update.h"
#include "support/host-machine.h"

const char kCannotReadDirectory[] =
    "Unable to determine current directory.  Aborting update!\n";
const char kCannotReadVersion[] = "zoDerudo: Cannot Read Version.id file\n";

class RunUpdateTest : public HostMachineTest {
 protected:
  void SetUp() override {
    HostMachineTest::SetUp();
    SetWindows(VER_PLATFORM_WIN32_NT, 5, 0);
    MakeFile("WINDOWS/system32/DRIVERS/tavixnt5.sys");
    MakeUpdateCommand(7);
    MakeFile("pkg/version.id", "1.0\n2.0\n");
    // The clean-up's pause is traced, not waited for.
    HostSkipSleep(true);
  }

  // The fields of the log's one record from "Status=" on; "" without one.
  std::string LoggedResult() const {
    std::string log = ReadFile("ZRLOG/ZR.log");
    size_t status = log.find(",Status=");
    if (status == std::string::npos || log.find('\n') + 1 != log.size())
      return "";
    return log.substr(status + 1);
  }

  int Run(std::vector<std::string> words) {
    std::vector<char*> argv;
    for (std::string& word : words)
      argv.push_back(word.data());
    argv.push_back(nullptr);
    HostTraceCalls(true);
    testing::internal::CaptureStdout();
    int result = RunUpdate(static_cast<int>(words.size()), argv.data());
    console_ = testing::internal::GetCapturedStdout();
    trace_ = HostTakeTrace();
    return result;
  }

  // A folder below C: whose Windows path "C:\\..." has `length` characters:
  // `first`, then folders of up to 50 characters.
  static std::string DeepFolder(const std::string& first, size_t length) {
    std::string below = first;
    while (below.size() + 3 < length) {
      size_t part = std::min<size_t>(50, length - 4 - below.size());
      below += "/" + std::string(part, 'd');
    }
    return below;
  }

  // The traced calls of one function, in order.
  std::vector<std::string> Calls(const std::string& function) const {
    std::vector<std::string> calls;
    for (const std::string& line : trace_) {
      if (line.compare(0, function.size() + 1, function + " ") == 0)
        calls.push_back(line);
    }
    return calls;
  }

  std::string console_;
  std::vector<std::string> trace_;
};

#endif  // ZODERUDO_TESTS_RUN_RUN_FIXTURE_H_
