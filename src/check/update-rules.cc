#include "check/update-rules.h"

#include <string.h>

#include "log/text-lines.h"
#include "platform/check-and-run-update.h"

namespace {

char Upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Whether `text` begins with `upper` (capitals), letter case aside.
bool BeginsWith(const char* text, size_t length, const char* upper) {
  size_t i = 0;
  for (; upper[i] != '\0'; ++i) {
    if (i >= length || Upper(text[i]) != upper[i])
      return false;
  }
  return true;
}

bool SameNoCase(const char* name, const char* upper) {
  size_t length = strlen(name);
  return length == strlen(upper) && BeginsWith(name, length, upper);
}

// The index in kPathExtensions of the update name `name` has (the bare
// command name is kPathExtensionCount), or -1.
int UpdateIndex(const char* name) {
  size_t base = sizeof kUpdateCommand - 1;
  if (!BeginsWith(name, strlen(name), kUpdateCommand))
    return -1;
  if (name[base] == '\0')
    return kPathExtensionCount;
  for (unsigned i = 0; i < kPathExtensionCount; ++i) {
    if (SameNoCase(name + base, kPathExtensions[i]))
      return static_cast<int>(i);
  }
  return -1;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Whether the line runs `start` without /wait: `start` where a command
// begins (the line's start, after @, or after &, |, or a parenthesis),
// and no /wait among what follows up to the next & or |.
bool StartsWithoutWait(const char* line, size_t length) {
  size_t at = 0;
  while (at < length && (IsBlank(line[at]) || line[at] == '@'))
    ++at;
  if (BeginsWith(line + at, length - at, "REM") &&
      (at + 3 == length || IsBlank(line[at + 3])))
    return false;
  if (BeginsWith(line + at, length - at, "::"))
    return false;
  bool command_here = true;
  for (; at < length; ++at) {
    char c = line[at];
    if (c == '&' || c == '|' || c == '(' || c == ')') {
      command_here = true;
      continue;
    }
    if (IsBlank(c) || c == '@')
      continue;
    if (command_here && BeginsWith(line + at, length - at, "START") &&
        (at + 5 == length || IsBlank(line[at + 5]) || line[at + 5] == '"' ||
         line[at + 5] == '/')) {
      size_t end = at + 5;
      while (end < length && line[end] != '&' && line[end] != '|')
        ++end;
      bool waits = false;
      for (size_t i = at + 5; i < end && !waits; ++i)
        waits = BeginsWith(line + i, end - i, "/WAIT");
      if (!waits)
        return true;
    }
    command_here = false;
  }
  return false;
}

struct BatchReading {
  Findings* findings;
  const char* name;
};

void TakeBatchLine(void* context, const char* line, size_t length,
                   unsigned number, TextLineEnd) {
  BatchReading* reading = static_cast<BatchReading*>(context);
  if (!StartsWithoutWait(line, length))
    return;
  FindingText text = {};
  Say(&text, "line ");
  SayNumber(&text, number);
  Say(&text, ": start without /wait: the program waits for the update "
             "alone, and 5 s after it ends the staged run's clean-up removes "
             "files that what it started may still need; use start /wait");
  AddFinding(reading->findings, reading->name, FindingWarning, text.text);
}

}  // namespace

void NoteUpdateEntry(Findings* findings, const PackageEntry& entry,
                     UpdateFiles* files) {
  int index = UpdateIndex(entry.name);
  if (index < 0)
    return;
  if (entry.folder) {
    AddFinding(findings, entry.path, FindingError,
               "a folder named as the update: cmd does not run it, and the "
               "run fails or runs another file; rename it");
  } else if (index < static_cast<int>(kPathExtensionCount)) {
    strcpy(files->names[index], entry.name);
  }
}

void CheckUpdate(Findings* findings, const UpdateFiles& files) {
  const char* first = nullptr;
  for (unsigned i = 0; i < kPathExtensionCount; ++i) {
    const char* name = files.names[i];
    if (name[0] == '\0')
      continue;
    if (first == nullptr) {
      first = name;
    } else {
      FindingText text = {};
      Say(&text, "cmd runs ");
      Say(&text, first);
      Say(&text, " instead, the first by the order of PATHEXT, perhaps not "
                 "the update meant; keep only one");
      AddFinding(findings, name, FindingError, text.text);
    }
    if (SameNoCase(kPathExtensions[i], ".BAT") ||
        SameNoCase(kPathExtensions[i], ".CMD")) {
      BatchReading reading = {findings, name};
      ReadTextLines(name, TakeBatchLine, &reading);
    }
  }
  if (first == nullptr) {
    FindingText text = {};
    Say(&text, "missing: cmd finds no update with an extension of PATHEXT (");
    for (unsigned i = 0; i < kPathExtensionCount; ++i) {
      Say(&text, i > 0 ? " " : "");
      Say(&text, kPathExtensions[i]);
    }
    Say(&text, "), and every run that applies fails; add the update");
    AddFinding(findings, kUpdateCommand, FindingError, text.text);
  }
}
