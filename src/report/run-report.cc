#include "report/run-report.h"

#include <string.h>

#include "console/report-line.h"
#include "log/result-record.h"
#include "log/text-lines.h"
#include "os/os.h"
#include "report/computer-name.h"
#include "report/csv-output.h"
#include "report/report-table.h"

namespace {

const char kUsage[] =
    "usage: zrreport PATH...   (PATH: a folder of .log files, a log file, "
    "or @LIST, a file naming one path per line)";
const char kLogPattern[] = "*.log";

struct Report {
  ReportTable table;
  bool trouble;        // a PATH or list that gave nothing to read
  bool out_of_memory;  // the table is not whole
};

// The log being read and where its rows start.
struct LogReading {
  Report* report;
  const char* path;
  const char* computer;
  size_t first_row;
  unsigned records;
};

struct ListReading {
  Report* report;
  const char* path;
};

// A console message built in pieces: paths, numbers and words.
struct Message {
  char text[2 * MAX_PATH + 128];
  size_t length;
};

void Say(Message* message, const char* part) {
  size_t room = sizeof message->text - 1 - message->length;
  size_t length = strlen(part);
  if (length > room)
    length = room;
  memcpy(message->text + message->length, part, length);
  message->length += length;
  message->text[message->length] = '\0';
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
    char c = text[length - end_length + i];
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c + 32);
    if (c != end[i])
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

void TakeLogLine(void* context, const char* line, size_t length,
                 unsigned number, bool whole) {
  LogReading* log = static_cast<LogReading*>(context);
  if (log->report->out_of_memory)
    return;
  LogRecord record;
  if (!whole || !ParseLogRecord(line, length, &record)) {
    ReportNumberedLine(log->path, number, ": not a result record");
    return;
  }
  ++log->records;
  if (!AddRecordRow(&log->report->table, log->computer, log->first_row,
                    record))
    log->report->out_of_memory = true;
}

void ReadLog(Report* report, const char* path) {
  char name[kComputerSize];
  ComputerOfLog(path, name);
  LogReading log = {report, path, AddComputer(&report->table, name),
                    report->table.count, 0};
  if (log.computer == nullptr) {
    report->out_of_memory = true;
    return;
  }
  DWORD error = ReadTextLines(path, TakeLogLine, &log);
  if (report->out_of_memory)
    return;
  int outcome = -1;
  if (error != ERROR_SUCCESS) {
    ReportError(path, ": cannot read the log (error ", error);
    outcome = OutcomeUnreadable;
  } else if (log.records == 0) {
    outcome = OutcomeNoRecord;
  }
  if (outcome >= 0 && !AddLogRow(&report->table, log.computer, outcome))
    report->out_of_memory = true;
}

// Every *.log file directly in the folder; sub-folders are not read.
void ReadFolder(Report* report, const char* folder) {
  char path[MAX_PATH];
  if (!JoinPath(folder, kLogPattern, path)) {
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
    // The pattern also matches names whose short 8.3 alias ends in .LOG
    // ("a.logx"): only real .log names count.
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
        !EndsWithNoCase(found.cFileName, ".log"))
      continue;
    ++logs;
    if (!JoinPath(folder, found.cFileName, path)) {
      ReportErrorLine(folder, ": path too long");
      report->trouble = true;
      continue;
    }
    ReadLog(report, path);
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
                  unsigned number, bool whole) {
  ListReading* list = static_cast<ListReading*>(context);
  if (list->report->out_of_memory)
    return;
  // Notepad may begin a UTF-8 list with a byte order mark.
  if (number == 1 && length >= 3 && memcmp(line, "\xEF\xBB\xBF", 3) == 0) {
    line += 3;
    length -= 3;
  }
  while (length > 0 && IsBlank(line[0])) {
    ++line;
    --length;
  }
  while (length > 0 && IsBlank(line[length - 1]))
    --length;
  if (length == 0)
    return;
  if (!whole || length >= MAX_PATH) {
    ReportNumberedLine(list->path, number, ": path too long");
    list->report->trouble = true;
    return;
  }
  char path[MAX_PATH];
  memcpy(path, line, length);
  path[length] = '\0';
  ReadPath(list->report, path);
}

void ReadList(Report* report, const char* path) {
  ListReading list = {report, path};
  DWORD error = ReadTextLines(path, TakeListLine, &list);
  if (error != ERROR_SUCCESS) {
    ReportError(path, ": cannot read the list (error ", error);
    report->trouble = true;
  }
}

bool IsOption(const char* argument) {
  return argument[0] == '-' || strcmp(argument, "/?") == 0;
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

}  // namespace

int RunReport(int argc, char** argv) {
  if (argc < 2) {
    ReportErrorLine(kUsage);
    return ReportUsage;
  }
  for (int i = 1; i < argc; ++i) {
    if (IsOption(argv[i])) {
      ReportErrorLine("zrreport: unknown option ", argv[i]);
      ReportErrorLine(kUsage);
      return ReportUsage;
    }
  }
  Report report = {};
  StartTable(&report.table);
  for (int i = 1; i < argc && !report.out_of_memory; ++i) {
    if (argv[i][0] == '@')
      ReadList(&report, argv[i] + 1);
    else
      ReadPath(&report, argv[i]);
  }
  if (report.out_of_memory) {
    ReportErrorLine("zrreport: out of memory; no table is written");
    FreeTable(&report.table);
    return ReportAttention;
  }
  FinishTable(&report.table);
  DWORD error = WriteCsvTable(GetStdHandle(STD_OUTPUT_HANDLE), report.table);
  if (error != ERROR_SUCCESS)
    ReportError("zrreport", ": cannot write the table (error ", error);
  size_t counts[OutcomeCount] = {};
  ReportSummary(report.table, counts);
  FreeTable(&report.table);
  bool attention = report.trouble || error != ERROR_SUCCESS ||
                   counts[OutcomeFailed] + counts[OutcomeNoRecord] +
                           counts[OutcomeUnreadable] >
                       0;
  return attention ? ReportAttention : ReportAllWell;
}
