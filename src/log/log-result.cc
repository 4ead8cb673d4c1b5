#include "log/log-result.h"

#include "console/report-line.h"
#include "log/log-file.h"
#include "log/result-record.h"
#include "log/version-file.h"
#include "log/version-text.h"
#include "os/os.h"

LogOutcome LogResult(int32_t result) {
  // The time of the result, taken before anything else.
  SYSTEMTIME now;
  GetLocalTime(&now);

  char update[kVersionValueSize];
  char new_version[kVersionValueSize];
  if (!ReadVersionFile(update, new_version)) {
    ReportLine("zoDerudo: Cannot Read Version.id file");
    return LogWithoutVersionFile;
  }

  char time_text[kTripleSize];
  char date_text[kTripleSize];
  FormatTriple(now.wHour, now.wMinute, now.wSecond, 0, time_text);
  FormatTriple(now.wMonth, now.wDay, now.wYear, 1, date_text);
  return WriteLogRecord(date_text, time_text, update, new_version, result)
             ? LogWritten
             : LogCannotBeOpened;
}

bool WriteLogRecord(const char* date, const char* time, const char* update,
                    const char* new_version, int32_t result) {
  HANDLE log = OpenLogFile();
  if (log == INVALID_HANDLE_VALUE)
    return false;
  char record[kRecordSize];
  DWORD length =
      BuildLogRecord(date, time, update, new_version, result, record);
  DWORD written = 0;
  // A write that fails once the log is open (a full disk) is not reported:
  // the record is lost and the exit code stays the update's.
  WriteFile(log, record, length, &written, nullptr);
  CloseLogFile(log);
  return true;
}
