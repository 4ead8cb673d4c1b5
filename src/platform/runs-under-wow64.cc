#include "platform/runs-under-wow64.h"

#include <string.h>

#include "os/kernel-calls.h"
#include "os/os.h"

bool RunsUnderWow64() {
  // Always loaded, so nothing to free; a system that cannot name it has
  // none of the newer calls either.
  HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
  if (kernel == nullptr)
    return false;
  IsWow64ProcessCall is_wow64_process =
      FindCall<IsWow64ProcessCall>(kernel, "IsWow64Process");
  if (is_wow64_process != nullptr) {
    BOOL wow64 = FALSE;
    // Not knowing is no reason to install 32-bit drivers: not applicable
    // is the safe answer.
    if (!is_wow64_process(GetCurrentProcess(), &wow64) || wow64)
      return true;
  }
  GetNativeSystemInfoCall get_native_system_info =
      FindCall<GetNativeSystemInfoCall>(kernel, "GetNativeSystemInfo");
  if (get_native_system_info != nullptr) {
    SYSTEM_INFO native;
    memset(&native, 0, sizeof native);
    get_native_system_info(&native);
    return native.wProcessorArchitecture != PROCESSOR_ARCHITECTURE_INTEL;
  }
  return false;
}
