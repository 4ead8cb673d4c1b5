#ifndef ZODERUDO_PLATFORM_RUN_UPDATE_COMMAND_H_
#define ZODERUDO_PLATFORM_RUN_UPDATE_COMMAND_H_

#include <stdint.h>

// The longest command name that fits the command-line buffer together with
// `cmd /d /c "`, the closing quote and the terminating zero.
const unsigned kLongestCommandName = 247;

// Runs `cmd /d /c "<name>"` in the current directory, sharing the console
// and environment, and waits for it without time limit. The interpreter is
// the system's own, <system directory>\cmd.exe, never one that the search
// order would find first beside the program or in the current directory;
// the interpreter still finds <name> in the current directory. Returns the
// interpreter's exit code with all its bits, or the platform's error number
// (never 0) when it could not be started, waited for or asked for its code.
// A Ctrl+C noted before the interpreter is started (console-break.h) starts
// nothing: "Update cancelled (Ctrl+C); nothing was installed.", and the
// result is ResultCancelled.
uint32_t RunUpdateCommand(const char* name);

#endif  // ZODERUDO_PLATFORM_RUN_UPDATE_COMMAND_H_
