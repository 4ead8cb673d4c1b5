#include "log/version-text.h"

#include <string.h>

namespace {

const char kEndOfFileMark = 0x1A;
const unsigned kLongestValue = kVersionValueSize - 1;

char* CurrentValue(VersionReader* reader) {
  return reader->line == 0 ? reader->update : reader->new_version;
}

// One character of the text, after the line ends are dealt with.
void TakeCharacter(VersionReader* reader, char c) {
  if (reader->line >= 2 || reader->value_ended)
    return;
  if (c == '\0') {
    reader->value_ended = true;
  } else if (reader->length < kLongestValue) {
    CurrentValue(reader)[reader->length++] = c;
  }
}

void EndLine(VersionReader* reader) {
  ++reader->line;
  reader->length = 0;
  reader->value_ended = false;
}

void TakeWaitingCarriageReturn(VersionReader* reader) {
  if (reader->carriage_return) {
    reader->carriage_return = false;
    TakeCharacter(reader, '\r');
  }
}

}  // namespace

void StartVersionReader(VersionReader* reader) {
  memset(reader, 0, sizeof *reader);
}

bool FeedVersionReader(VersionReader* reader, const char* bytes,
                       size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (reader->line >= 2 || reader->end_of_text)
      return false;
    char c = bytes[i];
    if (c == '\n') {
      reader->carriage_return = false;
      EndLine(reader);
    } else if (c == kEndOfFileMark) {
      TakeWaitingCarriageReturn(reader);
      reader->end_of_text = true;
    } else {
      TakeWaitingCarriageReturn(reader);
      if (c == '\r') {
        reader->carriage_return = true;
      } else {
        TakeCharacter(reader, c);
      }
    }
  }
  return reader->line < 2 && !reader->end_of_text;
}

void FinishVersionReader(VersionReader* reader) {
  TakeWaitingCarriageReturn(reader);
}

void ReadVersionText(const char* bytes, size_t count, char* update,
                     char* new_version) {
  VersionReader reader;
  StartVersionReader(&reader);
  FeedVersionReader(&reader, bytes, count);
  FinishVersionReader(&reader);
  memcpy(update, reader.update, kVersionValueSize);
  memcpy(new_version, reader.new_version, kVersionValueSize);
}
