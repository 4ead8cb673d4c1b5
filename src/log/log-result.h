#ifndef ZODERUDO_LOG_LOG_RESULT_H_
#define ZODERUDO_LOG_LOG_RESULT_H_

#include <stdint.h>

enum LogOutcome {
  LogWritten = 0,
  LogWithoutVersionFile = 1,
  LogFailed = 2,
};

// Records one run: takes the local date and time, reads the version file in
// the current directory and appends the result record to the log. Returns
// LogWritten when the record was written whole; LogWithoutVersionFile when
// the version file cannot be read ("zoDerudo: Cannot Read Version.id
// file"; the log is not touched); and LogFailed when the log cannot be
// opened or the record not written whole ("Log File Creation Failed!",
// see log-file.h), which must end the run with exit code 1.
LogOutcome LogResult(int32_t result);

// Opens the log, appends the record of these texts and the result in one
// write, and closes the log. False when the log cannot be opened or the
// record is not written whole.
bool WriteLogRecord(const char* date, const char* time, const char* update,
                    const char* new_version, int32_t result);

#endif  // ZODERUDO_LOG_LOG_RESULT_H_
