// The msvcrt rules for splitting a command line.
#include "os/posix/command-line-posix.h"

#include <string>
#include <vector>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

const char* SkipBlanks(const char* c) {
  while (IsBlank(*c)) ++c;
  return c;
}

const char* ProgramName(const char* c, std::string* word) {
  bool quoted = false;
  for (; *c && (quoted || !IsBlank(*c)); ++c) {
    if (*c == '"') {
      quoted = !quoted;
    } else {
      *word += *c;
    }
  }
  return c;
}

const char* Argument(const char* c, std::string* word) {
  bool quoted = false;
  while (*c && (quoted || !IsBlank(*c))) {
    size_t backslashes = 0;
    while (*c == '\\') {
      ++backslashes;
      ++c;
    }
    if (*c == '"') {
      word->append(backslashes / 2, '\\');
      if (backslashes % 2) {
        *word += '"';
      } else {
        quoted = !quoted;
      }
      ++c;
    } else {
      word->append(backslashes, '\\');
      if (*c && (quoted || !IsBlank(*c))) *word += *c++;
    }
  }
  return c;
}

}  // namespace

namespace os_posix {

std::vector<std::string> SplitCommandLine(const char* line) {
  std::vector<std::string> words;
  const char* c = SkipBlanks(line);
  if (!*c) return words;
  words.emplace_back();
  c = SkipBlanks(ProgramName(c, &words.back()));
  while (*c) {
    words.emplace_back();
    c = SkipBlanks(Argument(c, &words.back()));
  }
  return words;
}

}  // namespace os_posix
