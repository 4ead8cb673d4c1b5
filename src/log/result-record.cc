#include "log/result-record.h"

#include <string.h>

#include "log/version-text.h"

namespace {

const char kLineEnd[] = " \r\n";
const unsigned kLongestDecimal = 11;  // -2147483648

// Every field at its longest still fits, with room to spare.
static_assert(2 * (kTripleSize - 1) + 1 + sizeof ",Update=" - 1 +
                      2 * (kVersionValueSize - 1) + sizeof ",New=" - 1 +
                      sizeof ",Status=" - 1 + sizeof "Success" - 1 +
                      sizeof ",ReturnCode=" - 1 + kLongestDecimal +
                      sizeof kLineEnd - 1 + 1 <=
                  kRecordSize,
              "the longest record fits its buffer");

// A text being built in a buffer of `size` characters; appends that do not
// fit are cut short, always leaving the terminating zero.
struct Builder {
  char* text;
  unsigned length;
  unsigned size;
};

void Append(Builder* builder, const char* part) {
  while (*part != '\0' && builder->length + 1 < builder->size)
    builder->text[builder->length++] = *part++;
  builder->text[builder->length] = '\0';
}

// Base 10 with a minus sign for negative values and at least `digits`
// digits (at most 20); the smallest value is negated without overflow.
unsigned WriteDecimal(int64_t value, unsigned digits, char* text) {
  char reversed[24];
  unsigned count = 0;
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value)
                                 : static_cast<uint64_t>(value);
  do {
    reversed[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0 || count < digits);
  unsigned length = 0;
  if (value < 0)
    text[length++] = '-';
  while (count > 0)
    text[length++] = reversed[--count];
  text[length] = '\0';
  return length;
}

void AppendDecimal(Builder* builder, int64_t value, unsigned digits) {
  char text[kDecimalSize + 2];
  WriteDecimal(value, digits, text);
  Append(builder, text);
}

}  // namespace

void FormatTriple(uint16_t first, uint16_t second, uint16_t third,
                  uint8_t dashes, char* text) {
  const char* separator = dashes != 0 ? "-" : ":";
  Builder builder = {text, 0, kTripleSize};
  memset(text, 0, kTripleSize);
  AppendDecimal(&builder, first, 2);
  Append(&builder, separator);
  AppendDecimal(&builder, second, 2);
  Append(&builder, separator);
  AppendDecimal(&builder, third, 2);
}

unsigned BuildLogRecord(const char* date, const char* time, const char* update,
                        const char* new_version, int32_t result,
                        char* record) {
  memset(record, 0, kRecordSize);
  // The fields may take all but the room of the line end.
  Builder builder = {record, 0, kRecordSize - (sizeof kLineEnd - 1)};
  Append(&builder, date);
  Append(&builder, " ");
  Append(&builder, time);
  Append(&builder, kUpdateField);
  Append(&builder, update);
  Append(&builder, kNewField);
  Append(&builder, new_version);
  Append(&builder, kStatusField);
  Append(&builder, result == 0 ? kSuccess : kUnknown);
  Append(&builder, kCodeField);
  AppendDecimal(&builder, result, 1);
  builder.size = kRecordSize;
  Append(&builder, kLineEnd);
  return builder.length;
}

unsigned FormatDecimal(int64_t value, char* text) {
  return WriteDecimal(value, 1, text);
}
