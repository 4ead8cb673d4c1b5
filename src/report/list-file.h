#ifndef ZODERUDO_REPORT_LIST_FILE_H_
#define ZODERUDO_REPORT_LIST_FILE_H_

#include "log/text-lines.h"
#include "os/os.h"

// Reads a list an administrator wrote (of paths, of computers) and hands
// on its lines as ReadTextLines does, in the ANSI code page: a list saved
// by Notepad as "Unicode" (UTF-16 with its byte order mark, either byte
// order) is converted, and a UTF-8 byte order mark is dropped. Returns
// ERROR_SUCCESS or the system's error number; ERROR_NOT_ENOUGH_MEMORY
// when the list does not fit in memory (it is read whole).
DWORD ReadListFile(const char* path, TextLineHandler handler, void* context);

#endif  // ZODERUDO_REPORT_LIST_FILE_H_
