// The local time (the host clock in the host's time zone, unless the
// machine fixes it), pauses and the tick count.
#include <errno.h>
#include <time.h>

#include <string>

#include "os/posix/machine-posix.h"

namespace {

// The tick count while pauses are skipped: the pauses skipped so far.
const DWORD kSkippedTicksStart = 0xFFFFF000;
DWORD skipped_ticks = kSkippedTicksStart;

void ForgetTicks() { skipped_ticks = kSkippedTicksStart; }

[[maybe_unused]] const bool kKept =
    (os_posix::KeepMachinePart(ForgetTicks, nullptr), true);

}  // namespace

void WINAPI GetLocalTime(LPSYSTEMTIME time) {
  if (os_posix::FixedLocalTime(time)) return;
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  struct tm local;
  localtime_r(&now.tv_sec, &local);
  time->wYear = static_cast<WORD>(local.tm_year + 1900);
  time->wMonth = static_cast<WORD>(local.tm_mon + 1);
  time->wDayOfWeek = static_cast<WORD>(local.tm_wday);
  time->wDay = static_cast<WORD>(local.tm_mday);
  time->wHour = static_cast<WORD>(local.tm_hour);
  time->wMinute = static_cast<WORD>(local.tm_min);
  time->wSecond = static_cast<WORD>(local.tm_sec);
  time->wMilliseconds = static_cast<WORD>(now.tv_nsec / 1000000);
}

void WINAPI Sleep(DWORD milliseconds) {
  os_posix::TraceCall("Sleep", std::to_string(milliseconds).c_str());
  if (os_posix::SleepSkipped()) {
    skipped_ticks += milliseconds;
    return;
  }
  struct timespec left = {static_cast<time_t>(milliseconds / 1000),
                          static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

DWORD WINAPI GetTickCount() {
  if (os_posix::SleepSkipped()) return skipped_ticks;
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<DWORD>(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}
