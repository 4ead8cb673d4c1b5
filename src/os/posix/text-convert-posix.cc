// MultiByteToWideChar and WideCharToMultiByte through the host's iconv,
// which knows the Windows code pages by the names CP1252, CP932 and so on.
#include <errno.h>
#include <iconv.h>
#include <stdio.h>
#include <string.h>

#include <string>

#include "os/posix/machine-posix.h"
#include "os/posix/win32-posix.h"

namespace {

std::string IconvName(UINT code_page) {
  if (code_page == CP_ACP) code_page = os_posix::AnsiCodePage();
  if (code_page == CP_UTF8) return "UTF-8";
  char name[16];
  snprintf(name, sizeof name, "CP%u", static_cast<unsigned>(code_page));
  return name;
}

// Converts `in` from one iconv name to the other; a unit that has no form
// is replaced by `stand_in` (`skip` bytes of input), or fails when
// `stand_in` is empty. False with the error set when it cannot be done.
bool Convert(const std::string& from, const std::string& to, std::string in,
             const std::string& stand_in, size_t skip, std::string* out,
             bool* substituted) {
  iconv_t converter = iconv_open(to.c_str(), from.c_str());
  if (converter == reinterpret_cast<iconv_t>(-1)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  char* at = in.empty() ? nullptr : &in[0];
  size_t left = in.size();
  bool ok = true;
  while (left > 0) {
    char buffer[256];
    char* put = buffer;
    size_t room = sizeof buffer;
    size_t done = iconv(converter, &at, &left, &put, &room);
    out->append(buffer, put - buffer);
    if (done != static_cast<size_t>(-1) || errno == E2BIG) continue;
    if (stand_in.empty()) { ok = false; break; }
    // A surrogate pair is one character with no form.
    size_t step = skip == 2 && left >= 4 && (at[1] & 0xFC) == 0xD8 ? 4 : skip;
    step = step < left ? step : left;
    *out += stand_in;
    *substituted = true;
    at += step;
    left -= step;
  }
  iconv_close(converter);
  if (!ok) SetLastError(ERROR_NO_UNICODE_TRANSLATION);
  return ok;
}

// Copies the result out as the calls do: `size` 0 asks for the length.
int Deliver(const std::string& result, void* buffer, int size, int unit) {
  int count = static_cast<int>(result.size()) / unit;
  if (size == 0) return count;
  if (count > size) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  memcpy(buffer, result.data(), result.size());
  return count;
}

}  // namespace

int WINAPI MultiByteToWideChar(UINT code_page, DWORD flags, LPCSTR text,
                               int length, WCHAR* wide, int size) {
  std::string in = length < 0 ? std::string(text, strlen(text) + 1)
                              : std::string(text, length);
  std::string out;
  bool substituted = false;
  std::string stand_in =
      flags & MB_ERR_INVALID_CHARS ? "" : std::string("\xFD\xFF", 2);
  if (!Convert(IconvName(code_page), "UTF-16LE", in, stand_in, 1, &out,
               &substituted))
    return 0;
  return Deliver(out, wide, size, 2);
}

int WINAPI WideCharToMultiByte(UINT code_page, DWORD, const WCHAR* wide,
                               int length, LPSTR text, int size,
                               LPCSTR default_char, LPBOOL used_default) {
  if (length < 0) {
    length = 0;
    while (wide[length] != 0) ++length;
    ++length;
  }
  std::string in(reinterpret_cast<const char*>(wide), 2 * length);
  std::string out;
  bool substituted = false;
  if (!Convert("UTF-16LE", IconvName(code_page), in,
               default_char ? default_char : "?", 2, &out, &substituted))
    return 0;
  if (used_default != nullptr) *used_default = substituted;
  return Deliver(out, text, size, 1);
}
