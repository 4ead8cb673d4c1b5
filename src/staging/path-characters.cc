#include "staging/path-characters.h"

#include <string.h>

#include "os/os.h"

namespace {

char UpperLetter(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

size_t CharacterLength(const char* text) {
  if (text[0] == '\0')
    return 0;
  // A lead byte at the very end is a character of its own, as the system
  // takes it.
  if (IsDBCSLeadByte(static_cast<BYTE>(text[0])) && text[1] != '\0')
    return 2;
  return 1;
}

size_t LengthBeforeTrailingBackslashes(const char* path) {
  size_t kept = 0;
  size_t at = 0;
  while (size_t step = CharacterLength(path + at)) {
    at += step;
    if (step != 1 || path[at - 1] != '\\')
      kept = at;
  }
  return kept;
}

bool EndsWithBackslash(const char* path) {
  return LengthBeforeTrailingBackslashes(path) < strlen(path);
}

bool SameFolderName(const char* first, const char* second) {
  size_t length = LengthBeforeTrailingBackslashes(first);
  if (length == 0 || length != LengthBeforeTrailingBackslashes(second))
    return false;
  size_t at = 0;
  while (at < length) {
    size_t step = CharacterLength(first + at);
    if (step != CharacterLength(second + at))
      return false;
    bool same = step == 2 ? first[at] == second[at] &&
                                first[at + 1] == second[at + 1]
                          : UpperLetter(first[at]) == UpperLetter(second[at]);
    if (!same)
      return false;
    at += step;
  }
  return true;
}
