#ifndef ZODERUDO_CHECK_NAME_RULES_H_
#define ZODERUDO_CHECK_NAME_RULES_H_

#include "check/code-page-text.h"
#include "check/findings.h"
#include "check/package-tree.h"

// The longest name a Joliet CD holds, in UTF-16 characters.
const int kLongestJolietName = 64;

// The rules on an entry's own name: errors for a DOS device name (CON,
// PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9, with any extension), a
// trailing dot or blank, a character Windows refuses, and no exact form
// in one of `pages`; `on_cd`, a warning for a name longer than Joliet
// holds. Read by characters of the listing's code page.
void CheckName(Findings* findings, const PackageEntry& entry,
               const CodePages& pages, bool on_cd);

// The rule on a name of the path above the package folder where it is
// run (a share's server, share and folders): an error for no exact form
// in one of `pages`, where that path leads nowhere.
void CheckNameAbove(Findings* findings, const PackageEntry& entry,
                    const CodePages& pages);

#endif  // ZODERUDO_CHECK_NAME_RULES_H_
