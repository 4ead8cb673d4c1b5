#ifndef ZODERUDO_STAGING_STAGING_SECURITY_H_
#define ZODERUDO_STAGING_STAGING_SECURITY_H_

#include "os/os.h"

// Room for the staging folder's ACL: its header and four entries, the
// account's SID at its largest (68 bytes) among them.
const unsigned kStagingAclSize = 256;

// What the staging folder is made with: a protected DACL, inherited by
// every file and folder made in it, that gives full control to SYSTEM,
// Administrators and the account the program runs as, and read and
// execute to Everyone. Nobody else may add, change or remove anything, so
// no other account can plant code that the update would run.
//
// The descriptor points into the record itself: it is built where it is
// used and never copied.
struct StagingSecurity {
  SECURITY_ATTRIBUTES attributes;
  SECURITY_DESCRIPTOR descriptor;
  DWORD acl[kStagingAclSize / sizeof(DWORD)];  // an ACL is DWORD-aligned
};

enum StagingSecurityOutcome {
  StagingSecurityBuilt,       // `attributes` are ready to make the folder
  StagingSecurityNotOffered,  // no such security (Windows 9x): make it bare
  StagingSecurityFailed,      // the system has it, but it could not be built
};

// Builds the record with the security calls of ADVAPI32, looked up at run
// time so that the exe imports nothing from it. Everything it loads, opens
// or allocates is given back before it returns.
StagingSecurityOutcome BuildStagingSecurity(StagingSecurity* security);

#endif  // ZODERUDO_STAGING_STAGING_SECURITY_H_
