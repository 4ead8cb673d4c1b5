// Fuzzes the version-file reading and the building of the result record
// against a plain model of both, and the reading of the record back. Input: 4 bytes of result code, 1 byte of
// chunk size, 6 bytes of date and time, then the version file's bytes.
// Any difference, or a record that breaks its form, aborts.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "log/result-record.h"
#include "log/version-text.h"

namespace {

void Check(bool ok) {
  if (!ok) abort();
}

// The file read as Windows text, as two values: CR LF becomes LF, 0x1A
// ends the text, a value is its line up to a NUL, at most 127 characters.
void Model(const std::string& bytes, std::string* update,
           std::string* new_version) {
  std::string text;
  for (size_t i = 0; i < bytes.size() && bytes[i] != '\x1A'; ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
      continue;
    text += bytes[i];
  }
  std::string* values[] = {update, new_version};
  size_t start = 0;
  for (std::string* value : values) {
    value->clear();
    if (start > text.size()) continue;
    size_t end = text.find('\n', start);
    std::string line =
        text.substr(start, end == std::string::npos ? std::string::npos
                                                    : end - start);
    *value = line.substr(0, std::min(line.find('\0'), size_t{127}));
    start = end == std::string::npos ? text.size() + 1 : end + 1;
  }
}

std::string Two(unsigned value) {
  std::string text = std::to_string(value);
  return text.size() < 2 ? "0" + text : text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 11) return 0;
  int32_t result;
  memcpy(&result, data, 4);
  size_t chunk = data[4] % 16 + 1;
  uint16_t fields[3] = {static_cast<uint16_t>(data[5] | data[6] << 8),
                        data[7], data[8]};
  uint16_t hour = data[9], minute = data[10];
  std::string bytes(reinterpret_cast<const char*>(data) + 11, size - 11);

  char update[kVersionValueSize];
  char new_version[kVersionValueSize];
  memset(update, '#', sizeof update);
  memset(new_version, '#', sizeof new_version);
  ReadVersionText(bytes.data(), bytes.size(), update, new_version);
  std::string model_update, model_new;
  Model(bytes, &model_update, &model_new);
  Check(model_update == update && model_new == new_version);

  // The same bytes in small pieces give the same values.
  VersionReader reader;
  StartVersionReader(&reader);
  for (size_t at = 0; at < bytes.size(); at += chunk) {
    if (!FeedVersionReader(&reader, bytes.data() + at,
                           std::min(chunk, bytes.size() - at)))
      break;
  }
  FinishVersionReader(&reader);
  Check(strcmp(reader.update, update) == 0 &&
        strcmp(reader.new_version, new_version) == 0);

  char date[kTripleSize], time[kTripleSize];
  FormatTriple(fields[1], fields[2], fields[0], 1, date);
  FormatTriple(hour, minute, fields[2], 0, time);
  Check(date == Two(fields[1]) + "-" + Two(fields[2]) + "-" + Two(fields[0]));
  Check(time == Two(hour) + ":" + Two(minute) + ":" + Two(fields[2]));

  char record[kRecordSize];
  unsigned length =
      BuildLogRecord(date, time, update, new_version, result, record);
  std::string expected = std::string(date) + " " + time + ",Update=" + update +
                         ",New=" + new_version + ",Status=" +
                         (result == 0 ? "Success" : "Unknown") +
                         ",ReturnCode=" + std::to_string(result) + " \r\n";
  Check(length < kRecordSize && record[length] == '\0');
  Check(std::string(record, length) == expected);

  // Read back as a log line (without its LF), it gives what was written
  // wherever a clock could have given the date and time, and unless New
  // holds ",New=" (then the reader gives its start to Update).
  LogRecord read;
  bool readable = ParseLogRecord(record, length - 1, &read);
  bool clock = fields[0] >= 1000 && fields[0] <= 9999 && fields[1] >= 1 &&
               fields[1] <= 12 && fields[2] >= 1 && fields[2] <= 31 &&
               hour <= 23 && minute <= 59;
  if (clock && strstr(new_version, ",New=") == nullptr) {
    Check(readable && strcmp(read.update, update) == 0 &&
          strcmp(read.new_version, new_version) == 0 &&
          read.result == result && read.year == fields[0] &&
          read.month == fields[1] && read.day == fields[2] &&
          read.hour == hour && read.minute == minute &&
          read.second == fields[2]);
  }
  // Any bytes at all as a line: read or refused, never a fault.
  ParseLogRecord(bytes.data(), bytes.size(), &read);
  return 0;
}
