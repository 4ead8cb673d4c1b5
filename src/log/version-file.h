#ifndef ZODERUDO_LOG_VERSION_FILE_H_
#define ZODERUDO_LOG_VERSION_FILE_H_

// Reads the package's version file, "version.id" in the current directory,
// into the two values (buffers of kVersionValueSize characters), by the
// rules of ReadVersionText. Returns false, with both values empty, when the
// file cannot be opened. A read that fails part way keeps what was read.
// Under a double-byte ANSI code page a value ends with a whole character:
// a lead byte left without its trail byte (the line cut at 127 bytes
// inside a character) is dropped.
bool ReadVersionFile(char* update, char* new_version);

#endif  // ZODERUDO_LOG_VERSION_FILE_H_
