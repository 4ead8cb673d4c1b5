#ifndef ZODERUDO_CHECK_PROGRAM_RULES_H_
#define ZODERUDO_CHECK_PROGRAM_RULES_H_

#include "check/exe-version.h"
#include "check/findings.h"

// The program's file in the package folder.
const char kProgramFile[] = "zoderudo.exe";

// zrcheck's own version, which the program's is compared with.
ExeVersion CheckerVersion();

// Warnings when the package folder (the current folder) holds no
// kProgramFile, when its version cannot be read, or when it differs from
// zrcheck's. `present`: the walk listed such a file.
void CheckProgram(Findings* findings, bool present);

#endif  // ZODERUDO_CHECK_PROGRAM_RULES_H_
