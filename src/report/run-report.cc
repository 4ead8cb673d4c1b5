#include "report/run-report.h"

#include <stdlib.h>
#include <string.h>

#include "console/message-text.h"
#include "console/report-line.h"
#include "log/result-record.h"
#include "log/text-lines.h"
#include "os/os.h"
#include "report/computer-list.h"
#include "report/computer-name.h"
#include "report/csv-output.h"
#include "report/list-file.h"
#include "report/report-options.h"
#include "report/report-table.h"

namespace {

const char kAllPattern[] = "*";
// Where a PC's log lies in a folder of copies collected one folder per PC.
const char* const kLogsInFolder[] = {"ZR.log", "ZRLOG\\ZR.log"};
// A file that is no log (setupapi.log) is named, not read out line by line.
const unsigned kRejectsSaid = 3;
// Versions told apart while no record of --package is found, and named.
const size_t kVersionsKept = 256;
const size_t kVersionsNamed = 10;

struct SeenVersion {
  char name[kVersionValueSize];
  unsigned records;
};

struct Report {
  ReportTable table;
  ComputerList listed;    // --computers, sorted
  const char* list_path;  // its file, or null
  const char* package;    // --package, or null
  bool trouble;        // a PATH or list that gave nothing to read
  bool out_of_memory;  // the table is not whole
  bool refused;        // a list that cannot be read as text
  unsigned matched;    // records of --package
  SeenVersion* seen;   // the other versions, while `matched` is 0
  size_t seen_count;
};

// The log being read and its records of the package asked for.
struct LogReading {
  Report* report;
  const char* path;
  const char* computer;
  unsigned records;
  unsigned rejected;  // lines that are no record
};

struct ListReading {
  Report* report;
  const char* path;
  unsigned paths;
};

// A console message built in pieces: paths, numbers and words.
struct Message {
  char text[2 * MAX_PATH + 128];
  size_t length;
};

void Say(Message* message, const char* part) {
  AppendMessageText(message->text, sizeof message->text, &message->length,
                    part);
}

void SayNumber(Message* message, int64_t number) {
  char text[kDecimalSize];
  FormatDecimal(number, text);
  Say(message, text);
}

void ReportError(const char* path, const char* what, DWORD error) {
  Message message = {};
  Say(&message, path);
  Say(&message, what);
  SayNumber(&message, error);
  Say(&message, ")");
  ReportErrorLine(message.text);
}

void ReportNumberedLine(const char* path, unsigned number, const char* what) {
  Message message = {};
  Say(&message, path);
  Say(&message, ":");
  SayNumber(&message, number);
  Say(&message, what);
  ReportErrorLine(message.text);
}

bool EndsWithNoCase(const char* text, const char* end) {
  size_t length = strlen(text), end_length = strlen(end);
  if (length < end_length)
    return false;
  for (size_t i = 0; i < end_length; ++i) {
    if (LowerAscii(text[length - end_length + i]) != end[i])
      return false;
  }
  return true;
}

// `folder` and `name` joined by a backslash (none added after one that
// ends the folder) into `path` (MAX_PATH characters); false if too long.
bool JoinPath(const char* folder, const char* name, char* path) {
  size_t length = strlen(folder);
  bool separator = LastNameOf(folder)[0] == '\0';
  if (length + (separator ? 0 : 1) + strlen(name) >= MAX_PATH)
    return false;
  strcpy(path, folder);
  if (!separator)
    strcat(path, "\\");
  strcat(path, name);
  return true;
}

// Tallies a version other than --package's while none of that is found,
// to name what the logs hold instead.
void CountVersion(Report* report, const char* version) {
  if (report->matched > 0)
    return;
  if (report->seen == nullptr) {
    report->seen =
        static_cast<SeenVersion*>(calloc(kVersionsKept, sizeof(SeenVersion)));
    if (report->seen == nullptr)
      return;  // the versions go unnamed; the table is whole
  }
  size_t i = 0;
  while (i < report->seen_count && strcmp(report->seen[i].name, version) != 0)
    ++i;
  if (i == kVersionsKept)
    return;
  if (i == report->seen_count) {
    strcpy(report->seen[i].name, version);
    ++report->seen_count;
  }
  ++report->seen[i].records;
}

int CompareSeen(const void* left, const void* right) {
  const SeenVersion& a = *static_cast<const SeenVersion*>(left);
  const SeenVersion& b = *static_cast<const SeenVersion*>(right);
  if (a.records != b.records)
    return a.records > b.records ? -1 : 1;
  return strcmp(a.name, b.name);
}

// No record of --package at all: what was asked is likely mistyped, so
// the versions the logs do hold are named, the commonest first.
void ReportVersionsSeen(Report* report) {
  if (report->package == nullptr || report->matched > 0)
    return;
  Message message = {};
  Say(&message, "zrreport: no log holds a record of version ");
  Say(&message, report->package);
  if (report->seen_count == 0) {
    Say(&message, "; the logs hold no record of any version");
  } else {
    qsort(report->seen, report->seen_count, sizeof(SeenVersion), CompareSeen);
    Say(&message, "; versions found:");
    for (size_t i = 0; i < report->seen_count && i < kVersionsNamed; ++i) {
      Say(&message, i == 0 ? " " : ", ");
      Say(&message, report->seen[i].name);
      Say(&message, " (");
      SayNumber(&message, report->seen[i].records);
      Say(&message, ")");
    }
  }
  ReportErrorLine(message.text);
}

// A record is a whole line as the program writes it: a last line without
// its line end was cut short.
void TakeLogLine(void* context, const char* line, size_t length,
                 unsigned number, TextLineEnd end) {
  LogReading* log = static_cast<LogReading*>(context);
  if (log->report->out_of_memory)
    return;
  LogRecord record;
  if (end != LineEnded || !ParseLogRecord(line, length, &record)) {
    if (++log->rejected <= kRejectsSaid)
      ReportNumberedLine(log->path, number, ": not a result record");
    return;
  }
  if (!AddLogRecordLine(&log->report->table, line, length)) {
    log->report->out_of_memory = true;
    return;
  }
  if (log->report->package != nullptr &&
      strcmp(record.new_version, log->report->package) != 0) {
    CountVersion(log->report, record.new_version);
    return;
  }
  ++log->records;
  ++log->report->matched;
  if (!AddRecordRow(&log->report->table, log->computer, record))
    log->report->out_of_memory = true;
}

// A log of a computer outside --computers is named, and still read; a
// listed computer's rows take the name as the list spells it.
void CheckListed(Report* report, const char* path, char* computer) {
  if (report->list_path == nullptr)
    return;
  ListedComputer* listed = FindListedComputer(report->listed, computer);
  if (listed != nullptr) {
    listed->has_log = true;
    strcpy(computer, listed->name);
    return;
  }
  Message message = {};
  Say(&message, path);
  Say(&message, ": ");
  Say(&message, computer);
  Say(&message, " is not in ");
  Say(&message, report->list_path);
  ReportErrorLine(message.text);
}

void ReadLog(Report* report, const char* path) {
  char name[kComputerSize];
  ComputerOfLog(path, name);
  CheckListed(report, path, name);
  LogReading log = {report, path, AddComputer(&report->table, name), 0, 0};
  if (log.computer == nullptr || !StartLogRows(&report->table, log.computer)) {
    report->out_of_memory = true;
    return;
  }
  TextSaving saving;
  DWORD error = ReadSavedTextLines(path, TakeLogLine, &log, &saving);
  if (error == ERROR_SUCCESS && saving == SavedUtf16)
    error = ReadUtf16Log(path, TakeLogLine, &log);
  if (report->out_of_memory)
    return;
  if (log.rejected > kRejectsSaid) {
    Message message = {};
    Say(&message, path);
    Say(&message, ": ");
    SayNumber(&message, log.rejected - kRejectsSaid);
    Say(&message, " more lines are not result records");
    ReportErrorLine(message.text);
  }
  int outcome = -1;
  if (error == ERROR_SUCCESS && saving == SavedUtf16Unmarked) {
    ReportErrorLine(path,
                    ": cannot read the log: it looks like UTF-16 "
                    "without a byte order mark");
    outcome = OutcomeUnreadable;
  } else if (error != ERROR_SUCCESS) {
    ReportError(path, ": cannot read the log (error ", error);
    outcome = OutcomeUnreadable;
  } else if (log.records == 0) {
    outcome = OutcomeNoRecord;
  }
  // Unreadable is said in the exit code even where another copy's record
  // fills the computer's one row.
  if (outcome == OutcomeUnreadable)
    report->trouble = true;
  if (outcome >= 0 && !AddLogRow(&report->table, log.computer, outcome))
    report->out_of_memory = true;
}

// A PC's log in a folder of its own, if there: a copy that is there but
// cannot be reached is read to say why.
unsigned ReadSubFolderLogs(Report* report, const char* folder) {
  unsigned logs = 0;
  for (const char* name : kLogsInFolder) {
    char path[MAX_PATH];
    if (!JoinPath(folder, name, path))
      continue;  // too long for any log to be found there
    DWORD attributes = GetFileAttributesA(path);
    DWORD error = attributes == INVALID_FILE_ATTRIBUTES ? GetLastError()
                                                        : ERROR_SUCCESS;
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
        (error == ERROR_SUCCESS &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0))
      continue;
    ++logs;
    ReadLog(report, path);
  }
  return logs;
}

// Every *.log file directly in the folder, and the logs of its
// sub-folders (one level down) that copies collected per PC make.
void ReadFolder(Report* report, const char* folder) {
  char path[MAX_PATH];
  if (!JoinPath(folder, kAllPattern, path)) {
    ReportErrorLine(folder, ": path too long");
    report->trouble = true;
    return;
  }
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(path, &found);
  if (search == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES)
      ReportErrorLine(folder, ": no .log file in this folder");
    else
      ReportError(folder, ": cannot list the folder (error ", error);
    report->trouble = true;
    return;
  }
  unsigned logs = 0;
  do {
    bool sub_folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (sub_folder ? strcmp(found.cFileName, ".") == 0 ||
                         strcmp(found.cFileName, "..") == 0
                   : !EndsWithNoCase(found.cFileName, ".log"))
      continue;
    if (!JoinPath(folder, found.cFileName, path)) {
      ReportErrorLine(folder, ": path too long");
      report->trouble = true;
      continue;
    }
    if (sub_folder) {
      logs += ReadSubFolderLogs(report, path);
    } else {
      ++logs;
      ReadLog(report, path);
    }
  } while (!report->out_of_memory && FindNextFileA(search, &found));
  FindClose(search);
  if (logs == 0) {
    ReportErrorLine(folder, ": no .log file in this folder");
    report->trouble = true;
  }
}

void ReadPath(Report* report, const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    ReadFolder(report, path);
  else  // a file, or nothing: opening it tells which error
    ReadLog(report, path);
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

void TakeListLine(void* context, const char* line, size_t length,
                  unsigned number, TextLineEnd) {
  ListReading* list = static_cast<ListReading*>(context);
  if (list->report->out_of_memory)
    return;
  while (length > 0 && IsBlank(line[0])) {
    ++line;
    --length;
  }
  while (length > 0 && IsBlank(line[length - 1]))
    --length;
  if (length == 0 || line[0] == ';')
    return;
  ++list->paths;
  if (length >= MAX_PATH) {
    ReportNumberedLine(list->path, number, ": path too long");
    list->report->trouble = true;
    return;
  }
  char path[MAX_PATH];
  memcpy(path, line, length);
  path[length] = '\0';
  ReadPath(list->report, path);
}

// A list that holds NUL bytes without a byte order mark cannot be read
// as text; its lines would name wrong paths and computers.
void RefuseList(Report* report, const char* path) {
  ReportErrorLine(path,
                  ": cannot read the list: it holds NUL bytes, as "
                  "UTF-16 without a byte order mark does; save it as "
                  "ANSI or Unicode");
  report->refused = true;
}

void ReadList(Report* report, const char* path) {
  ListReading list = {report, path, 0};
  DWORD error = ReadListFile(path, TakeListLine, &list);
  if (error == kUnmarkedUtf16) {
    RefuseList(report, path);
  } else if (error == ERROR_NOT_ENOUGH_MEMORY) {
    report->out_of_memory = true;
  } else if (error != ERROR_SUCCESS) {
    ReportError(path, ": cannot read the list (error ", error);
    report->trouble = true;
  } else if (list.paths == 0) {
    ReportErrorLine(path, ": the list names no path");
    report->trouble = true;
  }
}

// A line of --computers: its first word is a name (the log pull's
// computers.txt adds a drive letter after it); a line starting with ";"
// is a comment, as the log pull's "for /f" takes it.
void TakeComputerLine(void* context, const char* line, size_t length,
                      unsigned number, TextLineEnd) {
  Report* report = static_cast<Report*>(context);
  size_t start = 0;
  while (start < length && IsBlank(line[start]))
    ++start;
  if (start < length && line[start] == ';')
    return;
  // \\PC042, as "net view" names it, is PC042.
  while (start < length && line[start] == '\\')
    ++start;
  size_t end = start;
  while (end < length && !IsBlank(line[end]))
    ++end;
  // Cut as a log's computer name is.
  if (end - start >= kComputerSize)
    end = start + kComputerSize - 1;
  if (end > start &&
      !AddListedComputer(&report->listed, line + start, end - start,
                         number))
    report->out_of_memory = true;
}

// Two lines of --computers that Windows takes for one computer get one
// row: a PC of the two that never reported would go unseen.
void ReportMergedComputer(void* context, const ListedComputer& kept,
                          const ListedComputer& merged) {
  Report* report = static_cast<Report*>(context);
  Message message = {};
  Say(&message, report->list_path);
  Say(&message, ":");
  SayNumber(&message, merged.line);
  Say(&message, ": ");
  Say(&message, merged.name);
  Say(&message, " is one computer with ");
  Say(&message, kept.name);
  Say(&message, " of line ");
  SayNumber(&message, kept.line);
  Say(&message, " to Windows, which keeps of a name the first ");
  SayNumber(&message, kComputerNameKept);
  Say(&message, " bytes before the dot; list each PC by its computer name");
  ReportErrorLine(message.text);
  report->trouble = true;
}

// False when the list gives no computer to check the logs against.
bool ReadComputerList(Report* report, const char* path) {
  report->list_path = path;
  DWORD error = ReadListFile(path, TakeComputerLine, report);
  if (error == ERROR_NOT_ENOUGH_MEMORY || report->out_of_memory) {
    report->out_of_memory = true;
    return true;
  }
  if (error == kUnmarkedUtf16) {
    RefuseList(report, path);
    return false;
  }
  if (error != ERROR_SUCCESS) {
    ReportError(path, ": cannot read the list of computers (error ", error);
    return false;
  }
  if (report->listed.count == 0) {
    ReportErrorLine(path, ": the list names no computer");
    return false;
  }
  SortComputerList(&report->listed, ReportMergedComputer, report);
  return true;
}

// A row for each listed computer that no log was given of.
void AddMissingComputers(Report* report) {
  for (size_t i = 0; i < report->listed.count && !report->out_of_memory; ++i) {
    const ListedComputer& listed = report->listed.computers[i];
    if (listed.has_log)
      continue;
    const char* name = AddComputer(&report->table, listed.name);
    if (name == nullptr || !AddLogRow(&report->table, name, OutcomeNoLog))
      report->out_of_memory = true;
  }
}

// The closing line: how many computers, and rows of each outcome. A
// finished table's rows of one computer share one name.
void ReportSummary(const ReportTable& table, size_t* counts) {
  size_t computers = 0;
  for (size_t i = 0; i < table.count; ++i) {
    ++counts[table.rows[i].outcome];
    if (i == 0 || table.rows[i - 1].computer != table.rows[i].computer)
      ++computers;
  }
  Message message = {};
  Say(&message, "zrreport: ");
  SayNumber(&message, static_cast<int64_t>(computers));
  Say(&message, computers == 1 ? " computer: " : " computers: ");
  for (int outcome = 0; outcome < OutcomeCount; ++outcome) {
    if (outcome > 0)
      Say(&message, ", ");
    SayNumber(&message, static_cast<int64_t>(counts[outcome]));
    Say(&message, " ");
    Say(&message, OutcomeName(outcome));
  }
  ReportErrorLine(message.text);
}

// The table on standard output and the summary; false when the table
// could not be written.
bool WriteTable(Report* report) {
  FinishTable(&report->table);
  DWORD error = WriteCsvTable(GetStdHandle(STD_OUTPUT_HANDLE), report->table);
  if (error != ERROR_SUCCESS)
    ReportError("zrreport", ": cannot write the table (error ", error);
  size_t counts[OutcomeCount] = {};
  ReportSummary(report->table, counts);
  report->trouble = report->trouble || counts[OutcomeFailed] +
                                               counts[OutcomeNoRecord] +
                                               counts[OutcomeNoLog] +
                                               counts[OutcomeUnreadable] >
                                           0;
  return error == ERROR_SUCCESS;
}

int ReadAndWrite(Report* report, int argc, char** argv,
                 const ReportOptions& options) {
  report->package = options.package;
  report->table.new_only = options.package != nullptr;
  if (options.computers != nullptr &&
      !ReadComputerList(report, options.computers))
    return ReportUsage;
  for (int i = 1; i < argc && !report->out_of_memory && !report->refused; ++i) {
    if (!IsPathArgument(argv, &i))
      continue;
    if (argv[i][0] == '@')
      ReadList(report, argv[i] + 1);
    else
      ReadPath(report, argv[i]);
  }
  if (report->refused)
    return ReportUsage;
  AddMissingComputers(report);
  if (report->out_of_memory) {
    ReportErrorLine("zrreport: out of memory; no table is written");
    return ReportUsage;
  }
  ReportVersionsSeen(report);
  if (!WriteTable(report))
    return ReportUsage;
  return report->trouble ? ReportAttention : ReportAllWell;
}

}  // namespace

int RunReport(int argc, char** argv) {
  ReportOptions options;
  if (!ReadReportOptions(argc, argv, &options)) {
    if (options.wrong != nullptr)
      ReportErrorLine("zrreport: unknown option, or one without its value: ",
                      options.wrong);
    else if (argc > 1)
      ReportErrorLine("zrreport: no log given");
    ReportErrorLine(kReportUsage);
    return ReportUsage;
  }
  if (options.help) {
    ReportLine(kReportUsage);
    return ReportAllWell;
  }
  Report report = {};
  StartTable(&report.table);
  StartComputerList(&report.listed);
  int code = ReadAndWrite(&report, argc, argv, options);
  FreeTable(&report.table);
  FreeComputerList(&report.listed);
  free(report.seen);
  return code;
}
