#ifndef ZODERUDO_REPORT_LIST_FILE_H_
#define ZODERUDO_REPORT_LIST_FILE_H_

#include "log/text-lines.h"
#include "os/os.h"

// Reads a list an administrator wrote (of paths, of computers) and hands
// on its lines as ReadTextLines does, in the ANSI code page: a list saved
// by Notepad as "Unicode" (UTF-16 with its byte order mark, either byte
// order) is converted, and a UTF-8 byte order mark is dropped; a CR alone
// ends a line too. Returns ERROR_SUCCESS or the system's error number;
// ERROR_NOT_ENOUGH_MEMORY when the list does not fit in memory (it is read
// whole); kUnmarkedUtf16, with no line handed on, for a list that holds
// NUL bytes without a UTF-16 byte order mark (UTF-16 without its mark).
DWORD ReadListFile(const char* path, TextLineHandler handler, void* context);

// Error numbers with bit 29 set are an application's own, never the
// system's.
const DWORD kUnmarkedUtf16 = 0x20000001;

// Reads a log that a collecting script saved anew in UTF-16 (with its byte
// order mark), converted as a list is; a CR alone stays in its line. The
// records the program appended to it later, in the ANSI code page, follow
// as they are.
DWORD ReadUtf16Log(const char* path, TextLineHandler handler, void* context);

#endif  // ZODERUDO_REPORT_LIST_FILE_H_
