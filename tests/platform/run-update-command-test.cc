#include "platform/run-update-command.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "os/posix/host-control.h"
#include "support/host-machine.h"

namespace {

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
                        "CreateProcessA cmd /d /c \"ZELMOR_UPDATE\""});
  EXPECT_EQ(UpdateRanIn(), HostPath("pkg"));
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
  EXPECT_EQ(trace_[0], "CreateProcessA cmd /d /c \"" + longest + "\"");
  EXPECT_EQ(trace_[0].size(), strlen("CreateProcessA ") + MAX_PATH - 1);

  EXPECT_EQ(Run(longest + "n"),
            static_cast<uint32_t>(ERROR_FILENAME_EXCED_RANGE));
  EXPECT_TRUE(trace_.empty());
}

}  // namespace
