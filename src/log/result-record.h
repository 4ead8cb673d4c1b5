#ifndef ZODERUDO_LOG_RESULT_RECORD_H_
#define ZODERUDO_LOG_RESULT_RECORD_H_

#include <stddef.h>
#include <stdint.h>

#include "log/version-text.h"

// Size of a date or time text: three values of up to 65535, two
// separators and the terminating zero.
const unsigned kTripleSize = 18;

// Size of the buffer a result record is built in.
const unsigned kRecordSize = 512;

// The record's field names and status words, for writing and reading.
const char kUpdateField[] = ",Update=";
const char kNewField[] = ",New=";
const char kStatusField[] = ",Status=";
const char kCodeField[] = ",ReturnCode=";
const char kSuccess[] = "Success";
const char kUnknown[] = "Unknown";

// Writes three values, each with at least two digits (a leading zero below
// 10), joined by "-" when `dashes` is non-zero and by ":" when it is zero,
// into `text` (kTripleSize characters). Month, day, year with dashes give
// the date text (03-07-2005); hour, minute, second without give the time
// text (09:05:41).
void FormatTriple(uint16_t first, uint16_t second, uint16_t third,
                  uint8_t dashes, char* text);

// Builds the result record in `record` (kRecordSize characters, zero-filled
// first) and returns its length:
//   DATE TIME,Update=UPDATE,New=NEW,Status=STATUS,ReturnCode=CODE CR LF
// with one blank before CR LF. STATUS is Success for the result 0 and
// Unknown for every other; CODE is the result as a signed decimal number.
// Texts too long for the buffer are cut short; the line end always stays.
unsigned BuildLogRecord(const char* date, const char* time, const char* update,
                        const char* new_version, int32_t result, char* record);

// Size of a signed decimal text of 64 bits, sign and terminating zero
// included.
const unsigned kDecimalSize = 21;

// Writes `value` in base 10, with a minus sign when negative, no plus sign
// and no leading zeros, into `text` (kDecimalSize characters); returns its
// length. The record's ReturnCode is written so.
unsigned FormatDecimal(int64_t value, char* text);

// One result record read back.
struct LogRecord {
  uint16_t year, month, day, hour, minute, second;
  char update[kVersionValueSize];
  char new_version[kVersionValueSize];
  int32_t result;
};

// Reads one line of a log (`length` bytes, without its LF; a CR before
// the LF is dropped here) as a result record. False for any line that
// the writer does not make, a line without its final blank included. The version texts may hold anything, even
// ",New=" or ",Status=", so the fields are found from the right: the
// code after the last ",ReturnCode=", the status word after the last
// ",Status=" before it, and New after the last ",New=" before that; a
// New text that itself holds ",New=" is thus read short, and the rest
// goes to Update.
bool ParseLogRecord(const char* line, size_t length, LogRecord* record);

#endif  // ZODERUDO_LOG_RESULT_RECORD_H_
