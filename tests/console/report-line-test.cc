#include "console/report-line.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace {

TEST(ReportLineTest, DetailFollowsTheTextWithNoSeparator) {
  testing::internal::CaptureStdout();
  ReportLine("Unable to remove temp file ", "C:\\ZRT1.TMP\\a.txt");
  ReportLine("Could not remove temporary directory", "C:\\ZRT1.TMP\\");
  ReportLine("Cannot Get System Directory");
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Unable to remove temp file C:\\ZRT1.TMP\\a.txt\n"
            "Could not remove temporary directoryC:\\ZRT1.TMP\\\n"
            "Cannot Get System Directory\n");
}

TEST(ReportLineTest, ErrorLinesGoToStandardErrorOnly) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  ReportErrorLine("C:\\logs\\PC1.log", ":3: not a result record");
  ReportErrorLine("usage");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "C:\\logs\\PC1.log:3: not a result record\nusage\n");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST(ReportLineTest, EachLineIsOutBeforeTheNextStep) {
  // A child process writes straight to the descriptor; our line must
  // already be there when it does.
  testing::internal::CaptureStdout();
  ReportLine("first");
  ASSERT_EQ(write(STDOUT_FILENO, "second\n", 7), 7);
  ReportLine("third", "!");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "first\nsecond\nthird!\n");
}

}  // namespace
