#ifndef ZODERUDO_LOG_LOG_PATH_H_
#define ZODERUDO_LOG_LOG_PATH_H_

// Size of the log path buffer, the terminating zero included.
const unsigned kLogPathSize = 128;

// The log folder and the log file in it.
const char kLogFolder[] = "\\ZRLOG";
const char kLogFile[] = "\\ZR.log";

// The longest drive text that leaves room for the folder and file names.
const unsigned kLongestLogDrive =
    kLogPathSize - 1 - (sizeof kLogFolder - 1) - (sizeof kLogFile - 1);

// Writes the log folder's path into `path` (kLogPathSize characters,
// zero-filled first): the value of the environment variable systemdrive,
// its name in any letter case, followed by "\ZRLOG". When the variable is
// missing or empty, the first two characters of the system directory (its
// drive) stand in for it. Returns false, with `path` empty, when neither
// gives a drive or the value is longer than kLongestLogDrive.
bool MakeLogFolderPath(char* path);

#endif  // ZODERUDO_LOG_LOG_PATH_H_
