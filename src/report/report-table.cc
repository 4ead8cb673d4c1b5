#include "report/report-table.h"

#include <stdlib.h>
#include <string.h>

#include "os/os.h"

namespace {

const char* const kOutcomeNames[OutcomeCount] = {
    "success", "not-applicable", "restart-needed", "restart-started",
    "failed",  "no-record",      "no-log",         "unreadable"};

const size_t kFirstCapacity = 256;
const size_t kFirstSlots = 1024;

// Room for one more element in an array of `size`-byte elements that
// doubles as it fills; false, with the array as it was, when memory runs
// out.
bool MakeRoom(void** items, size_t count, size_t* capacity, size_t size) {
  if (count < *capacity)
    return true;
  size_t wanted = *capacity == 0 ? kFirstCapacity : *capacity * 2;
  if (wanted > static_cast<size_t>(-1) / size)
    return false;
  void* grown = realloc(*items, wanted * size);
  if (grown == nullptr)
    return false;
  *items = grown;
  *capacity = wanted;
  return true;
}

ReportRow* NewRow(ReportTable* table, const char* computer, int outcome) {
  void* rows = table->rows;
  if (!MakeRoom(&rows, table->count, &table->capacity, sizeof(ReportRow)))
    return nullptr;
  table->rows = static_cast<ReportRow*>(rows);
  ReportRow* row = &table->rows[table->count++];
  memset(row, 0, sizeof *row);
  row->computer = computer;
  row->outcome = outcome;
  row->order = table->next_order++;
  row->log = table->log_number;
  return row;
}

void FillFromRecord(ReportRow* row, const LogRecord& record, uint32_t order) {
  row->outcome = OutcomeOfCode(record.result);
  row->return_code = record.result;
  row->order = order;
  row->stamp = ((((record.year * 100ull + record.month) * 100 + record.day) *
                     100 +
                 record.hour) *
                    100 +
                record.minute) *
                   100 +
               record.second;
}

// FNV-1a over both texts, the zero between them included: a row of
// another package is told apart without comparing texts.
uint32_t HashText(uint32_t hash, const char* text) {
  do {
    hash = (hash ^ static_cast<unsigned char>(*text)) * 16777619u;
  } while (*text++ != '\0');
  return hash;
}

uint32_t HashPackage(const char* update, const char* new_version) {
  return HashText(HashText(2166136261u, update), new_version);
}

}  // namespace

namespace {

// The byte of a name at `i` as computers are told apart, 0 past the part
// that tells; `digits` is whether all before `i` were digits and dots,
// `trail` whether the byte is the second of a double-byte character (one
// in 0x41-0x5A is no letter).
unsigned char NameByte(const char* name, size_t i, bool* digits,
                       bool* trail) {
  unsigned char c = static_cast<unsigned char>(name[i]);
  bool letter = !*trail;
  *trail = letter && IsDBCSLeadByte(c);
  if (i == kComputerNameKept || (c == '.' && !*digits && letter))
    return '\0';
  if (c != '.' && (c < '0' || c > '9'))
    *digits = false;
  return letter && c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32)
                                        : c;
}

}  // namespace

int CompareComputerNames(const char* a, const char* b) {
  bool a_digits = true, b_digits = true, a_trail = false, b_trail = false;
  for (size_t i = 0;; ++i) {
    unsigned char x = NameByte(a, i, &a_digits, &a_trail);
    unsigned char y = NameByte(b, i, &b_digits, &b_trail);
    if (x != y || x == '\0')
      return x < y ? -1 : x > y ? 1 : 0;
  }
}

namespace {

// A log's own rows first (unreadable, then no record or no log), then the
// packages.
int KindOf(const ReportRow& row) {
  return row.outcome == OutcomeUnreadable ? 0
         : row.outcome == OutcomeNoRecord || row.outcome == OutcomeNoLog ? 1
                                                                          : 2;
}

// Set by FinishTable for qsort, which takes no context.
bool sorting_new_only = false;

// Computer, kind, update, new: rows equal in these say the same thing.
int CompareKeys(const ReportRow& a, const ReportRow& b) {
  int order = CompareComputerNames(a.computer, b.computer);
  if (order == 0)
    order = KindOf(a) - KindOf(b);
  if (order == 0 && !sorting_new_only)
    order = strcmp(a.update, b.update);
  if (order == 0)
    order = strcmp(a.new_version, b.new_version);
  return order;
}

// The key, then the latest last.
int CompareRows(const void* left, const void* right) {
  const ReportRow& a = *static_cast<const ReportRow*>(left);
  const ReportRow& b = *static_cast<const ReportRow*>(right);
  int order = CompareKeys(a, b);
  if (order == 0)
    order = a.stamp < b.stamp ? -1 : a.stamp > b.stamp ? 1 : 0;
  if (order == 0)
    order = a.order < b.order ? -1 : a.order > b.order ? 1 : 0;
  return order;
}

}  // namespace

namespace {

int CompareCopyNumbers(const void* left, const void* right) {
  uint32_t a = static_cast<const LogCopy*>(left)->number;
  uint32_t b = static_cast<const LogCopy*>(right)->number;
  return a < b ? -1 : a > b ? 1 : 0;
}

int CompareCopies(const void* left, const void* right) {
  const LogCopy& a = *static_cast<const LogCopy*>(left);
  const LogCopy& b = *static_cast<const LogCopy*>(right);
  int order = CompareComputerNames(a.computer, b.computer);
  return order != 0 ? order : CompareCopyNumbers(left, right);
}

// Whether the records of `a` are a leading part of those of `b`, fewer.
bool LeadsCopy(const ReportTable& table, const LogCopy& a, const LogCopy& b) {
  return a.records > 0 && a.records < b.records &&
         table.hashes[a.first_hash + a.records - 1] ==
             table.hashes[b.first_hash + a.records - 1];
}

// A copy whose records lead another copy's of one computer is that log
// before it grew: the clock may have gone back since, so its rows go
// whatever their time.
void DropLeadingCopies(ReportTable* table) {
  size_t count = table->log_number;
  if (count < 2)
    return;
  qsort(table->logs, count, sizeof(LogCopy), CompareCopies);
  bool any = false;
  for (size_t group = 0, end; group < count; group = end) {
    end = group + 1;
    while (end < count && CompareComputerNames(table->logs[group].computer,
                                               table->logs[end].computer) == 0)
      ++end;
    for (size_t i = group; i < end; ++i) {
      for (size_t j = group; j < end && !table->logs[i].superseded; ++j) {
        if (LeadsCopy(*table, table->logs[i], table->logs[j]))
          table->logs[i].superseded = any = true;
      }
    }
  }
  qsort(table->logs, count, sizeof(LogCopy), CompareCopyNumbers);
  if (!any)
    return;
  size_t kept = 0;
  for (size_t i = 0; i < table->count; ++i) {
    const ReportRow& row = table->rows[i];
    if (KindOf(row) == 2 && table->logs[row.log - 1].superseded)
      continue;
    table->rows[kept++] = row;
  }
  table->count = kept;
}

}  // namespace

const char* OutcomeName(int outcome) {
  return outcome >= 0 && outcome < OutcomeCount ? kOutcomeNames[outcome] : "";
}

int OutcomeOfCode(int32_t code) {
  switch (code) {
    case 0:
      return OutcomeSuccess;
    case 99:
      return OutcomeNotApplicable;
    case 3010:
      return OutcomeRestartNeeded;
    case 1641:
      return OutcomeRestartStarted;
    default:
      return OutcomeFailed;
  }
}

void FormatRowDate(const ReportRow& row, char* date) {
  FormatTriple(static_cast<uint16_t>(row.stamp / 10000000000ull),
               static_cast<uint16_t>(row.stamp / 100000000 % 100),
               static_cast<uint16_t>(row.stamp / 1000000 % 100), 1, date);
}

void FormatRowTime(const ReportRow& row, char* time) {
  FormatTriple(static_cast<uint16_t>(row.stamp / 10000 % 100),
               static_cast<uint16_t>(row.stamp / 100 % 100),
               static_cast<uint16_t>(row.stamp % 100), 0, time);
}

void StartTable(ReportTable* table) { memset(table, 0, sizeof *table); }

void FreeTable(ReportTable* table) {
  for (size_t i = 0; i < table->computer_count; ++i)
    free(table->computers[i]);
  free(table->computers);
  free(table->rows);
  free(table->slots);
  free(table->logs);
  free(table->hashes);
  StartTable(table);
}

const char* AddComputer(ReportTable* table, const char* name) {
  void* computers = table->computers;
  if (!MakeRoom(&computers, table->computer_count, &table->computer_capacity,
                sizeof(char*)))
    return nullptr;
  table->computers = static_cast<char**>(computers);
  size_t size = strlen(name) + 1;
  char* copy = static_cast<char*>(malloc(size));
  if (copy == nullptr)
    return nullptr;
  memcpy(copy, name, size);
  table->computers[table->computer_count++] = copy;
  return copy;
}

bool StartLogRows(ReportTable* table, const char* computer) {
  void* logs = table->logs;
  if (!MakeRoom(&logs, table->log_number, &table->log_capacity,
                sizeof(LogCopy)))
    return false;
  table->logs = static_cast<LogCopy*>(logs);
  LogCopy* log = &table->logs[table->log_number++];
  log->computer = computer;
  log->number = table->log_number;
  log->superseded = false;
  log->first_hash = table->hash_count;
  log->records = 0;
  table->first_row = table->count;
  return true;
}

bool AddLogRecordLine(ReportTable* table, const char* line, size_t length) {
  void* hashes = table->hashes;
  if (!MakeRoom(&hashes, table->hash_count, &table->hash_capacity,
                sizeof(uint64_t)))
    return false;
  table->hashes = static_cast<uint64_t*>(hashes);
  LogCopy* log = &table->logs[table->log_number - 1];
  // On from the record before, eight bytes at a time (a byte at a time
  // took as long as reading the logs); the length ends the line.
  uint64_t hash = log->records > 0 ? table->hashes[table->hash_count - 1]
                                   : 14695981039346656037ull;
  for (size_t at = 0; at < length; at += 8) {
    uint64_t word = 0;
    memcpy(&word, line + at, length - at < 8 ? length - at : 8);
    hash = (hash ^ word) * 0x9E3779B97F4A7C15ull;
    hash ^= hash >> 29;
  }
  table->hashes[table->hash_count++] = (hash ^ length) * 0x9E3779B97F4A7C15ull;
  ++log->records;
  return true;
}

namespace {

bool SamePackage(const ReportTable& table, const ReportRow& row,
                 const LogRecord& record) {
  return (table.new_only || strcmp(row.update, record.update) == 0) &&
         strcmp(row.new_version, record.new_version) == 0;
}

// The slot of the row with this hash and package in the current log, or
// the free slot where it goes.
PackageSlot* FindSlot(ReportTable* table, uint32_t hash,
                      const LogRecord* record) {
  size_t mask = table->slot_capacity - 1;
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    PackageSlot* slot = &table->slots[i];
    if (slot->log != table->log_number)
      return slot;
    const ReportRow& row = table->rows[slot->row];
    if (record != nullptr && row.package_hash == hash &&
        SamePackage(*table, row, *record))
      return slot;
  }
}

// Room in the slots for one more row of the current log: twice as many
// slots as its rows keep the probes short. False when memory runs out.
bool MakeSlotRoom(ReportTable* table) {
  size_t rows = table->count - table->first_row + 1;
  if (rows * 2 <= table->slot_capacity)
    return true;
  size_t wanted =
      table->slot_capacity == 0 ? kFirstSlots : table->slot_capacity * 2;
  if (wanted > static_cast<size_t>(-1) / sizeof(PackageSlot))
    return false;
  void* grown = calloc(wanted, sizeof(PackageSlot));
  if (grown == nullptr)
    return false;
  free(table->slots);
  table->slots = static_cast<PackageSlot*>(grown);
  table->slot_capacity = wanted;
  // The current log's rows again; every other slot is free (log 0).
  for (size_t i = table->first_row; i < table->count; ++i) {
    PackageSlot* slot = FindSlot(table, table->rows[i].package_hash, nullptr);
    slot->log = table->log_number;
    slot->row = static_cast<uint32_t>(i);
  }
  return true;
}

}  // namespace

bool AddRecordRow(ReportTable* table, const char* computer,
                  const LogRecord& record) {
  uint32_t hash = HashPackage(table->new_only ? "" : record.update,
                              record.new_version);
  if (!MakeSlotRoom(table))
    return false;
  PackageSlot* slot = FindSlot(table, hash, &record);
  if (slot->log == table->log_number) {
    ReportRow* row = &table->rows[slot->row];
    FillFromRecord(row, record, table->next_order++);
    // New only: the last record stands with whatever it updated.
    strcpy(row->update, record.update);
    return true;
  }
  ReportRow* row = NewRow(table, computer, OutcomeFailed);
  if (row == nullptr)
    return false;
  strcpy(row->update, record.update);
  strcpy(row->new_version, record.new_version);
  row->package_hash = hash;
  FillFromRecord(row, record, row->order);
  slot->log = table->log_number;
  slot->row = static_cast<uint32_t>(table->count - 1);
  return true;
}

bool AddLogRow(ReportTable* table, const char* computer, int outcome) {
  return NewRow(table, computer, outcome) != nullptr;
}

void FinishTable(ReportTable* table) {
  if (table->count == 0)
    return;
  DropLeadingCopies(table);
  sorting_new_only = table->new_only;
  qsort(table->rows, table->count, sizeof(ReportRow), CompareRows);
  // Of rows with one key the last is the one to keep.
  size_t kept = 0;
  const char* spelling = nullptr;
  for (size_t i = 0; i < table->count; ++i) {
    if (spelling == nullptr ||
        CompareComputerNames(spelling, table->rows[i].computer) != 0)
      spelling = table->rows[i].computer;
    if (i + 1 < table->count &&
        CompareKeys(table->rows[i], table->rows[i + 1]) == 0)
      continue;
    table->rows[kept] = table->rows[i];
    table->rows[kept++].computer = spelling;
  }
  table->count = kept;
  // A computer's records say more than an empty copy of its log. Its
  // records come after its log rows, so look ahead within the computer.
  kept = 0;
  for (size_t i = 0; i < table->count; ++i) {
    const ReportRow& row = table->rows[i];
    if (row.outcome == OutcomeNoRecord) {
      size_t next = i + 1;
      if (next < table->count &&
          CompareComputerNames(row.computer, table->rows[next].computer) == 0 &&
          KindOf(table->rows[next]) == 2)
        continue;
    }
    // One version asked for: the computer's last row says most.
    if (table->new_only && i + 1 < table->count &&
        CompareComputerNames(row.computer, table->rows[i + 1].computer) == 0)
      continue;
    table->rows[kept++] = row;
  }
  table->count = kept;
  sorting_new_only = false;
}
