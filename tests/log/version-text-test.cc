#include "log/version-text.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

namespace {

struct Values {
  std::string update, new_version;
};

Values Read(const std::string& bytes) {
  char update[kVersionValueSize];
  char new_version[kVersionValueSize];
  // Whatever was in the buffers before must not show through.
  memset(update, '#', sizeof update);
  memset(new_version, '#', sizeof new_version);
  ReadVersionText(bytes.data(), bytes.size(), update, new_version);
  EXPECT_EQ(update[kVersionValueSize - 1], '\0');
  EXPECT_EQ(new_version[kVersionValueSize - 1], '\0');
  return {update, new_version};
}

TEST(VersionTextTest, ValuesAreTheFirstTwoLines) {
  const std::string k127(127, 'a');
  const std::string k200 = std::string(127, 'b') + std::string(73, 'c');
  struct Case {
    const char* what;
    std::string bytes, update, new_version;
  } cases[] = {
      {"LF", "1.0\n2.0\n", "1.0", "2.0"},
      {"CR LF", "1.0\r\n2.0\r\n", "1.0", "2.0"},
      {"three lines", "1.0\n2.0\n3.0\n", "1.0", "2.0"},
      {"blanks, tabs and commas stay", " 1.0, a\t\r\n2,0 \r\n", " 1.0, a\t",
       "2,0 "},
      {"second line without line end", "1.0\r\n2.0 final", "1.0", "2.0 final"},
      {"200-character first line", k200 + "\r\nnew\r\n", std::string(127, 'b'),
       "new"},
      {"127-character first line", k127 + "\nnew\n", k127, "new"},
      {"128-character second line", "old\n" + k127 + "z\n", "old", k127},
      {"one line", "1.0\r\n", "1.0", ""},
      {"one line without line end", "1.0", "1.0", ""},
      {"empty file", "", "", ""},
      {"empty first line", "\r\n2.0\r\n", "", "2.0"},
      {"empty lines only", "\n\n\n", "", ""},
      {"lone CR stays", "a\rb\n\r\n", "a\rb", ""},
      {"CR CR LF keeps one CR", "a\r\r\nb\n", "a\r", "b"},
      {"CR at the very end stays", "a\nb\r", "a", "b\r"},
      {"0x1A ends the text", "1.0\n2.0\x1A\n3.0\n", "1.0", "2.0"},
      {"0x1A in line 1", "1.\x1A" "0\n2.0\n", "1.", ""},
      {"CR before 0x1A stays", "1.0\r\x1A", "1.0\r", ""},
      {"NUL ends its value only", std::string("1.0\0xx\n2.0\n", 11), "1.0",
       "2.0"},
  };
  for (const Case& c : cases) {
    Values got = Read(c.bytes);
    EXPECT_EQ(got.update, c.update) << c.what;
    EXPECT_EQ(got.new_version, c.new_version) << c.what;
  }
}

// Chunks end anywhere: inside a CR LF, a long line or a NUL run.
TEST(VersionTextTest, PiecesGiveWhatTheWholeGives) {
  const std::string bytes =
      std::string(130, 'x') + "\r\r\n" + std::string("a\0b\r", 4) + "\r\n3\n";
  Values whole = Read(bytes);
  ASSERT_EQ(whole.update, std::string(127, 'x') );
  ASSERT_EQ(whole.new_version, "a");
  for (size_t cut = 0; cut <= bytes.size(); ++cut) {
    VersionReader reader;
    StartVersionReader(&reader);
    if (FeedVersionReader(&reader, bytes.data(), cut))
      FeedVersionReader(&reader, bytes.data() + cut, bytes.size() - cut);
    FinishVersionReader(&reader);
    EXPECT_EQ(reader.update, whole.update) << cut;
    EXPECT_EQ(reader.new_version, whole.new_version) << cut;
  }
}

TEST(VersionTextTest, AsksForNoMoreOnceBothLinesAreRead) {
  VersionReader reader;
  StartVersionReader(&reader);
  EXPECT_TRUE(FeedVersionReader(&reader, "1.0\n", 4));
  EXPECT_FALSE(FeedVersionReader(&reader, "2.0\nmore", 8));
  StartVersionReader(&reader);
  EXPECT_FALSE(FeedVersionReader(&reader, "1.0\x1A", 4));
}

}  // namespace
