#ifndef ZODERUDO_STAGING_PATH_LIMITS_H_
#define ZODERUDO_STAGING_PATH_LIMITS_H_

// CreateDirectoryA documents a limit below MAX_PATH for the ANSI form:
// room is kept for an 8.3 name (12 characters) below the folder. Wine does
// not apply it, Windows does, so a package must keep to it to be copied on
// every PC. Counted like MAX_PATH, the terminating zero included: a folder
// path has at most kFolderPathLimit - 1 characters.
const unsigned kFolderPathLimit = 248;

#endif  // ZODERUDO_STAGING_PATH_LIMITS_H_
