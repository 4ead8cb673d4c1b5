#ifndef ZODERUDO_CHECK_VERSION_RULES_H_
#define ZODERUDO_CHECK_VERSION_RULES_H_

#include "check/findings.h"

// The package's version file, read from the current folder: errors when
// it is missing, begins with a byte order mark or is UTF-16; warnings for a
// value longer than the log keeps, or holding " or %, which a startup
// script's marker cannot hold. Then read by the log's own reader
// (ReadVersionFile), with the record a run would write: an error for an
// empty New, warnings for an empty Update and a value with blanks (or a CR)
// at its start or end.
void CheckVersionFile(Findings* findings);

#endif  // ZODERUDO_CHECK_VERSION_RULES_H_
