#include "platform/run-update-command.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "os/posix/host-control.h"
#include "support/host-machine.h"

namespace {

// The system's own interpreter, named in full: never found by search.
const char kInterpreter[] = "C:\\WINDOWS\\system32\\cmd.exe";
const std::string kStart = std::string("CreateProcessA ") + kInterpreter + " ";

class RunUpdateCommandTest : public HostMachineTest {
 protected:
  uint32_t Run(const std::string& name) {
    HostTraceCalls(true);
    testing::internal::CaptureStdout();
    uint32_t result = RunUpdateCommand(name.c_str());
    console_ = testing::internal::GetCapturedStdout();
    trace_ = HostTakeTrace();
    return result;
  }

  std::string console_;
  std::vector<std::string> trace_;
};

TEST_F(RunUpdateCommandTest, RunsTheNameThroughTheInterpreterInTheCurrentFolder) {
  MakeUpdateCommand(42);
  EXPECT_EQ(Run("ZELMOR_UPDATE"), 42u);
  EXPECT_EQ(trace_, std::vector<std::string>{
                        kStart + "cmd /d /c \"ZELMOR_UPDATE\""});
  EXPECT_EQ(UpdateRanIn(), HostPath("pkg"));
  EXPECT_EQ(console_, "");
}

// A cmd.exe that someone put where the search order looks first (the
// current folder here; beside the program likewise) never runs; nor does
// anything stand in for a system interpreter that is missing.
TEST_F(RunUpdateCommandTest, OnlyTheSystemsOwnInterpreterRuns) {
  MakeUpdateCommand(5);
  std::string mark = HostPath("planted-ran");
  for (const char* name : {"pkg/cmd.exe", "pkg/cmd"}) {
    MakeFile(name, "#!/bin/sh\ntouch '" + mark + "'\nexit 0\n");
    std::filesystem::permissions(HostPath(name),
                                 std::filesystem::perms::owner_all);
  }
  EXPECT_EQ(Run("ZELMOR_UPDATE"), 5u);
  EXPECT_EQ(UpdateRanIn(), HostPath("pkg"));
  EXPECT_FALSE(Exists("planted-ran"));

  std::filesystem::remove(HostPath("WINDOWS/system32/cmd.exe"));
  EXPECT_EQ(Run("ZELMOR_UPDATE"), static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(Exists("planted-ran"));
  EXPECT_EQ(console_, "");
}

// Without the system folder, or with one too long for the path, there is
// no interpreter to start: an error number, no message, nothing started.
TEST_F(RunUpdateCommandTest, WithoutTheSystemFolderNothingStarts) {
  MakeUpdateCommand(0);
  HostFailCall("GetSystemDirectoryA", ERROR_INVALID_PARAMETER, 1);
  EXPECT_EQ(Run("ZELMOR_UPDATE"),
            static_cast<uint32_t>(ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(trace_.empty());
  HostFailCall("GetSystemDirectoryA", ERROR_SUCCESS, 1);
  EXPECT_EQ(Run("ZELMOR_UPDATE"), static_cast<uint32_t>(ERROR_GEN_FAILURE));
  EXPECT_TRUE(trace_.empty());

  // The longest system folder that leaves room for "\cmd.exe", and one
  // character more.
  std::string fits = "C:\\" + std::string(MAX_PATH - 1 - 3 - 8, 's');
  HostSetSystemDirectory(fits.c_str());
  EXPECT_EQ(Run("ZELMOR_UPDATE"), static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
  ASSERT_EQ(trace_.size(), 1u);
  EXPECT_EQ(trace_[0].find("CreateProcessA " + fits + "\\cmd.exe cmd /d /c"),
            0u);
  HostSetSystemDirectory((fits + "s").c_str());
  EXPECT_EQ(Run("ZELMOR_UPDATE"),
            static_cast<uint32_t>(ERROR_FILENAME_EXCED_RANGE));
  EXPECT_TRUE(trace_.empty());
  EXPECT_EQ(UpdateRanIn(), "");
  EXPECT_EQ(console_, "");
}

TEST_F(RunUpdateCommandTest, AnInterpreterThatCannotStartGivesItsErrorSilently) {
  MakeUpdateCommand(0);
  HostFailCall("CreateProcessA", ERROR_FILE_NOT_FOUND, 1);
  EXPECT_EQ(Run("ZELMOR_UPDATE"), static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(UpdateRanIn(), "");
  EXPECT_EQ(console_, "");
}

TEST_F(RunUpdateCommandTest, AFailureIsNeverReadAsSuccess) {
  MakeUpdateCommand(0);
  // A failed call that leaves no error number still gives a non-zero one.
  HostFailCall("CreateProcessA", 0, 1);
  EXPECT_EQ(Run("ZELMOR_UPDATE"), static_cast<uint32_t>(ERROR_GEN_FAILURE));

  // The command ran and ended with 0, but its end or its code could not be
  // had: the result is the error number, not 0.
  HostFailCall("WaitForSingleObject", ERROR_INVALID_HANDLE, 1);
  EXPECT_EQ(Run("ZELMOR_UPDATE"), static_cast<uint32_t>(ERROR_INVALID_HANDLE));
  HostFailCall("GetExitCodeProcess", ERROR_ACCESS_DENIED, 1);
  EXPECT_EQ(Run("ZELMOR_UPDATE"), static_cast<uint32_t>(ERROR_ACCESS_DENIED));
  HostFailCall("GetExitCodeProcess", 0, 1);
  EXPECT_EQ(Run("ZELMOR_UPDATE"), static_cast<uint32_t>(ERROR_GEN_FAILURE));
  EXPECT_EQ(console_, "");
}

TEST_F(RunUpdateCommandTest, NamesUpToTheBufferAreRunLongerOnesRefused) {
  std::string longest(kLongestCommandName, 'n');
  EXPECT_NE(Run(longest), 0u);  // no such command: the interpreter fails
  ASSERT_EQ(trace_.size(), 1u);
  EXPECT_EQ(trace_[0], kStart + "cmd /d /c \"" + longest + "\"");
  EXPECT_EQ(trace_[0].size(), kStart.size() + MAX_PATH - 1);

  EXPECT_EQ(Run(longest + "n"),
            static_cast<uint32_t>(ERROR_FILENAME_EXCED_RANGE));
  EXPECT_TRUE(trace_.empty());
}

}  // namespace
