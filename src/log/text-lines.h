#ifndef ZODERUDO_LOG_TEXT_LINES_H_
#define ZODERUDO_LOG_TEXT_LINES_H_

#include <stddef.h>

#include "os/os.h"

// Size of the blocks a text file is read in: a log grows with every run,
// and a fleet's logs are many files, so each is read in few large reads.
const DWORD kTextBlockSize = 64 * 1024;

// The longest line handed on whole; the rest of a longer line is skipped.
const size_t kLongestTextLine = kTextBlockSize - 1;

// How a line handed on ended.
enum TextLineEnd {
  LineEnded,     // with LF (or CR LF): as a writer finishes a line
  LineUnended,   // the file's last line, without a line end
  LineTooLong,   // longer than kLongestTextLine: only its start is given
};

// Called for each line, numbered from 1: `length` bytes without the LF
// and without a CR directly before it. A line however long is handed on
// once, with one number.
typedef void (*TextLineHandler)(void* context, const char* line,
                                size_t length, unsigned number,
                                TextLineEnd end);

// Reads the text file at `path` line by line, as Windows writes text: a
// line ends with CR LF (or LF alone), the last one may end without it,
// and one end-of-file mark 0x1A that ends the file is not text. Returns
// ERROR_SUCCESS, or the system's error number when the file cannot be
// opened or read (the lines before a failed read have been handed on).
// Others may append to the file meanwhile: it is shared for reading and
// writing, and read up to where its end is found.
DWORD ReadTextLines(const char* path, TextLineHandler handler, void* context);

// How a text file was saved, as its first bytes show.
enum TextSaving {
  SavedAnsi,           // bytes in the ANSI code page, as the program writes
  SavedUtf8,           // after a UTF-8 byte order mark
  SavedUtf16,          // UTF-16 after its byte order mark, either order
  SavedUtf16Unmarked,  // every other byte NUL, the rest not: UTF-16 text
                       // without its mark
};

// The saving that the first `length` bytes of a text show.
TextSaving TextSavingOf(const char* bytes, size_t length);

// As ReadTextLines, for a file that a tool other than the writer may have
// saved anew (a copy made by a collecting script): a UTF-8 byte order mark
// is skipped; a UTF-16 file, marked or not, hands on no line. `*saving`
// tells which.
DWORD ReadSavedTextLines(const char* path, TextLineHandler handler,
                         void* context, TextSaving* saving);

// Hands on the lines of `bytes` held in memory, as ReadTextLines does those
// of a file.
void SplitTextLines(const char* bytes, size_t length, TextLineHandler handler,
                    void* context);

#endif  // ZODERUDO_LOG_TEXT_LINES_H_
