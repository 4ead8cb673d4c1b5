// SetConsoleCtrlHandler: the host's SIGINT stands for Ctrl+C. The handlers
// are called last added first, as Windows calls them; when none returns
// TRUE the process ends by the signal, as Windows' own handler ends it.
#include <signal.h>

#include "os/posix/machine-posix.h"

namespace {

const int kMostHandlers = 8;
// Read inside the signal handler: plain storage, no lock.
PHANDLER_ROUTINE handlers[kMostHandlers];
volatile sig_atomic_t handler_count = 0;

void OnInterrupt(int) {
  for (int i = handler_count - 1; i >= 0; --i) {
    if (handlers[i](CTRL_C_EVENT)) return;
  }
  signal(SIGINT, SIG_DFL);
  raise(SIGINT);
}

void ForgetHandlers() { handler_count = 0; }

[[maybe_unused]] const bool kKept =
    (os_posix::KeepMachinePart(ForgetHandlers, nullptr), true);

}  // namespace

BOOL WINAPI SetConsoleCtrlHandler(PHANDLER_ROUTINE handler, BOOL add) {
  if (os_posix::TakeInjectedFailure("SetConsoleCtrlHandler")) return FALSE;
  if (handler == nullptr || !add || handler_count == kMostHandlers) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  handlers[handler_count] = handler;
  handler_count = handler_count + 1;
  struct sigaction action = {};
  action.sa_handler = OnInterrupt;
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  return TRUE;
}
