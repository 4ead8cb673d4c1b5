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
// characters it lacks become "?", which names no file or computer.
DWORD FromUtf16(const char* bytes, DWORD length, bool big_endian,
                char** text, DWORD* text_length) {
  DWORD count = length / 2;
  WCHAR* wide = static_cast<WCHAR*>(malloc((count + 1) * sizeof(WCHAR)));
  // A character takes at most two bytes of a double-byte code page.
  *text = static_cast<char*>(malloc(count * 2 + 1));
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
  *text_length = static_cast<DWORD>(written);
  return error;
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
    error = FromUtf16(bytes + 2, length - 2,
                      static_cast<unsigned char>(bytes[0]) == 0xFE, &converted,
                      &text_length);
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
