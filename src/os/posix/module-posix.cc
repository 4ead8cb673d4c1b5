// LoadLibraryA, GetProcAddress and FreeLibrary for the one module the
// program loads, ADVAPI32, whose calls are those of security-posix.cc;
// GetModuleHandleA for KERNEL32, always loaded, whose calls found at run
// time are those of wow64-posix.cc; ntdll, whose NtCreateFile is in
// file-posix.cc and RtlUpcaseUnicodeChar here; and the process's
// pseudo-handle. Each LoadLibraryA gives a handle of its own that FreeLibrary takes back.
#include <stdint.h>
#include <string.h>
#include <strings.h>
#include <locale.h>
#include <wctype.h>

#include <memory>

#include "os/nt-calls.h"
#include "os/posix/handles-posix.h"
#include "os/posix/machine-posix.h"
#include "os/posix/security-posix.h"
#include "os/posix/wow64-posix.h"

namespace {

class Module : public os_posix::HandleObject {
 public:
  Module() : HandleObject(os_posix::HandleKind::kModule) {}
};

bool IsAdvapi(const char* name) {
  return strcasecmp(name, "advapi32") == 0 ||
         strcasecmp(name, "advapi32.dll") == 0;
}

bool IsKernel(const char* name) {
  return strcasecmp(name, "kernel32") == 0 ||
         strcasecmp(name, "kernel32.dll") == 0;
}

bool IsNtdll(const char* name) {
  return strcasecmp(name, "ntdll") == 0 || strcasecmp(name, "ntdll.dll") == 0;
}

// ntdll's upper-casing of one UTF-16 character, by which Windows compares
// file names: Unicode's simple upper case, the host's C.UTF-8 table.
WCHAR WINAPI RtlUpcaseUnicodeChar(WCHAR c) {
  static locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
  if (utf8 == nullptr) return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c;
  wint_t upper = towupper_l(c, utf8);
  return upper <= 0xFFFF ? static_cast<WCHAR>(upper) : c;
}

// Loaded for the whole life of the process, as on Windows: never opened,
// never freed.
char kernel_module;
char ntdll_module;
HMODULE KernelModule() { return &kernel_module; }
HMODULE NtdllModule() { return &ntdll_module; }

}  // namespace

HMODULE WINAPI LoadLibraryA(LPCSTR name) {
  if (os_posix::TakeInjectedFailure("LoadLibraryA")) return nullptr;
  if (name == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (!IsAdvapi(name)) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  return os_posix::OpenHandle(std::make_unique<Module>());
}

HMODULE WINAPI GetModuleHandleA(LPCSTR name) {
  if (os_posix::TakeInjectedFailure("GetModuleHandleA")) return nullptr;
  if (name != nullptr && IsNtdll(name)) return NtdllModule();
  if (name == nullptr || !IsKernel(name)) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  return KernelModule();
}

FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR name) {
  if (os_posix::TakeInjectedFailure("GetProcAddress")) return nullptr;
  if (module == KernelModule() && name != nullptr)
    return os_posix::KernelFunction(name);
  if (module == NtdllModule() && name != nullptr) {
    if (strcmp(name, "NtCreateFile") == 0)
      return reinterpret_cast<FARPROC>(
          reinterpret_cast<void (*)()>(os_posix::NtCreateFileHost));
    if (strcmp(name, "RtlUpcaseUnicodeChar") == 0)
      return reinterpret_cast<FARPROC>(
          reinterpret_cast<void (*)()>(RtlUpcaseUnicodeChar));
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  if (!os_posix::LookUpHandle(module, {os_posix::HandleKind::kModule})) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  if (name == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return os_posix::AdvapiFunction(name);
}

BOOL WINAPI FreeLibrary(HMODULE module) {
  if (os_posix::TakeInjectedFailure("FreeLibrary")) return FALSE;
  if (!os_posix::TakeHandle(module, {os_posix::HandleKind::kModule})) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return FALSE;
  }
  return TRUE;
}

HANDLE WINAPI GetCurrentProcess(void) {
  return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));
}
