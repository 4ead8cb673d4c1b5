#ifndef ZODERUDO_CONSOLE_CONSOLE_BREAK_H_
#define ZODERUDO_CONSOLE_CONSOLE_BREAK_H_

#include <stdint.h>

// The exit code of a run cancelled before its update started: the code
// Windows gives a process ended by Ctrl+C (0xC000013A). An update ended by
// Ctrl+C gives the same code; only the run's console line tells the two
// apart.
const int32_t ResultCancelled = -1073741510;

// From here on a Ctrl+C or Ctrl+Break at the console is noted, and no
// longer ends the process: a run that has not started its update stops at
// its next look (BreakNoted); one whose update runs goes on and waits for
// it, as the update sees the break too and decides for itself. Closing the
// window, logging off and shutting down still end the process. Nothing is
// noted when this is called.
void WatchForBreak();

// Whether a Ctrl+C or Ctrl+Break was noted since WatchForBreak.
bool BreakNoted();

// "Update cancelled (Ctrl+C); nothing was installed."
void ReportCancelled();

#endif  // ZODERUDO_CONSOLE_CONSOLE_BREAK_H_
