#ifndef ZODERUDO_RUN_RUN_UPDATE_H_
#define ZODERUDO_RUN_RUN_UPDATE_H_

// Size of the directory buffers held for a run: a path of up to 260
// characters and its terminating zero.
const unsigned long kRunDirectorySize = 261;

// One whole run, given the command line split into words (the program's own
// name counted). Runs the check and the update in the current directory,
// records the result in the log and returns the exit code of the process. The current directory is the same
// on return as on entry.
int RunUpdate(int argc, char** argv);

#endif  // ZODERUDO_RUN_RUN_UPDATE_H_
