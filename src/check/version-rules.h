#ifndef ZODERUDO_CHECK_VERSION_RULES_H_
#define ZODERUDO_CHECK_VERSION_RULES_H_

#include "check/findings.h"

// The package's version file, read from the current folder as the log
// reads it: errors when it is missing, has fewer than two lines, begins
// with a byte order mark or is UTF-16; warnings for a value longer than the
// log keeps, or holding " or %, which a startup script's marker cannot
// hold.
void CheckVersionFile(Findings* findings);

#endif  // ZODERUDO_CHECK_VERSION_RULES_H_
