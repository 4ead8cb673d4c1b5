#include "run/run-update.h"

#include <stdlib.h>
#include <string.h>

#include "console/report-line.h"
#include "log/log-result.h"
#include "os/os.h"
#include "platform/check-and-run-update.h"
#include "run/staged-run.h"
#include "staging/staging-area.h"

static_assert(kStagingPathSize <= kRunDirectorySize,
              "the staging path is run from the run directory");

namespace {

// A log that cannot be opened ends the run with exit code 1, whatever the
// run had come to: the log and the exit code are all that is seen of it.
void EndIfLogFailed(LogOutcome logged) {
  if (logged == LogCannotBeOpened)
    exit(1);
}

// Ctrl+C and Ctrl+Break at the console reach the update too, which decides
// for itself; the run goes on, waits for it, records its result and
// removes its copy as always. Closing the window, logging off and shutting
// down go to the next handler, the system's, which ends the run. A handler
// is not inherited: the update's own Ctrl+C stays as it was.
BOOL WINAPI KeepRunningOnBreak(DWORD event) {
  return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? TRUE : FALSE;
}

}  // namespace

int RunUpdate(int argc, char** argv) {
  char starting_directory[kRunDirectorySize];
  char run_directory[kRunDirectorySize];
  char system_root[kSystemRootSize];
  char staging_path[kStagingPathSize];
  // Holds the staging directory from its creation to its removal.
  HANDLE staging_pin = INVALID_HANDLE_VALUE;
  memset(starting_directory, 0, sizeof starting_directory);
  memset(run_directory, 0, sizeof run_directory);
  // Exactly one argument names the package directory, which is copied to
  // the staging directory first; any other count runs in place.
  bool staged = argc == 2;

  // Without it the run goes on as before: a break would end it at once.
  SetConsoleCtrlHandler(KeepRunningOnBreak, TRUE);
  ReadSystemRoot(system_root);

  // A value at least as large as the buffer is the size the path would
  // need: the directory was not read, and going on would run the update
  // wherever the process happens to be.
  DWORD length = GetCurrentDirectoryA(sizeof starting_directory,
                                      starting_directory);
  if (length == 0 || length >= sizeof starting_directory) {
    ReportLine("Unable to determine current directory.  Aborting update!");
    EndIfLogFailed(LogResult(1));
    return 1;
  }

  if (staged) {
    MendQuotedBackslash(argv[1]);
    if (!FindPackageDirectory(argv[1], starting_directory, system_root,
                              run_directory)) {
      EndIfLogFailed(LogResult(1));
      return 1;
    }
  }

  // Every run that gets this far reserves a staging name, one in place
  // too; a run that stopped above made nothing in the root of the system
  // drive, not even for a moment.
  ReserveStagingName(system_root, staging_path);

  if (staged) {
    if (StageFiles(system_root, run_directory, staging_path,
                   &staging_pin) != 0) {
      ReportLine("Copying update files to the hard drive failed.");
      EndIfLogFailed(LogResult(1));
      return 1;
    }
    memset(run_directory, 0, sizeof run_directory);
    strcpy(run_directory, staging_path);
  } else {
    memcpy(run_directory, starting_directory, sizeof run_directory);
  }

  // In place the run directory is current already. A staged run must not
  // start the update wherever it happens to be, which may be the package
  // itself, nor from a folder that another account put in place of the
  // copy: a copy that cannot be entered as the one made is a staging that
  // failed, and stays like one that could not be filled.
  if (!staged) {
    SetCurrentDirectoryA(run_directory);
  } else if (!EnterStagingDirectory(staging_path, staging_pin)) {
    CloseHandle(staging_pin);
    SetCurrentDirectoryA(starting_directory);
    ReportLine("Copying update files to the hard drive failed.");
    EndIfLogFailed(LogResult(1));
    return 1;
  }
  int32_t result = CheckAndRunUpdate();
  // Recorded while the run directory is current: its version file counts.
  // A record that could not be written ends the run below, after the
  // clean-up: the copy is never left behind for it.
  LogOutcome logged = LogResult(result);
  // Windows removes no folder that a process stands in: where the starting
  // folder is gone (a CD taken out, a folder removed), the root of the
  // system drive stands in for it, unannounced.
  if (!SetCurrentDirectoryA(starting_directory) && staged)
    SetCurrentDirectoryA(system_root);

  // The clean-up reports what it cannot remove; the result stays the
  // update's, unless the log could not be opened.
  if (staged)
    CleanUpStaging(staging_path, staging_pin);
  EndIfLogFailed(logged);
  return result;
}
