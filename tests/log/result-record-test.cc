#include "log/result-record.h"

#include <gtest/gtest.h>
#include <string.h>

#include <random>
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

// A version text as a version file can give one: up to 127 bytes of
// anything but LF, NUL and 0x1A, rich in what a reader could trip on.
std::string RandomVersionText(std::mt19937* random) {
  static const char* const kPieces[] = {
      ",", "\"", " ", "=", "\r", ",New=", ",Status=", ",Status=Success",
      ",ReturnCode=", ",ReturnCode=0 ", "Update=", "1.0", "\x81\x5C",
      "\xE9t\xE9", "\xFF", "a"};
  std::uniform_int_distribution<size_t> piece(0, std::size(kPieces) - 1);
  std::uniform_int_distribution<int> pieces(0, 12);
  std::string text;
  for (int i = pieces(*random); i > 0; --i) text += kPieces[piece(*random)];
  return text.substr(0, kVersionValueSize - 1);
}

TEST(LogRecordTest, RecordsReadBackAsTheyWereWritten) {
  std::mt19937 random(20261207);
  std::uniform_int_distribution<int64_t> any_code(INT32_MIN, INT32_MAX);
  const int32_t kNamedCodes[] = {0, 99, 3010, 1641, 1, -1};
  for (int i = 0; i < 2000; ++i) {
    std::string update = RandomVersionText(&random);
    std::string new_version;
    // A New text holding ",New=" cannot be told from the Update text.
    do new_version = RandomVersionText(&random);
    while (new_version.find(",New=") != std::string::npos);
    int32_t code = i < 6 ? kNamedCodes[i] : static_cast<int32_t>(any_code(random));
    char date[kTripleSize], time[kTripleSize];
    uint16_t year = static_cast<uint16_t>(1990 + i % 80);
    uint16_t month = static_cast<uint16_t>(1 + i % 12);
    uint16_t day = static_cast<uint16_t>(1 + i % 31);
    uint16_t hour = static_cast<uint16_t>(i % 24);
    uint16_t minute = static_cast<uint16_t>(i % 60);
    uint16_t second = static_cast<uint16_t>((i * 7) % 60);
    FormatTriple(month, day, year, 1, date);
    FormatTriple(hour, minute, second, 0, time);
    char record[kRecordSize];
    unsigned length = BuildLogRecord(date, time, update.c_str(),
                                     new_version.c_str(), code, record);
    ASSERT_EQ(std::string(record + length - 2), "\r\n");
    LogRecord read;
    // As a log line comes to the reader: without its LF.
    ASSERT_TRUE(ParseLogRecord(record, length - 1, &read)) << record;
    EXPECT_EQ(read.update, update) << record;
    EXPECT_EQ(read.new_version, new_version) << record;
    EXPECT_EQ(read.result, code) << record;
    EXPECT_EQ(read.year, year);
    EXPECT_EQ(read.month, month);
    EXPECT_EQ(read.day, day);
    EXPECT_EQ(read.hour, hour);
    EXPECT_EQ(read.minute, minute);
    EXPECT_EQ(read.second, second);
  }
}

TEST(LogRecordTest, OnlyLinesTheWriterMakesAreRecords) {
  const std::string good =
      "03-07-2005 09:05:41,Update=1.0,New=2.0,Status=Unknown,ReturnCode=-5";
  LogRecord read;
  // The line end may have lost its CR on the way, never its blank.
  for (const std::string& line : {good + " \r", good + " "}) {
    ASSERT_TRUE(ParseLogRecord(line.data(), line.size(), &read)) << line;
    EXPECT_EQ(read.result, -5);
  }
  std::string nul_inside =
      "03-07-2005 09:05:41,Update=1#,New=2,Status=Success,ReturnCode=0";
  nul_inside[nul_inside.find('#')] = '\0';
  const std::string not_records[] = {
      good + "\r",
      good,
      "03-07-2005 09:05:41,Update=1.0,New=2.0,Status=Unknown,ReturnCode=301",
      "03-32-2005 09:05:41,Update=1.0,New=2.0,Status=Success,ReturnCode=0 ",
      "03-07-2005 09:60:41,Update=1.0,New=2.0,Status=Success,ReturnCode=0 ",
      "03-07-2005 09:05:60,Update=1.0,New=2.0,Status=Success,ReturnCode=0 ",
      "03-07-0999 09:05:41,Update=1.0,New=2.0,Status=Success,ReturnCode=0 ",
      "",
      "garbage",
      nul_inside,
      "3-07-2005 09:05:41,Update=1.0,New=2.0,Status=Success,ReturnCode=0 ",
      "13-07-2005 09:05:41,Update=1.0,New=2.0,Status=Success,ReturnCode=0 ",
      "03-00-2005 09:05:41,Update=1.0,New=2.0,Status=Success,ReturnCode=0 ",
      "03-07-2005 24:05:41,Update=1.0,New=2.0,Status=Success,ReturnCode=0 ",
      "03-07-2005 09:05:41,New=2.0,Status=Success,ReturnCode=0 ",
      "03-07-2005 09:05:41,Update=1.0,Status=Success,ReturnCode=0 ",
      "03-07-2005 09:05:41,Update=1.0,New=2.0,ReturnCode=0 ",
      "03-07-2005 09:05:41,Update=1.0,New=2.0,Status=Success",
      "03-07-2005 09:05:41,Update=1.0,New=2.0,Status=Success,ReturnCode=1 ",
      "03-07-2005 09:05:41,Update=1.0,New=2.0,Status=Unknown,ReturnCode=0 ",
      "03-07-2005 09:05:41,Update=1.0,New=2.0,Status=Unknown,ReturnCode= ",
      "03-07-2005 09:05:41,Update=1.0,New=2.0,Status=Unknown,ReturnCode=01 ",
      "03-07-2005 09:05:41,Update=1.0,New=2.0,Status=Unknown,ReturnCode=-0 ",
      "03-07-2005 09:05:41,Update=1.0,New=2.0,Status=Unknown,ReturnCode=1x ",
      "03-07-2005 09:05:41,Update=1.0,New=2.0,Status=Unknown,"
      "ReturnCode=2147483648 ",
      "03-07-2005 09:05:41,Update=" + std::string(kVersionValueSize, 'u') +
          ",New=2.0,Status=Success,ReturnCode=0 ",
  };
  for (const std::string& line : not_records)
    EXPECT_FALSE(ParseLogRecord(line.data(), line.size(), &read)) << line;
}

TEST(LogRecordTest, DecimalTextsOfEverySign) {
  char text[kDecimalSize];
  EXPECT_EQ(FormatDecimal(0, text), 1u);
  EXPECT_STREQ(text, "0");
  EXPECT_EQ(FormatDecimal(INT64_MIN, text), 20u);
  EXPECT_STREQ(text, "-9223372036854775808");
  FormatDecimal(4294967295LL, text);
  EXPECT_STREQ(text, "4294967295");
}

}  // namespace
