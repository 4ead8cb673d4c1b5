#ifndef ZODERUDO_PLATFORM_CHECK_AND_RUN_UPDATE_H_
#define ZODERUDO_PLATFORM_CHECK_AND_RUN_UPDATE_H_

#include <stdint.h>

// The update does not apply to the running system.
const int32_t ResultNotApplicable = 99;

// The package's update command, as cmd is given it: cmd finds it by the
// extensions of PATHEXT.
const char kUpdateCommand[] = "ZELMOR_UPDATE";

// Size of each driver path buffer, the terminating zero included.
const unsigned kDriverPathSize = 256;

// The longest system directory the driver paths can hold: room must stay
// for "\DRIVERS", the longest driver name and the terminating zero.
const unsigned kLongestSystemDirectory = 234;

// Decides whether the update applies (NT 5.0 or 5.2 with one of that
// version's driver files present, and not a 64-bit Windows, where the
// program runs under WoW64) and if so runs the package's update command in
// the current directory. Returns the command's exit code,
// ResultNotApplicable, or the error number of a command that could not run.
int32_t CheckAndRunUpdate();

// True when the directory search finds no entry at `path`. Any entry counts
// as present, a folder too; any failure of the search counts as absent.
bool DriverFileAbsent(const char* path);

#endif  // ZODERUDO_PLATFORM_CHECK_AND_RUN_UPDATE_H_
