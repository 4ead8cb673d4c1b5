#include "report/list-file.h"

#include <stdlib.h>
#include <string.h>

namespace {

// The whole file into `*bytes` (freed by the caller), its size into
// `*length`.
DWORD ReadWhole(const char* path, char** bytes, DWORD* length) {
  *bytes = nullptr;
  HANDLE file = CreateFileA(path, GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return GetLastError();
  DWORD high = 0;
  DWORD size = GetFileSize(file, &high);
  DWORD error = ERROR_SUCCESS;
  if (size == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS) {
    error = GetLastError();
  } else if (high != 0 || size > 0x40000000) {
    error = ERROR_NOT_ENOUGH_MEMORY;  // a list of a gigabyte is none
  } else if ((*bytes = static_cast<char*>(malloc(size + 1))) == nullptr) {
    error = ERROR_NOT_ENOUGH_MEMORY;
  } else if (!ReadFile(file, *bytes, size, length, nullptr)) {
    error = GetLastError();
  }
  CloseHandle(file);
  if (error != ERROR_SUCCESS) {
    free(*bytes);
    *bytes = nullptr;
  }
  return error;
}

// UTF-16 text after its byte order mark into the ANSI code page; the
// characters it lacks become "?", which names no file or computer. The
// `tail` of bytes already in the code page follows it.
DWORD FromUtf16(const char* bytes, DWORD length, bool big_endian,
                const char* tail, DWORD tail_length, char** text,
                DWORD* text_length) {
  DWORD count = length / 2;
  WCHAR* wide = static_cast<WCHAR*>(malloc((count + 1) * sizeof(WCHAR)));
  // A character takes at most two bytes of a double-byte code page.
  *text = static_cast<char*>(malloc(count * 2 + tail_length + 1));
  if (wide == nullptr || *text == nullptr) {
    free(wide);
    free(*text);
    *text = nullptr;
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  const unsigned char* in = reinterpret_cast<const unsigned char*>(bytes);
  for (DWORD i = 0; i < count; ++i) {
    unsigned high = in[2 * i + (big_endian ? 0 : 1)];
    unsigned low = in[2 * i + (big_endian ? 1 : 0)];
    wide[i] = static_cast<WCHAR>(high << 8 | low);
  }
  int written = count == 0 ? 0
                           : WideCharToMultiByte(
                                 CP_ACP, 0, wide, static_cast<int>(count),
                                 *text, static_cast<int>(count * 2), nullptr,
                                 nullptr);
  DWORD error = count > 0 && written == 0 ? GetLastError() : ERROR_SUCCESS;
  free(wide);
  // The CR LF that the program put before its first record, when the text
  // already ends its line.
  if (tail_length >= 2 && tail[0] == '\r' && tail[1] == '\n' &&
      (written == 0 || (*text)[written - 1] == '\n')) {
    tail += 2;
    tail_length -= 2;
  }
  memcpy(*text + written, tail, tail_length);
  *text_length = static_cast<DWORD>(written) + tail_length;
  return error;
}

// Where the records that the program appended to a log saved anew in
// UTF-16 begin (`length` if none were): the program writes them in the
// ANSI code page, after CR LF unless the file ended with the byte LF (as
// big-endian UTF-16 ends its lines). No ANSI text holds a NUL byte, and
// the bytes 0D 0A, at either offset, are no characters of UTF-16 text
// converted from an ANSI code page. So they start at the first 0D 0A, or
// where the UTF-16 text's last LF is followed by no NUL up to it.
DWORD AppendedStart(const unsigned char* in, DWORD length, bool big_endian) {
  DWORD pair = 2;
  while (pair + 1 < length && !(in[pair] == '\r' && in[pair + 1] == '\n'))
    ++pair;
  if (pair + 1 >= length)
    pair = length;
  DWORD line_end = 2;
  for (DWORD i = 2; i + 1 < pair; i += 2) {
    if (in[i + big_endian] == '\n' && in[i + !big_endian] == 0)
      line_end = i + 2;
  }
  return memchr(in + line_end, 0, pair - line_end) != nullptr ? pair
                                                              : line_end;
}

// A CR alone ends a line of a list, as an editor shows it; a log's lines
// end with LF alone, and a CR within a version text stays.
void EndLinesAtLoneCr(char* text, DWORD length) {
  for (char* cr = text;
       (cr = static_cast<char*>(memchr(
            cr, '\r', static_cast<size_t>(text + length - cr)))) != nullptr;
       ++cr) {
    if (cr + 1 == text + length || cr[1] != '\n')
      *cr = '\n';
  }
}

DWORD ReadSavedFile(const char* path, TextLineHandler handler, void* context,
                    bool list) {
  char* bytes = nullptr;
  DWORD length = 0;
  DWORD error = ReadWhole(path, &bytes, &length);
  if (error != ERROR_SUCCESS)
    return error;
  char* text = bytes;
  DWORD text_length = length;
  char* converted = nullptr;
  TextSaving saving = TextSavingOf(bytes, length);
  if (saving == SavedUtf16) {
    const unsigned char* in = reinterpret_cast<const unsigned char*>(bytes);
    bool big_endian = in[0] == 0xFE;
    DWORD utf16_end = list ? length : AppendedStart(in, length, big_endian);
    error = FromUtf16(bytes + 2, utf16_end - 2, big_endian, bytes + utf16_end,
                      length - utf16_end, &converted, &text_length);
    text = converted;
  } else if (saving == SavedUtf8) {
    text += 3;
    text_length -= 3;
  }
  if (list && saving != SavedUtf16 &&
      memchr(text, '\0', text_length) != nullptr)
    error = kUnmarkedUtf16;
  if (error == ERROR_SUCCESS) {
    if (list)
      EndLinesAtLoneCr(text, text_length);
    SplitTextLines(text, text_length, handler, context);
  }
  free(converted);
  free(bytes);
  return error;
}

}  // namespace

DWORD ReadListFile(const char* path, TextLineHandler handler, void* context) {
  return ReadSavedFile(path, handler, context, true);
}

DWORD ReadUtf16Log(const char* path, TextLineHandler handler, void* context) {
  return ReadSavedFile(path, handler, context, false);
}
