#ifndef ZODERUDO_CHECK_RUN_CHECK_H_
#define ZODERUDO_CHECK_RUN_CHECK_H_

// Exit codes of zrcheck.
const int CheckPassed = 0;  // no error (warnings may have been found)
const int CheckFailed = 1;  // at least one error
const int CheckUsage = 2;   // a usage error, or a folder that cannot be read

// zrcheck [--at PATH] [--code-page N]... PACKAGE_FOLDER: names every fault
// of the package that a run on a PC would meet, one line per finding on
// standard output ("RELATIVE\PATH: error|warning: TEXT", sorted by path),
// then a line with the counts. Returns the exit code.
int RunCheck(int argc, char** argv);

#endif  // ZODERUDO_CHECK_RUN_CHECK_H_
