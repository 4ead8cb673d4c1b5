#ifndef ZODERUDO_STAGING_PATH_CHARACTERS_H_
#define ZODERUDO_STAGING_PATH_CHARACTERS_H_

#include <stddef.h>

// Paths are narrow strings in the system's ANSI code page. Where that page
// is double-byte (Japanese, Chinese), the second byte of a character can be
// 0x5C, the byte of the backslash: only a scan from the start of the string
// tells a separator from such a byte. Under a single-byte page every byte
// is a character.

// How many bytes the character at `text` takes: 2 for a lead byte with a
// byte behind it, 1 for any other byte, 0 at the terminating zero.
size_t CharacterLength(const char* text);

// The length of `path` without the backslashes it ends with.
size_t LengthBeforeTrailingBackslashes(const char* path);

// Whether the last character of `path` is a backslash.
bool EndsWithBackslash(const char* path);

// Whether two paths are one name, letter case of the single-byte letters
// A to Z and trailing backslashes aside. A double-byte character matches
// only itself.
bool SameFolderName(const char* first, const char* second);

#endif  // ZODERUDO_STAGING_PATH_CHARACTERS_H_
