#ifndef ZODERUDO_LOG_VERSION_TEXT_H_
#define ZODERUDO_LOG_VERSION_TEXT_H_

#include <stddef.h>

// Size of each version value: up to 127 characters and the terminating zero.
const unsigned kVersionValueSize = 128;

// Reads the two version values out of the bytes of a version file, given in
// one piece or in several in order. Line 1 is the installed version
// (Update), line 2 the new one (New); later lines are not looked at.
//
// The bytes are read as Windows text: a line ends at LF, a CR directly
// before the LF is dropped (any other CR stays), and the byte 0x1A ends the
// text as an end-of-file mark. A value is the first 127 characters of its
// own line; the rest of a longer line is skipped, so it never reaches the
// next value. A NUL byte ends the value it falls in. A line that is missing
// or empty gives an empty value.
struct VersionReader {
  char update[kVersionValueSize];
  char new_version[kVersionValueSize];
  unsigned line;             // 0 or 1 while reading; 2 once both are read
  unsigned length;           // characters in the current value
  bool value_ended;          // a NUL ended the current value
  bool carriage_return;      // a CR waits: dropped if LF follows
  bool end_of_text;          // the 0x1A mark was met
};

// Zero-fills both values and starts at line 1.
void StartVersionReader(VersionReader* reader);

// Takes the next `count` bytes. Returns false once nothing more is needed
// (both lines read, or the end-of-file mark met).
bool FeedVersionReader(VersionReader* reader, const char* bytes, size_t count);

// The input is over: a CR still waiting belongs to its value.
void FinishVersionReader(VersionReader* reader);

// The whole file at once: both values into buffers of kVersionValueSize.
void ReadVersionText(const char* bytes, size_t count, char* update,
                     char* new_version);

#endif  // ZODERUDO_LOG_VERSION_TEXT_H_
