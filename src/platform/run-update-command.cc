#include "platform/run-update-command.h"

#include <string.h>

#include "console/console-break.h"
#include "os/os.h"

namespace {

const char kCommandPrefix[] = "cmd /d /c \"";
const char kCommandSuffix[] = "\"";
const char kInterpreter[] = "\\cmd.exe";

static_assert(sizeof kCommandPrefix - 1 + kLongestCommandName +
                      sizeof kCommandSuffix - 1 + 1 == MAX_PATH,
              "the longest command name fills the command line exactly");

// The error of a call that just failed. A failure must never read as the
// exit code 0, so a call that failed without saying why still gives one.
uint32_t LastErrorOfFailure() {
  DWORD error = GetLastError();
  return error != 0 ? error : ERROR_GEN_FAILURE;
}

// The system's own interpreter, by its full path: without one the system
// would look for cmd.exe beside this program and in the current folder
// first, where whoever may write there can put a program of their own.
// An error number when the system folder cannot be read or the path
// does not fit.
uint32_t FindInterpreter(char* application) {
  memset(application, 0, MAX_PATH);
  UINT length = GetSystemDirectoryA(application, MAX_PATH);
  if (length == 0)
    return LastErrorOfFailure();
  if (length + strlen(kInterpreter) >= MAX_PATH) {
    memset(application, 0, MAX_PATH);
    return ERROR_FILENAME_EXCED_RANGE;
  }
  strcat(application, kInterpreter);
  return ERROR_SUCCESS;
}

}  // namespace

uint32_t RunUpdateCommand(const char* name) {
  if (strlen(name) > kLongestCommandName)
    return ERROR_FILENAME_EXCED_RANGE;

  STARTUPINFOA startup;
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  memset(&process, 0, sizeof process);

  char command_line[MAX_PATH];
  memset(command_line, 0, sizeof command_line);
  strcpy(command_line, kCommandPrefix);
  strcat(command_line, name);
  strcat(command_line, kCommandSuffix);

  char application[MAX_PATH];
  uint32_t interpreter_error = FindInterpreter(application);
  if (interpreter_error != ERROR_SUCCESS)
    return interpreter_error;

  // The last look for a break: until here nothing was installed. From
  // here on the update sees any break itself, and decides.
  if (BreakNoted()) {
    ReportCancelled();
    return static_cast<uint32_t>(ResultCancelled);
  }
  // The child inherits our console, environment and current directory.
  if (!CreateProcessA(application, command_line, nullptr, nullptr, FALSE, 0,
                      nullptr, nullptr, &startup, &process))
    return LastErrorOfFailure();

  DWORD exit_code = 0;
  uint32_t result;
  if (WaitForSingleObject(process.hProcess, INFINITE) != WAIT_OBJECT_0)
    result = LastErrorOfFailure();
  else if (!GetExitCodeProcess(process.hProcess, &exit_code))
    result = LastErrorOfFailure();
  else
    result = exit_code;

  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return result;
}
