#include "console/console-break.h"

#include "console/report-line.h"
#include "os/os.h"

namespace {

// Set by the handler, which the system calls on a thread of its own made
// for the event: it only notes the event, and the run's one thread looks.
volatile LONG break_noted = 0;

BOOL WINAPI NoteBreak(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
    return FALSE;  // the system's handler ends the process
  InterlockedExchange(&break_noted, 1);
  return TRUE;
}

}  // namespace

void WatchForBreak() {
  InterlockedExchange(&break_noted, 0);
  // Without it a break ends the run at once, as it always could.
  SetConsoleCtrlHandler(NoteBreak, TRUE);
}

bool BreakNoted() {
  // An aligned LONG is read whole; volatile makes every look read it anew.
  return break_noted != 0;
}

void ReportCancelled() {
  ReportLine("Update cancelled (Ctrl+C); nothing was installed.");
}
