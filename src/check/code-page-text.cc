#include "check/code-page-text.h"

#include "os/find-call.h"
#include "staging/path-characters.h"

namespace {

// Enough for a path that the narrow calls take, in any double-byte page.
const int kLongestForm = 2 * MAX_PATH * 2;

typedef WCHAR(WINAPI* UpcaseCall)(WCHAR);

// Windows compares file names by ntdll's table, which every NT has; where
// it is not found, A to Z alone.
WCHAR Upcase(WCHAR c) {
  static UpcaseCall upcase = nullptr;
  static bool looked = false;
  if (!looked) {
    looked = true;
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    if (ntdll != nullptr)
      upcase = FindCall<UpcaseCall>(ntdll, "RtlUpcaseUnicodeChar");
  }
  if (upcase != nullptr)
    return upcase(c);
  return c >= 'a' && c <= 'z' ? static_cast<WCHAR>(c - 'a' + 'A') : c;
}

}  // namespace

void FoldedName(const char* name, WCHAR* folded, int size) {
  int count = IsAscii(name) ? -1 : WideForm(name, folded, size - 1);
  if (count < 0) {
    for (count = 0; count < size - 1 && name[count] != '\0'; ++count)
      folded[count] = static_cast<unsigned char>(name[count]);
  }
  for (int i = 0; i < count; ++i)
    folded[i] = Upcase(folded[i]);
  folded[count] = 0;
}

int CompareFoldedNames(const WCHAR* a, const WCHAR* b) {
  for (;; ++a, ++b) {
    if (*a != *b || *a == 0)
      return static_cast<int>(*a) - static_cast<int>(*b);
  }
}

size_t ListedCharacterLength(const char* text) {
  if (kNameCodePage != CP_ACP)
    return *text != '\0';  // UTF-8: no byte of a character is ASCII
  return CharacterLength(text);
}

bool KnownCodePage(UINT code_page) {
  const WCHAR letter[] = {'A'};
  char form[8];
  BOOL used_default = FALSE;
  return code_page != CP_ACP && code_page != CP_UTF8 &&
         WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, letter, 1, form,
                             sizeof form, nullptr, &used_default) == 1 &&
         !used_default && form[0] == 'A';
}

bool IsAscii(const char* text) {
  for (; *text != '\0'; ++text) {
    if (static_cast<unsigned char>(*text) >= 0x80)
      return false;
  }
  return true;
}

int WideForm(const char* text, WCHAR* wide, int size) {
  int length = 0;
  while (text[length] != '\0')
    ++length;
  if (length == 0)
    return 0;
  int count = MultiByteToWideChar(kNameCodePage, MB_ERR_INVALID_CHARS, text,
                                  length, wide, size);
  return count > 0 ? count : -1;
}

int BytesIn(UINT code_page, const WCHAR* wide, int count, bool* exact) {
  *exact = true;
  if (count == 0)
    return 0;
  char form[kLongestForm];
  BOOL used_default = FALSE;
  int bytes = WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, wide, count,
                                  form, sizeof form, nullptr, &used_default);
  // Best fit is off, so a character without a form of its own becomes the
  // default character; one that comes back as another is no exact form
  // either.
  if (bytes <= 0 || used_default) {
    *exact = false;
    return bytes > 0 ? bytes : 2 * count;
  }
  WCHAR back[kLongestForm];
  int back_count = MultiByteToWideChar(code_page, 0, form, bytes, back,
                                       kLongestForm);
  if (back_count != count)
    *exact = false;
  for (int i = 0; *exact && i < count; ++i)
    *exact = back[i] == wide[i];
  return bytes;
}
