// Reading a result record back: the other way of the format that
// result-record.cc writes, kept apart so that the program that only writes
// records links none of it.
#include <string.h>

#include "log/result-record.h"

namespace {

// Reads `count` decimal digits at `text` into `value`.
bool ReadDigits(const char* text, unsigned count, uint16_t* value) {
  unsigned number = 0;
  for (unsigned i = 0; i < count; ++i) {
    if (text[i] < '0' || text[i] > '9')
      return false;
    number = number * 10 + static_cast<unsigned>(text[i] - '0');
  }
  *value = static_cast<uint16_t>(number);
  return true;
}

// "MM-DD-YYYY hh:mm:ss", as FormatTriple writes the local time of a run
// from the year 1000 on.
const size_t kStampLength = 19;

bool ReadStamp(const char* text, LogRecord* record) {
  return ReadDigits(text, 2, &record->month) && text[2] == '-' &&
         ReadDigits(text + 3, 2, &record->day) && text[5] == '-' &&
         ReadDigits(text + 6, 4, &record->year) && text[10] == ' ' &&
         ReadDigits(text + 11, 2, &record->hour) && text[13] == ':' &&
         ReadDigits(text + 14, 2, &record->minute) && text[16] == ':' &&
         ReadDigits(text + 17, 2, &record->second) && record->month >= 1 &&
         record->month <= 12 && record->day >= 1 && record->day <= 31 &&
         record->year >= 1000 && record->hour <= 23 && record->minute <= 59 &&
         record->second <= 59;
}

// The code as the writer puts an int32: an optional minus sign, then
// no leading zero unless the code is 0.
bool ReadCode(const char* text, size_t length, int32_t* code) {
  bool negative = length > 0 && text[0] == '-';
  size_t first = negative ? 1 : 0;
  if (length == first || length - first > 10 ||
      (text[first] == '0' && length - first > 1) ||
      (negative && text[first] == '0')) {
    return false;
  }
  int64_t magnitude = 0;
  for (size_t i = first; i < length; ++i) {
    if (text[i] < '0' || text[i] > '9')
      return false;
    magnitude = magnitude * 10 + (text[i] - '0');
  }
  int64_t value = negative ? -magnitude : magnitude;
  if (value < INT32_MIN || value > INT32_MAX)
    return false;
  *code = static_cast<int32_t>(value);
  return true;
}

// The last place in [begin, end) where `word` starts, else null.
const char* FindLast(const char* begin, const char* end, const char* word,
                     size_t word_length) {
  if (static_cast<size_t>(end - begin) < word_length)
    return nullptr;
  for (const char* at = end - word_length;; --at) {
    if (memcmp(at, word, word_length) == 0)
      return at;
    if (at == begin)
      return nullptr;
  }
}

// Copies a version text read from a record: no longer than the writer
// takes from the version file, and without the NUL that ends it there.
bool CopyValue(const char* begin, const char* end, char* value) {
  size_t length = static_cast<size_t>(end - begin);
  if (length >= kVersionValueSize || memchr(begin, '\0', length) != nullptr)
    return false;
  memcpy(value, begin, length);
  value[length] = '\0';
  return true;
}

}  // namespace

bool ParseLogRecord(const char* line, size_t length, LogRecord* record) {
  const char* end = line + length;
  // The writer ends every record with a blank and CR LF; a copy may have
  // lost the CR, never the blank: a line without it was cut short (a
  // torn "ReturnCode=301" of 3010 is no record of the code 301).
  if (end > line && end[-1] == '\r')
    --end;
  if (end == line || end[-1] != ' ')
    return false;
  --end;
  const size_t update_at = kStampLength + sizeof kUpdateField - 1;
  if (static_cast<size_t>(end - line) < update_at || !ReadStamp(line, record) ||
      memcmp(line + kStampLength, kUpdateField, sizeof kUpdateField - 1) != 0)
    return false;
  const char* update = line + update_at;

  const char* code = FindLast(update, end, kCodeField, sizeof kCodeField - 1);
  if (code == nullptr ||
      !ReadCode(code + sizeof kCodeField - 1,
                static_cast<size_t>(end - code) - (sizeof kCodeField - 1),
                &record->result))
    return false;
  const char* status =
      FindLast(update, code, kStatusField, sizeof kStatusField - 1);
  if (status == nullptr)
    return false;
  const char* word = status + sizeof kStatusField - 1;
  const char* expected = record->result == 0 ? kSuccess : kUnknown;
  if (static_cast<size_t>(code - word) != strlen(expected) ||
      memcmp(word, expected, strlen(expected)) != 0)
    return false;
  const char* new_field =
      FindLast(update, status, kNewField, sizeof kNewField - 1);
  return new_field != nullptr &&
         CopyValue(update, new_field, record->update) &&
         CopyValue(new_field + sizeof kNewField - 1, status,
                   record->new_version);
}
