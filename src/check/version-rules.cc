#include "check/version-rules.h"

#include <string.h>

#include "log/text-lines.h"
#include "log/version-file.h"
#include "log/version-text.h"

namespace {

const char kVersionFile[] = "version.id";
const char kUtf8Mark[] = "\xEF\xBB\xBF";
const char kUtf16Marks[][3] = {"\xFF\xFE", "\xFE\xFF"};
const unsigned kValueLines = 2;

struct VersionReading {
  Findings* findings;
  unsigned lines;
  bool unicode;
};

void Add(VersionReading* reading, Severity severity, unsigned line,
         const char* what) {
  FindingText text = {};
  if (line != 0) {
    Say(&text, "line ");
    SayNumber(&text, line);
    Say(&text, ": ");
  }
  Say(&text, what);
  AddFinding(reading->findings, kVersionFile, severity, text.text);
}

bool BeginsWith(const char* line, size_t length, const char* mark) {
  return length >= strlen(mark) && memcmp(line, mark, strlen(mark)) == 0;
}

void TakeLine(void* context, const char* line, size_t length,
              unsigned number, TextLineEnd) {
  VersionReading* reading = static_cast<VersionReading*>(context);
  reading->lines = number;
  if (number > kValueLines || reading->unicode)
    return;
  // UTF-16 of ASCII text alternates NUL bytes with others; NUL bytes
  // after a value (padding) are no sign of it.
  bool utf16 = number == 1 && length >= 4 &&
               (line[0] == '\0') != (line[1] == '\0') &&
               (line[0] == '\0') == (line[2] == '\0') &&
               (line[1] == '\0') == (line[3] == '\0');
  for (const char* mark : kUtf16Marks)
    utf16 = utf16 || (number == 1 && BeginsWith(line, length, mark));
  if (utf16 || (number == 1 && BeginsWith(line, length, kUtf8Mark))) {
    reading->unicode = true;
    Add(reading, FindingError, 0,
        utf16 ? "saved as UTF-16: the record shows it as garbage; save it as "
                "ANSI text"
              : "begins with a UTF-8 byte order mark: the record shows its "
                "bytes as garbage before the version; save it as ANSI text");
    return;
  }
  if (length > kVersionValueSize - 1) {
    FindingText text = {};
    SayNumber(&text, static_cast<int64_t>(length));
    Say(&text, " bytes, of which the log keeps the first ");
    SayNumber(&text, kVersionValueSize - 1);
    Say(&text, ", cut at a whole character; shorten it");
    Add(reading, FindingWarning, number, text.text);
  }
  if (memchr(line, '"', length) || memchr(line, '%', length)) {
    Add(reading, FindingWarning, number,
        "holds \" or %, which the startup script's marker cannot hold; "
        "leave them out");
  }
}

// A value as the record shows it; a control character (a CR kept at a
// line's end) as <CR> or ?, so that the finding stays one line.
void SayValue(FindingText* text, const char* value) {
  for (; *value != '\0'; ++value) {
    char c[2] = {*value, '\0'};
    bool control = static_cast<unsigned char>(*value) < 0x20;
    Say(text, !control ? c : *value == '\r' ? "<CR>" : "?");
  }
}

bool IsBlankOrControl(char c) {
  return c == ' ' || (static_cast<unsigned char>(c) < 0x20 && c != '\0');
}

bool HasOuterBlanks(const char* value) {
  size_t length = strlen(value);
  return length > 0 &&
         (IsBlankOrControl(value[0]) || IsBlankOrControl(value[length - 1]));
}

// What a run would write, read by the program's own reader.
void CheckRecord(Findings* findings) {
  char update[kVersionValueSize];
  char new_version[kVersionValueSize];
  if (!ReadVersionFile(update, new_version))
    return;
  struct {
    const char* value;
    Severity severity;
    const char* empty;
  } const kValues[] = {
      {update, FindingWarning,
       ": Update is empty; put the installed version on line 1"},
      {new_version, FindingError,
       ": New is empty; put the new version on line 2, before any blank "
       "line or end-of-file mark"},
  };
  for (const auto& value : kValues) {
    bool empty = value.value[0] == '\0';
    if (!empty && !HasOuterBlanks(value.value))
      continue;
    FindingText text = {};
    Say(&text, "a run records \"Update=");
    SayValue(&text, update);
    Say(&text, ",New=");
    SayValue(&text, new_version);
    Say(&text, "\"");
    Say(&text, empty ? value.empty
                     : ": a value begins or ends with a blank or CR, which "
                       "the log keeps, and zrreport --package never matches "
                       "it; remove them");
    AddFinding(findings, kVersionFile, empty ? value.severity
                                             : FindingWarning, text.text);
  }
}

}  // namespace

void CheckVersionFile(Findings* findings) {
  VersionReading reading = {findings, 0, false};
  DWORD error = ReadTextLines(kVersionFile, TakeLine, &reading);
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
    Add(&reading, FindingError, 0,
        "missing: no run writes a record (\"zoDerudo: Cannot Read Version.id "
        "file\"); add it, the installed version on line 1, the new one on "
        "line 2");
  } else if (error != ERROR_SUCCESS) {
    FindingText text = {};
    Say(&text, "cannot be read (error ");
    SayNumber(&text, error);
    Say(&text, ")");
    Add(&reading, FindingError, 0, text.text);
  } else if (!reading.unicode) {
    CheckRecord(findings);
  }
}
