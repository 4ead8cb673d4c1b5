#include "log/result-record.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "log/version-text.h"

namespace {

std::string Triple(uint16_t a, uint16_t b, uint16_t c, uint8_t dashes) {
  char text[kTripleSize];
  memset(text, '#', sizeof text);
  FormatTriple(a, b, c, dashes, text);
  return text;
}

std::string Record(const char* update, const char* new_version,
                   int32_t result) {
  char record[kRecordSize];
  memset(record, '#', sizeof record);
  unsigned length =
      BuildLogRecord("03-07-2005", "09:05:41", update, new_version, result,
                     record);
  EXPECT_EQ(length, strlen(record));
  return std::string(record, length);
}

TEST(FormatTripleTest, TwoDigitsAtLeastAndTheYearInFull) {
  EXPECT_EQ(Triple(3, 7, 2005, 1), "03-07-2005");
  EXPECT_EQ(Triple(9, 5, 41, 0), "09:05:41");
  EXPECT_EQ(Triple(0, 3, 4, 0), "00:03:04");
  EXPECT_EQ(Triple(1, 2, 2006, 1), "01-02-2006");
  EXPECT_EQ(Triple(12, 31, 1999, 1), "12-31-1999");
  EXPECT_EQ(Triple(23, 59, 59, 0), "23:59:59");
  EXPECT_EQ(Triple(10, 0, 0, 0), "10:00:00");
  EXPECT_EQ(Triple(65535, 65535, 65535, 7), "65535-65535-65535");
}

TEST(LogRecordTest, FieldsInOrderWithATrailingBlankAndCrLf) {
  EXPECT_EQ(Record("1.0", "2.0", 0),
            "03-07-2005 09:05:41,Update=1.0,New=2.0,Status=Success,"
            "ReturnCode=0 \r\n");
  EXPECT_EQ(Record(" a, b ", "", 99),
            "03-07-2005 09:05:41,Update= a, b ,New=,Status=Unknown,"
            "ReturnCode=99 \r\n");
}

TEST(LogRecordTest, ReturnCodeIsTheFullSignedNumber) {
  struct Case {
    int32_t result;
    const char* tail;
  } cases[] = {
      {0, "Success,ReturnCode=0 \r\n"},
      {1, "Unknown,ReturnCode=1 \r\n"},
      {99, "Unknown,ReturnCode=99 \r\n"},
      {3010, "Unknown,ReturnCode=3010 \r\n"},
      {-1, "Unknown,ReturnCode=-1 \r\n"},
      {1000000000, "Unknown,ReturnCode=1000000000 \r\n"},
      {INT32_MAX, "Unknown,ReturnCode=2147483647 \r\n"},
      {INT32_MIN, "Unknown,ReturnCode=-2147483648 \r\n"},
      {static_cast<int32_t>(4294967295u), "Unknown,ReturnCode=-1 \r\n"},
      {static_cast<int32_t>(3221225477u), "Unknown,ReturnCode=-1073741819 \r\n"},
  };
  const std::string head =
      "03-07-2005 09:05:41,Update=1.0,New=2.0,Status=";
  for (const Case& c : cases)
    EXPECT_EQ(Record("1.0", "2.0", c.result), head + c.tail) << c.result;
}

TEST(LogRecordTest, LongestValuesFitWhole) {
  const std::string a(kVersionValueSize - 1, 'a');
  const std::string b(kVersionValueSize - 1, 'b');
  EXPECT_EQ(Record(a.c_str(), b.c_str(), INT32_MIN),
            "03-07-2005 09:05:41,Update=" + a + ",New=" + b +
                ",Status=Unknown,ReturnCode=-2147483648 \r\n");
}

TEST(LogRecordTest, OverlongTextsAreCutButTheLineEndStays) {
  const std::string huge(2 * kRecordSize, 'h');
  std::string record = Record(huge.c_str(), "2.0", 5);
  EXPECT_EQ(record.size(), kRecordSize - 1);
  EXPECT_EQ(record.substr(record.size() - 3), " \r\n");
}

}  // namespace
