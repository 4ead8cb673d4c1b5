#include "run/run-update.h"

#include <stdlib.h>
#include <string.h>

#include "console/console-break.h"
#include "console/report-line.h"
#include "log/log-result.h"
#include "os/os.h"
#include "platform/check-and-run-update.h"
#include "run/staged-run.h"
#include "staging/staging-area.h"

static_assert(kStagingPathSize <= kRunDirectorySize,
              "the staging path is run from the run directory");

namespace {

// A log that cannot be opened or written ends the run with exit code 1,
// whatever the run had come to: the log and the exit code are all that is
// seen of it.
void EndIfLogFailed(LogOutcome logged) {
  if (logged == LogFailed)
    exit(1);
}

// Windows removes no folder that a process stands in: where the starting
// folder is gone (a CD taken out, a folder removed), the root of the
// system drive stands in for it, unannounced.
void ReturnToStart(const char* starting_directory, const char* system_root) {
  if (!SetCurrentDirectoryA(starting_directory))
    SetCurrentDirectoryA(system_root);
}

}  // namespace

int RunUpdate(int argc, char** argv) {
  char starting_directory[kRunDirectorySize];
  char run_directory[kRunDirectorySize];
  char system_root[kSystemRootSize];
  char staging_path[kStagingPathSize];
  memset(staging_path, 0, sizeof staging_path);
  // Holds the staging directory from its creation to its removal.
  HANDLE staging_pin = INVALID_HANDLE_VALUE;
  memset(starting_directory, 0, sizeof starting_directory);
  memset(run_directory, 0, sizeof run_directory);
  // Exactly one argument names the package directory, which is copied to
  // the staging directory first; any other count runs in place.
  bool staged = argc == 2;

  // Set before anything is copied: a break stops the run up to the start
  // of the update, with nothing installed (console-break.h).
  WatchForBreak();
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

  if (staged) {
    int staged_files = StageFiles(system_root, run_directory, staging_path,
                                  &staging_pin);
    // Stopped by a break: recorded with the package's own version file,
    // as the run would have been; the copy may not hold it.
    if (staged_files == kStagingCancelled) {
      SetCurrentDirectoryA(run_directory);
      LogOutcome logged = LogResult(ResultCancelled);
      SetCurrentDirectoryA(starting_directory);
      EndIfLogFailed(logged);
      return ResultCancelled;
    }
    if (staged_files != 0) {
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
  // failed, and is removed like one that could not be filled.
  if (!staged) {
    SetCurrentDirectoryA(run_directory);
  } else if (!EnterStagingDirectory(staging_path, staging_pin)) {
    ReturnToStart(starting_directory, system_root);
    RemoveStagingDirectory(staging_path, staging_pin);
    ReportLine("Copying update files to the hard drive failed.");
    EndIfLogFailed(LogResult(1));
    return 1;
  }
  int32_t result = CheckAndRunUpdate();
  // Recorded while the run directory is current: its version file counts.
  // A record that could not be written ends the run below, after the
  // clean-up: the copy is never left behind for it.
  LogOutcome logged = LogResult(result);
  if (staged)
    ReturnToStart(starting_directory, system_root);
  else
    SetCurrentDirectoryA(starting_directory);

  // The clean-up reports what it cannot remove; the result stays the
  // update's, unless the log could not be written.
  if (staged)
    CleanUpStaging(staging_path, staging_pin);
  EndIfLogFailed(logged);
  return result;
}
