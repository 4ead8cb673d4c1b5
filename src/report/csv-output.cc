#include "report/csv-output.h"

#include <string.h>

namespace {

const DWORD kOutputSize = 64 * 1024;

struct Output {
  HANDLE file;
  char buffer[kOutputSize];
  DWORD length;
  DWORD error;  // the first failure; later writes are dropped
};

void Flush(Output* out) {
  DWORD written = 0;
  if (out->error == ERROR_SUCCESS && out->length > 0 &&
      (!WriteFile(out->file, out->buffer, out->length, &written, nullptr) ||
       written != out->length)) {
    out->error = GetLastError();
    if (out->error == ERROR_SUCCESS)
      out->error = ERROR_GEN_FAILURE;
  }
  out->length = 0;
}

void Put(Output* out, const char* bytes, size_t count) {
  while (count > 0) {
    if (out->length == kOutputSize)
      Flush(out);
    size_t part = kOutputSize - out->length;
    if (part > count)
      part = count;
    memcpy(out->buffer + out->length, bytes, part);
    out->length += static_cast<DWORD>(part);
    bytes += part;
    count -= part;
  }
}

void PutText(Output* out, const char* text) { Put(out, text, strlen(text)); }

bool IsFormulaStart(char c) {
  return c != '\0' && strchr("=+-@", c) != nullptr;
}

// The text's bytes, each quote doubled within quotes, and a quote after
// a ";" or tab that a formula's first character or a quote follows: a
// spreadsheet whose list separator is ";" splits lines there, inside
// quotes too, and may take a quote that begins a piece as an empty text.
void PutFieldText(Output* out, const char* text, bool quoted) {
  for (; *text != '\0'; ++text) {
    Put(out, text, 1);
    if (quoted && *text == '"')
      Put(out, "\"", 1);
    if ((*text == ';' || *text == '\t') &&
        (IsFormulaStart(text[1]) || text[1] == '"'))
      Put(out, "'", 1);
  }
}

void PutField(Output* out, const char* text) {
  // A spreadsheet opening the file takes a text that starts so for a
  // formula, and runs what a PC wrote: a quote before it keeps it text.
  bool formula = text[0] != '\0' && strchr("=+-@\t\r", text[0]) != nullptr;
  bool quoted = strpbrk(text, ",\"\r\n") != nullptr;
  if (quoted)
    Put(out, "\"", 1);
  if (formula)
    Put(out, "'", 1);
  PutFieldText(out, text, quoted);
  if (quoted)
    Put(out, "\"", 1);
}

void PutRow(Output* out, const ReportRow& row) {
  PutField(out, row.computer);
  if (row.outcome == OutcomeNoRecord || row.outcome == OutcomeNoLog ||
      row.outcome == OutcomeUnreadable) {
    PutText(out, ",,,,,,");
  } else {
    char code[kDecimalSize], date[kTripleSize], time[kTripleSize];
    FormatDecimal(row.return_code, code);
    FormatRowDate(row, date);
    FormatRowTime(row, time);
    Put(out, ",", 1);
    PutText(out, date);
    Put(out, ",", 1);
    PutText(out, time);
    Put(out, ",", 1);
    PutField(out, row.update);
    Put(out, ",", 1);
    PutField(out, row.new_version);
    Put(out, ",", 1);
    PutText(out, code);
    Put(out, ",", 1);
  }
  PutText(out, OutcomeName(row.outcome));
  Put(out, "\r\n", 2);
}

}  // namespace

DWORD WriteCsvTable(HANDLE output, const ReportTable& table) {
  // Too large for the stack of a small program; one table is written at
  // a time.
  static Output out;
  out.file = output;
  out.length = 0;
  out.error = ERROR_SUCCESS;
  PutText(&out, kCsvHeader);
  Put(&out, "\r\n", 2);
  for (size_t i = 0; i < table.count; ++i)
    PutRow(&out, table.rows[i]);
  Flush(&out);
  return out.error;
}
