#include "run/run-update.h"

#include <string.h>

#include "log/log-result.h"
#include "os/os.h"
#include "platform/check-and-run-update.h"
#include "run/report-line.h"

int RunUpdate(int argc, char** argv) {
  // Every run is a run in place for now: the words are not looked at.
  (void)argc;
  (void)argv;

  char starting_directory[kRunDirectorySize];
  char run_directory[kRunDirectorySize];
  memset(starting_directory, 0, sizeof starting_directory);
  memset(run_directory, 0, sizeof run_directory);

  // A value at least as large as the buffer is the size the path would
  // need: the directory was not read, and going on would run the update
  // wherever the process happens to be.
  DWORD length = GetCurrentDirectoryA(sizeof starting_directory,
                                      starting_directory);
  if (length == 0 || length >= sizeof starting_directory) {
    ReportLine("Unable to determine current directory.  Aborting update!");
    LogResult(1);
    return 1;
  }

  memcpy(run_directory, starting_directory, sizeof run_directory);
  SetCurrentDirectoryA(run_directory);
  int32_t result = CheckAndRunUpdate();
  // Recorded while the run directory is current: its version file counts.
  // What LogResult returns changes nothing here.
  LogResult(result);
  SetCurrentDirectoryA(starting_directory);
  return result;
}
