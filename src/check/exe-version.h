#ifndef ZODERUDO_CHECK_EXE_VERSION_H_
#define ZODERUDO_CHECK_EXE_VERSION_H_

#include <stddef.h>
#include <stdint.h>

// The file version of a 32-bit Windows program, from its version resource
// (VS_FIXEDFILEINFO), read from the file's bytes as they are: no call of
// the system's, so it works the same in every build and the exe imports
// nothing for it.

// The largest exe read; the program is far smaller.
const size_t kLargestExe = 8 * 1024 * 1024;

// The four parts, most significant first.
struct ExeVersion {
  uint16_t parts[4];
};

// From an image's bytes: false when they hold no version resource.
bool FindExeVersion(const unsigned char* image, size_t size,
                    ExeVersion* version);

// From the file at `path`: false when it cannot be read or holds none.
bool ReadExeVersion(const char* path, ExeVersion* version);

#endif  // ZODERUDO_CHECK_EXE_VERSION_H_
