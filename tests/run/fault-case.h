// One whole run with at most one failing call of the layer, on a fresh
// scratch machine, in a child process of its own: the run may end the
// process (a log that cannot be opened), and a crash or a hang must not
// take the test with it.
//
// The machine: drive C: is a new temporary folder with Windows 2000 or XP,
// a driver in C:\WINDOWS\system32\DRIVERS, a log C:\ZRLOG\ZR.log that holds
// one earlier record and an end-of-file mark, a starting folder C:\start
// with a version file of its own, and the package C:\pkg: a version file, a
// sub-folder with a further one, a hidden and a read-only file, and an
// update command that records the folder it runs in outside drive C: and
// exits with a given code.
#ifndef ZODERUDO_TESTS_RUN_FAULT_CASE_H_
#define ZODERUDO_TESTS_RUN_FAULT_CASE_H_

#include <stddef.h>
#include <stdint.h>

#include <map>
#include <string>

#include "os/os.h"

struct FaultScenario {
  const char* name;
  bool staged;      // the package folder is the argument; else run in it
  bool applies;     // Windows 2000 (the driver counts) or XP (99)
  int update_exit;  // what the update command exits with
};

// The `nth` call of `function` fails with `error`; no function, no failure.
struct Injection {
  std::string function;
  DWORD error = ERROR_SUCCESS;
  int nth = 0;
};

// A tree of files below a folder: relative path (with '/') to "dir" or
// "file <r|w> <content>".
using TreeSnapshot = std::map<std::string, std::string>;

struct FaultOutcome {
  bool ended = false;     // the child ended before the time limit
  bool exited = false;    // and not by a signal
  int exit_status = 0;    // its 8-bit exit status
  bool reported = false;  // it wrote its report (on return or at exit)
  bool returned = false;  // RunUpdate returned; else it ended the process
  uint32_t result = 0;    // what RunUpdate returned
  size_t open_handles = 0;  // on return, or at exit
  bool at_start = false;    // the starting folder was current then
  std::string console;      // standard output of the run
  std::string errors;       // its standard error (the update's, if any)
  std::string failed_call;  // the failed call as traced (HostTraceCalls)
  bool update_ran = false;
  std::string update_folder;  // below drive C:, if the update could tell
  std::map<std::string, int> calls;  // calls of the layer during the run
  TreeSnapshot before;  // drive C: before the run
  TreeSnapshot after;   // and after it
};

// The log's record from before the run, and what follows it in the file.
extern const char kEarlierRecord[];

// Makes the machine, runs the scenario with the injection in a child
// process (killed after `seconds`), and removes the machine again.
FaultOutcome RunFaultCase(const FaultScenario& scenario,
                          const Injection& injection, int seconds = 30);

#endif  // ZODERUDO_TESTS_RUN_FAULT_CASE_H_
