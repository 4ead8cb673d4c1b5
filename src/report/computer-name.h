#ifndef ZODERUDO_REPORT_COMPUTER_NAME_H_
#define ZODERUDO_REPORT_COMPUTER_NAME_H_

#include "os/os.h"

// Size of a computer name: a file name's at most, and the zero.
const unsigned kComputerSize = MAX_PATH;

// An ASCII letter in lower case, any other byte as it is: names of files
// and computers compare so on any Windows, whatever the code page.
inline char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

// Where the last name of `path` starts: after its last backslash or
// slash (a trail byte 0x5C of a double-byte character is none).
const char* LastNameOf(const char* path);

// The computer the log at `path` belongs to, into `computer`
// (kComputerSize characters):
// - a file named ZR.log (any letter case), the log as a PC keeps it or
//   a copy of it: in \\PC042\C$\ZRLOG\ZR.log (or at the share's root)
//   the server, PC042; in X:\ZRLOG\ZR.log (or at the drive's root) this
//   computer; anywhere else the folder above it, a folder ZRLOG skipped
//   (...\PC001\ZR.log and ...\PC001\ZRLOG\ZR.log are PC001), as copies
//   collected one folder per PC lie;
// - any other file to its name without the extension, as it is
//   (PC042.log is PC042), as administrators name the copies they collect.
void ComputerOfLog(const char* path, char* computer);

#endif  // ZODERUDO_REPORT_COMPUTER_NAME_H_
