#include "log/version-file.h"

#include <string.h>

#include "log/version-text.h"
#include "os/os.h"

namespace {

const char kVersionFile[] = "version.id";
const DWORD kChunkSize = 256;

// A value cut at its 127 bytes can end inside a double-byte character: the
// lead byte would stand alone before the record's comma, and a reader in
// that code page would take the comma into the character. Such a byte
// goes; under a single-byte code page no byte is a lead byte.
void DropLoneLeadByte(char* value) {
  for (size_t i = 0; value[i] != '\0'; ++i) {
    if (!IsDBCSLeadByte(static_cast<BYTE>(value[i])))
      continue;
    if (value[i + 1] == '\0') {
      value[i] = '\0';
      return;
    }
    ++i;  // its trail byte
  }
}

}  // namespace

bool ReadVersionFile(char* update, char* new_version) {
  memset(update, 0, kVersionValueSize);
  memset(new_version, 0, kVersionValueSize);
  // Shared for reading and writing, as a C runtime opens it for "r".
  HANDLE file = CreateFileA(kVersionFile, GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return false;

  VersionReader reader;
  StartVersionReader(&reader);
  char chunk[kChunkSize];
  DWORD count = 0;
  while (ReadFile(file, chunk, kChunkSize, &count, nullptr) && count > 0 &&
         FeedVersionReader(&reader, chunk, count)) {
  }
  CloseHandle(file);
  FinishVersionReader(&reader);

  memcpy(update, reader.update, kVersionValueSize);
  memcpy(new_version, reader.new_version, kVersionValueSize);
  DropLoneLeadByte(update);
  DropLoneLeadByte(new_version);
  return true;
}
