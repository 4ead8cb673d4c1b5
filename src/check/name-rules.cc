#include "check/name-rules.h"

#include <string.h>

namespace {

const char* const kDeviceNames[] = {"CON", "PRN", "AUX", "NUL"};
const char* const kNumberedDevices[] = {"COM", "LPT"};
// Besides the control characters.
const char kRefusedCharacters[] = "<>:\"/\\|?*";

bool SameLetters(const char* name, const char* upper, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    char c = name[i];
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 'a' + 'A');
    if (c != upper[i])
      return false;
  }
  return true;
}

// The part before the first dot names the device, whatever follows, and
// so do blanks before the dot ("NUL .txt"). No byte of a double-byte
// character is a dot or blank.
bool IsDeviceName(const char* name) {
  size_t base = strcspn(name, ".");
  while (base > 0 && name[base - 1] == ' ')
    --base;
  for (const char* device : kDeviceNames) {
    if (base == 3 && SameLetters(name, device, 3))
      return true;
  }
  for (const char* device : kNumberedDevices) {
    if (base == 4 && SameLetters(name, device, 3) && name[3] >= '1' &&
        name[3] <= '9')
      return true;
  }
  return false;
}

void Add(Findings* findings, const PackageEntry& entry, Severity severity,
         const char* what) {
  AddFinding(findings, entry.path, severity, what);
}

void CheckCharacters(Findings* findings, const PackageEntry& entry) {
  char refused[sizeof kRefusedCharacters + 1] = {};
  bool control = false;
  size_t step = 0;
  for (const char* c = entry.name; (step = ListedCharacterLength(c)) != 0;
       c += step) {
    if (step != 1)
      continue;
    if (static_cast<unsigned char>(*c) < 0x20)
      control = true;
    else if (strchr(kRefusedCharacters, *c) && !strchr(refused, *c))
      refused[strlen(refused)] = *c;
  }
  if (refused[0] == '\0' && !control)
    return;
  FindingText text = {};
  Say(&text, "holds ");
  Say(&text, refused);
  Say(&text, control ? (refused[0] ? " and control characters" :
                                     "control characters")
                     : "");
  Say(&text, ", which Windows refuses in a name: the staged copy fails; "
             "rename it");
  Add(findings, entry, FindingError, text.text);
}

void CheckCodePages(Findings* findings, const PackageEntry& entry,
                    const CodePages& pages, bool on_cd) {
  // An ASCII name is the same in every code page, one character a byte:
  // nothing to convert.
  bool ascii = IsAscii(entry.name);
  WCHAR wide[MAX_PATH];
  int count = ascii ? static_cast<int>(strlen(entry.name))
                    : WideForm(entry.name, wide, MAX_PATH);
  if (count < 0) {
    Add(findings, entry, FindingError,
        "is no text of the code page names are read in: rename it in ASCII");
    return;
  }
  if (on_cd && count > kLongestJolietName) {
    FindingText text = {};
    Say(&text, "a name of ");
    SayNumber(&text, count);
    Say(&text, " characters, more than the ");
    SayNumber(&text, kLongestJolietName);
    Say(&text, " a Joliet CD holds: the CD may cut it; shorten it");
    Add(findings, entry, FindingWarning, text.text);
  }
  if (ascii)
    return;
  for (unsigned i = 0; i < pages.count; ++i) {
    bool exact = true;
    BytesIn(pages.pages[i], wide, count, &exact);
    if (exact)
      continue;
    FindingText text = {};
    Say(&text, "has no exact form in code page ");
    SayNumber(&text, pages.pages[i]);
    Say(&text, ": Windows there lists it under another name that leads "
               "nowhere, and the staged copy fails; rename it in ASCII");
    Add(findings, entry, FindingError, text.text);
  }
}

}  // namespace

void CheckName(Findings* findings, const PackageEntry& entry,
               const CodePages& pages, bool on_cd) {
  if (IsDeviceName(entry.name)) {
    Add(findings, entry, FindingError,
        "a DOS device name: Windows opens the device, not the file, and the "
        "staged copy fails; rename it");
  }
  size_t length = strlen(entry.name);
  char last = length > 0 ? entry.name[length - 1] : '\0';
  if (last == '.' || last == ' ') {
    Add(findings, entry, FindingError,
        "ends with a dot or blank, which Windows drops: the name leads to "
        "another entry or none, and the staged copy fails; rename it");
  }
  CheckCharacters(findings, entry);
  CheckCodePages(findings, entry, pages, on_cd);
}

void CheckNameAbove(Findings* findings, const PackageEntry& entry,
                    const CodePages& pages) {
  CheckCodePages(findings, entry, pages, false);
}
