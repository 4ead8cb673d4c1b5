// A function of a system DLL found at run time, so that the exe imports
// nothing that the oldest system it runs on lacks.
#ifndef ZODERUDO_OS_FIND_CALL_H_
#define ZODERUDO_OS_FIND_CALL_H_

#include "os/os.h"

// The function `name` of `module` as a `Call`; null, with the system's
// error, when the module has none of that name.
template <typename Call>
Call FindCall(HMODULE module, const char* name) {
  // Through the one function type that converts to any other.
  return reinterpret_cast<Call>(
      reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

#endif  // ZODERUDO_OS_FIND_CALL_H_
