#ifndef ZODERUDO_REPORT_REPORT_TABLE_H_
#define ZODERUDO_REPORT_REPORT_TABLE_H_

#include <stddef.h>
#include <stdint.h>

#include "log/result-record.h"
#include "log/version-text.h"

// What a row says of a computer and package. The first five follow from
// the last record's return code; the rest stand for a whole log, or for a
// listed computer without one. The summary names them in this order.
enum RowOutcome {
  OutcomeSuccess,         // 0
  OutcomeNotApplicable,   // 99
  OutcomeRestartNeeded,   // 3010
  OutcomeRestartStarted,  // 1641
  OutcomeFailed,          // any other code
  OutcomeNoRecord,        // a log without a record (of the package asked for)
  OutcomeNoLog,           // a listed computer of which no log was given
  OutcomeUnreadable,      // a log that could not be read
  OutcomeCount
};

// The outcome's name in the table ("restart-needed").
const char* OutcomeName(int outcome);

// How much of a name Windows keeps as the computer's name: a name is cut
// to 15 bytes in %COMPUTERNAME%.
const size_t kComputerNameKept = 15;

// Orders computer names as Windows tells computers apart: by the first
// label (a DNS name's part before the first dot; an IPv4 address, whose
// first label is digits, whole) and of that the first kComputerNameKept
// bytes, ASCII letters without regard to case (PC042 and pc042.corp.local
// are one computer), other bytes (a double-byte character's second byte
// too) as they are.
int CompareComputerNames(const char* a, const char* b);

// The outcome of a record's return code.
int OutcomeOfCode(int32_t code);

// One row: the last record of one package (update and new texts) in one
// computer's log, or a whole log's outcome (no date, time or texts).
struct ReportRow {
  const char* computer;  // owned by the table
  int outcome;
  int32_t return_code;
  uint32_t order;  // in order of reading: of two equal times, the later
  uint32_t log;    // the number of the log the row comes from
  uint32_t package_hash;  // of the package key: most rows differ in it
  uint64_t stamp;  // the record's date and time as YYYYMMDDhhmmss
  char update[kVersionValueSize];
  char new_version[kVersionValueSize];
};

// The row's date (YYYY-MM-DD) and time (hh:mm:ss), kTripleSize each.
void FormatRowDate(const ReportRow& row, char* date);
void FormatRowTime(const ReportRow& row, char* time);

// Where a row of the log being read lies, found by its package's hash.
struct PackageSlot {
  uint32_t log;  // the slot is the current log's when this is its number
  uint32_t row;
};

// One log read, and where its records' hashes lie.
struct LogCopy {
  const char* computer;
  uint32_t number;
  bool superseded;  // its records lead another copy's: an older state
  size_t first_hash;
  size_t records;
};

// The rows, in memory that grows as logs are read (the C runtime's heap:
// a fleet has no fixed size).
struct ReportTable {
  ReportRow* rows;
  size_t count;
  size_t capacity;
  char** computers;
  size_t computer_count;
  size_t computer_capacity;
  uint32_t next_order;
  // Only New is the package's key: one row per computer for one version,
  // whatever it updated.
  bool new_only;
  // The rows of the log being read, by package: a record finds its row at
  // once however many packages one log holds.
  PackageSlot* slots;
  size_t slot_capacity;  // a power of two, at least twice the log's rows
  uint32_t log_number;
  size_t first_row;
  // Each log's records as running hashes (one per record, of it and all
  // before it), to find a copy that another copy of the log has grown
  // from.
  LogCopy* logs;
  size_t log_capacity;
  uint64_t* hashes;
  size_t hash_count;
  size_t hash_capacity;
};

void StartTable(ReportTable* table);
void FreeTable(ReportTable* table);

// Keeps a copy of the computer's name for the rows of one log; null when
// memory runs out.
const char* AddComputer(ReportTable* table, const char* name);

// Starts the rows of the next log, of `computer` (a name kept by
// AddComputer); false when memory runs out.
bool StartLogRows(ReportTable* table, const char* computer);

// Takes a record line of the log being read (`length` bytes), every
// package's, to tell whether this copy of the log leads another; false
// when memory runs out.
bool AddLogRecordLine(ReportTable* table, const char* line, size_t length);

// Takes a record of the log being read: it replaces the row of its
// package in that log, as a later record of the same log, or adds one.
// False when memory runs out.
bool AddRecordRow(ReportTable* table, const char* computer,
                  const LogRecord& record);

// Adds the row of a log without a record, one that could not be read, or
// a listed computer without a log.
bool AddLogRow(ReportTable* table, const char* computer, int outcome);

// Puts the rows in the table's order: by computer (ASCII letters without
// regard to case), then update, then new, bytewise; a log's own row comes
// before its computer's packages. Logs of one computer are taken
// together: a copy whose records are a leading part of another copy's
// gives no row (the longer copy's last record wins whatever the clock
// said); of the other copies' rows of a package the one with the latest
// date and time stays (the later read if equal), a computer's log rows of one
// kind become one, and a log without a record gives no row to a computer with
// records in another log. A computer's rows all show its name as the
// first of them spells it. With `new_only`, each computer keeps one row:
// its record if it has one, else no-record if a log of it was read, else
// unreadable.
void FinishTable(ReportTable* table);

#endif  // ZODERUDO_REPORT_REPORT_TABLE_H_
