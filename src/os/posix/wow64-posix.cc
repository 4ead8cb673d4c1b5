// IsWow64Process and GetNativeSystemInfo, which Windows added after 2000
// and a program finds with GetProcAddress; the machine says which of them
// exist and what they answer.
#include "os/posix/wow64-posix.h"

#include <stdint.h>
#include <string.h>

#include "os/kernel-calls.h"
#include "os/posix/handles-posix.h"
#include "os/posix/machine-posix.h"

namespace {

BOOL WINAPI IsWow64Process(HANDLE process, PBOOL wow64) {
  if (os_posix::TakeInjectedFailure("IsWow64Process")) return FALSE;
  HostMachine machine;
  HostWow64Calls calls;
  os_posix::Wow64Setting(&machine, &calls);
  if (calls == HostWow64Calls::kIsWow64Fails) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  bool pseudo = process == reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));
  if (!pseudo &&
      !os_posix::LookUpHandle(process, {os_posix::HandleKind::kProcess})) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (wow64 == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *wow64 = calls != HostWow64Calls::kIsWow64False &&
           machine != HostMachine::kX86;
  return TRUE;
}

void WINAPI GetNativeSystemInfo(LPSYSTEM_INFO info) {
  HostMachine machine;
  HostWow64Calls calls;
  os_posix::Wow64Setting(&machine, &calls);
  memset(info, 0, sizeof *info);
  switch (machine) {
    case HostMachine::kX86:
      info->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_INTEL;
      break;
    case HostMachine::kAmd64:
      info->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_AMD64;
      break;
    case HostMachine::kIa64:
      info->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_IA64;
      break;
  }
  info->dwPageSize = 4096;
  info->dwNumberOfProcessors = 1;
  info->dwActiveProcessorMask = 1;
  info->dwAllocationGranularity = 65536;
}

// Only a function of the type the program calls it as, through the one
// function type that converts to any other.
template <typename Call>
FARPROC Export(Call function) {
  return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

}  // namespace

namespace os_posix {

FARPROC KernelFunction(const char* name) {
  HostMachine machine;
  HostWow64Calls calls;
  Wow64Setting(&machine, &calls);
  if (strcmp(name, "IsWow64Process") == 0 &&
      calls != HostWow64Calls::kNativeOnly && calls != HostWow64Calls::kNone) {
    return Export<IsWow64ProcessCall>(IsWow64Process);
  }
  if (strcmp(name, "GetNativeSystemInfo") == 0 &&
      calls != HostWow64Calls::kNone) {
    return Export<GetNativeSystemInfoCall>(GetNativeSystemInfo);
  }
  SetLastError(ERROR_PROC_NOT_FOUND);
  return nullptr;
}

}  // namespace os_posix
