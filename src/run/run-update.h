#ifndef ZODERUDO_RUN_RUN_UPDATE_H_
#define ZODERUDO_RUN_RUN_UPDATE_H_

// Size of the directory buffers held for a run: a path of up to 260
// characters and its terminating zero.
const unsigned long kRunDirectorySize = 261;

// One whole run, given the command line split into words (the program's own
// name counted). With exactly one argument, the package directory, the
// package is first copied to a staging directory in the root of the system
// drive and the update runs from the copy, which is removed afterwards;
// otherwise the check and the update run in the current directory. The
// result is recorded in the log and returned as the process's exit code.
// The current directory is the same on return as on entry.
int RunUpdate(int argc, char** argv);

#endif  // ZODERUDO_RUN_RUN_UPDATE_H_
