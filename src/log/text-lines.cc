#include "log/text-lines.h"

#include <string.h>

namespace {

const char kEndOfFileMark = 0x1A;

struct LineSplitter {
  TextLineHandler handler;
  void* context;
  unsigned number;
  bool skipping;  // in the rest of an overlong line, already handed on
};

void HandOn(LineSplitter* splitter, const char* line, size_t length,
            TextLineEnd end) {
  if (length > 0 && line[length - 1] == '\r')
    --length;
  splitter->handler(splitter->context, line, length, ++splitter->number, end);
}

// Hands on every line of `bytes` that ends with LF; returns where the
// unfinished last one starts.
const char* SplitLines(LineSplitter* splitter, const char* bytes,
                       const char* end) {
  for (;;) {
    const char* feed = static_cast<const char*>(
        memchr(bytes, '\n', static_cast<size_t>(end - bytes)));
    if (feed == nullptr)
      return bytes;
    if (splitter->skipping)
      splitter->skipping = false;
    else
      HandOn(splitter, bytes, static_cast<size_t>(feed - bytes), LineEnded);
    bytes = feed + 1;
  }
}

// The file's last bytes, after its last LF: a line without its end,
// unless they are only the end-of-file mark.
void HandOnRest(LineSplitter* splitter, const char* rest, size_t length) {
  if (length > 0 && rest[length - 1] == kEndOfFileMark)
    --length;
  if (length > 0 && !splitter->skipping)
    HandOn(splitter, rest, length, LineUnended);
}

// Reads and hands on the lines; with `saving`, first tells how the file
// was saved, and hands on nothing of UTF-16.
DWORD ReadLines(const char* path, TextLineHandler handler, void* context,
                TextSaving* saving) {
  HANDLE file = CreateFileA(path, GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return GetLastError();
  // On the stack: a handler may itself read a file (a list of logs).
  char block[kTextBlockSize];
  LineSplitter splitter = {handler, context, 0, false};
  size_t held = 0;  // the start of an unfinished line, kept at the front
  DWORD error = ERROR_SUCCESS;
  bool first = true;
  for (;;) {
    DWORD count = 0;
    if (!ReadFile(file, block + held, kTextBlockSize - static_cast<DWORD>(held),
                  &count, nullptr)) {
      error = GetLastError();
      break;
    }
    if (count == 0)
      break;
    if (saving != nullptr && first) {
      first = false;
      *saving = TextSavingOf(block, count);
      if (*saving == SavedUtf16 || *saving == SavedUtf16Unmarked)
        break;
      if (*saving == SavedUtf8) {
        count -= 3;
        memmove(block, block + 3, count);
      }
    }
    const char* end = block + held + count;
    const char* rest = SplitLines(&splitter, block, end);
    held = static_cast<size_t>(end - rest);
    if (splitter.skipping) {
      // Still within a line that was handed on: its bytes go.
      held = 0;
    } else if (held == kTextBlockSize) {
      // A line longer than a block: its start is all it gets, once.
      HandOn(&splitter, block, kLongestTextLine, LineTooLong);
      splitter.skipping = true;
      held = 0;
    } else {
      memmove(block, rest, held);
    }
  }
  CloseHandle(file);
  if (error == ERROR_SUCCESS)
    HandOnRest(&splitter, block, held);
  return error;
}

}  // namespace

TextSaving TextSavingOf(const char* bytes, size_t length) {
  const unsigned char* in = reinterpret_cast<const unsigned char*>(bytes);
  if (length >= 2 && in[0] + in[1] == 0xFF + 0xFE &&
      (in[0] == 0xFF || in[0] == 0xFE))
    return SavedUtf16;
  if (length >= 3 && memcmp(bytes, "\xEF\xBB\xBF", 3) == 0)
    return SavedUtf8;
  // A few characters tell: a line of the program's is all ASCII, and no
  // ANSI text holds a NUL in every other byte.
  size_t pairs = length / 2 < 16 ? length / 2 : 16;
  for (size_t zero = 0; zero < 2 && pairs >= 2; ++zero) {
    size_t i = 0;
    while (i < pairs && in[2 * i + zero] == 0 && in[2 * i + 1 - zero] != 0)
      ++i;
    if (i == pairs)
      return SavedUtf16Unmarked;
  }
  return SavedAnsi;
}

DWORD ReadTextLines(const char* path, TextLineHandler handler, void* context) {
  return ReadLines(path, handler, context, nullptr);
}

DWORD ReadSavedTextLines(const char* path, TextLineHandler handler,
                         void* context, TextSaving* saving) {
  *saving = SavedAnsi;
  return ReadLines(path, handler, context, saving);
}

void SplitTextLines(const char* bytes, size_t length, TextLineHandler handler,
                    void* context) {
  LineSplitter splitter = {handler, context, 0, false};
  const char* rest = SplitLines(&splitter, bytes, bytes + length);
  HandOnRest(&splitter, rest, static_cast<size_t>(bytes + length - rest));
}
