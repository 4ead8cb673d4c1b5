#ifndef ZODERUDO_LOG_LOG_RESULT_H_
#define ZODERUDO_LOG_LOG_RESULT_H_

#include <stdint.h>

// Records one run: takes the local date and time, reads the version file in
// the current directory and appends the result record to the log. Returns
// 0 when the record was written, 1 when the version file cannot be read
// ("zoDerudo: Cannot Read Version.id file"; the log is not touched). Does
// not return when the log cannot be opened (see OpenLogFile).
int32_t LogResult(int32_t result);

// Opens the log, appends the record of these texts and the result in one
// write, and closes the log.
void WriteLogRecord(const char* date, const char* time, const char* update,
                    const char* new_version, int32_t result);

#endif  // ZODERUDO_LOG_LOG_RESULT_H_
