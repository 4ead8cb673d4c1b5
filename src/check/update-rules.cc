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

// A line of a batch file read word by word as cmd reads it: text in
// quotes and a character after ^ separate nothing.
struct Words {
  const char* line;
  size_t length;
  size_t at;
};

bool IsSeparator(char c) { return c == '&' || c == '|' || c == ')'; }

// The next word at or after `at` (blanks skipped), as [begin, end); an
// empty one at a separator or the line's end.
size_t NextWord(Words* words, size_t* begin) {
  while (words->at < words->length && IsBlank(words->line[words->at]))
    ++words->at;
  *begin = words->at;
  bool quoted = false;
  for (; words->at < words->length; ++words->at) {
    char c = words->line[words->at];
    if (c == '"') {
      quoted = !quoted;
    } else if (quoted) {
      continue;
    } else if (c == '^') {
      ++words->at;
    } else if (IsBlank(c) || IsSeparator(c) || c == '(') {
      break;
    }
  }
  if (words->at > words->length)
    words->at = words->length;
  return words->at - *begin;
}

bool WordIs(const Words& words, size_t begin, size_t length,
            const char* upper) {
  return length == strlen(upper) &&
         BeginsWith(words.line + begin, length, upper);
}

// Past an if's condition: [/I] [NOT] then EXIST, DEFINED or ERRORLEVEL and
// one word, or a comparison (a==b, a == b, a EQU b ...).
void SkipCondition(Words* words) {
  static const char* const kTests[] = {"EXIST", "DEFINED", "ERRORLEVEL",
                                       "CMDEXTVERSION"};
  static const char* const kOperators[] = {"EQU", "NEQ", "LSS", "LEQ",
                                           "GTR", "GEQ", "=="};
  size_t begin = 0;
  size_t length = NextWord(words, &begin);
  if (WordIs(*words, begin, length, "/I"))
    length = NextWord(words, &begin);
  if (WordIs(*words, begin, length, "NOT"))
    length = NextWord(words, &begin);
  for (const char* test : kTests) {
    if (WordIs(*words, begin, length, test)) {
      NextWord(words, &begin);
      return;
    }
  }
  // A comparison: "==" may stand alone, or join either side.
  size_t equals = length;
  for (size_t i = 0; i + 1 < length && equals == length; ++i)
    equals = words->line[begin + i] == '=' && words->line[begin + i + 1] == '='
                 ? i
                 : length;
  if (equals + 2 < length)
    return;  // a==b
  size_t next = 0;
  size_t next_length = NextWord(words, &next);
  if (equals < length)
    return;  // a== b
  for (const char* op : kOperators) {
    if (WordIs(*words, next, next_length, op)) {
      NextWord(words, &next);
      return;
    }
  }
  // "a ==b": the second word held both.
}

// Whether `start`'s own switches, the first quoted word being its title,
// hold /WAIT or /W before the program. A /D standing alone takes the next
// word for its folder.
bool StartWaits(Words* words) {
  bool titled = false;
  for (;;) {
    size_t begin = 0;
    size_t length = NextWord(words, &begin);
    const char* word = words->line + begin;
    if (length > 0 && word[0] == '"' && !titled) {
      titled = true;
    } else if (length > 0 && word[0] == '/') {
      if (WordIs(*words, begin, length, "/WAIT") ||
          WordIs(*words, begin, length, "/W"))
        return true;
      if (WordIs(*words, begin, length, "/D"))
        NextWord(words, &begin);
    } else {
      return false;  // the program, or nothing
    }
  }
}

// Whether the line runs `start` without /wait where a command begins: at
// the line's start or after @, &, |, a parenthesis, an if's condition,
// `for ... do`, `else`, `call` or `cmd /c`.
bool StartsWithoutWait(const char* line, size_t length) {
  Words words = {line, length, 0};
  bool command_here = true;
  while (words.at < length) {
    char c = line[words.at];
    if (IsBlank(c) || c == '@' || c == '(' || IsSeparator(c)) {
      command_here = command_here || IsSeparator(c) || c == '(';
      ++words.at;
      continue;
    }
    size_t begin = 0;
    size_t word_length = NextWord(&words, &begin);
    if (!command_here)
      continue;
    if (WordIs(words, begin, word_length, "REM") ||
        BeginsWith(line + begin, word_length, "::"))
      return false;
    if (WordIs(words, begin, word_length, "IF")) {
      SkipCondition(&words);
    } else if (WordIs(words, begin, word_length, "FOR")) {
      while (words.at < length) {
        size_t found = NextWord(&words, &begin);
        if (WordIs(words, begin, found, "DO"))
          break;
        words.at += found == 0;  // past a parenthesis of the set
      }
    } else if (WordIs(words, begin, word_length, "CMD") ||
               WordIs(words, begin, word_length, "CMD.EXE")) {
      // Its switches up to /C or /K; the command after may be quoted.
      size_t switch_length = 0;
      while ((switch_length = NextWord(&words, &begin)) > 0 &&
             line[begin] == '/' &&
             !WordIs(words, begin, switch_length, "/C") &&
             !WordIs(words, begin, switch_length, "/K")) {
      }
      if (switch_length == 0 || line[begin] != '/') {
        command_here = false;
        continue;
      }
      while (words.at < length &&
             (IsBlank(line[words.at]) || line[words.at] == '"'))
        ++words.at;
    } else if (BeginsWith(line + begin, word_length, "START") &&
               (word_length == 5 || line[begin + 5] == '/' ||
                line[begin + 5] == '"')) {
      words.at = begin + 5;
      if (!StartWaits(&words))
        return true;
      command_here = false;
    } else if (!WordIs(words, begin, word_length, "ELSE") &&
               !WordIs(words, begin, word_length, "CALL")) {
      command_here = false;
    }
  }
  return false;
}

// How a batch file is written, from its bytes: cmd reads it as ANSI
// text, byte by byte.
enum BatchEncoding { BatchAnsi, BatchLfOnly, BatchUtf16, BatchMarked };

BatchEncoding ReadBatchEncoding(const char* name) {
  HANDLE file = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return BatchAnsi;  // its lines cannot be read either: nothing to say
  BatchEncoding encoding = BatchAnsi;
  unsigned char block[4096];
  DWORD count = 0;
  bool first = true;
  unsigned char previous = 0;
  while (encoding != BatchUtf16 && encoding != BatchMarked &&
         ReadFile(file, block, sizeof block, &count, nullptr) && count > 0) {
    // UTF-16 as Notepad saves it, with its mark, or without one: ASCII
    // text alternating with NUL bytes.
    if (first && count >= 2 &&
        ((block[0] == 0xFF && block[1] == 0xFE) ||
         (block[0] == 0xFE && block[1] == 0xFF) ||
         (count >= 4 && (block[0] == 0) != (block[1] == 0) &&
          (block[0] == 0) == (block[2] == 0) &&
          (block[1] == 0) == (block[3] == 0))))
      encoding = BatchUtf16;
    else if (first && count >= 3 && block[0] == 0xEF && block[1] == 0xBB &&
             block[2] == 0xBF)
      encoding = BatchMarked;
    first = false;
    for (DWORD i = 0; i < count && encoding == BatchAnsi; ++i) {
      if (block[i] == '\n' && previous != '\r')
        encoding = BatchLfOnly;
      previous = block[i];
    }
  }
  CloseHandle(file);
  return encoding;
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
  // cmd looks for a command given without extension with each one of
  // PATHEXT appended, never under its bare name: a file or folder of that
  // name is not run, whatever it holds.
  if (index == static_cast<int>(kPathExtensionCount)) {
    AddFinding(findings, entry.path, FindingWarning,
               "named as the update without an extension: cmd looks for the "
               "update only with an extension of PATHEXT, so it never runs "
               "this; remove it, or give it the extension meant");
  } else if (entry.folder) {
    AddFinding(findings, entry.path, FindingError,
               "a folder named as the update: cmd does not run it, and the "
               "run fails or runs another file; rename it");
  } else {
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
      BatchEncoding encoding = ReadBatchEncoding(name);
      if (encoding == BatchUtf16 || encoding == BatchMarked) {
        AddFinding(findings, name, FindingError,
                   encoding == BatchUtf16
                       ? "saved as UTF-16 (\"Unicode\"): cmd runs none of "
                         "it; save it as ANSI text"
                       : "begins with a UTF-8 byte order mark: cmd takes it "
                         "for part of the first command, which fails; save "
                         "it as ANSI text");
        continue;
      }
      if (encoding == BatchLfOnly) {
        AddFinding(findings, name, FindingWarning,
                   "lines end with LF alone: cmd's goto and call :label can "
                   "miss labels in it; save it with CR LF line ends");
      }
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
