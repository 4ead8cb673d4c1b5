#include "check/version-rules.h"

#include <string.h>

#include "log/text-lines.h"
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
  bool utf16 = memchr(line, '\0', length) != nullptr;
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
  } else if (!reading.unicode && reading.lines < kValueLines) {
    FindingText text = {};
    SayNumber(&text, reading.lines);
    Say(&text, reading.lines == 1 ? " line" : " lines");
    Say(&text, ", not two: the record's New stays empty; put the installed "
               "version on line 1, the new one on line 2");
    Add(&reading, FindingError, 0, text.text);
  }
}
