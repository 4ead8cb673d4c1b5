#include "check/findings.h"

#include <stdlib.h>
#include <string.h>

#include "console/message-text.h"
#include "console/report-line.h"
#include "log/result-record.h"

namespace {

int ByPath(const void* first, const void* second) {
  const Finding* a = static_cast<const Finding*>(first);
  const Finding* b = static_cast<const Finding*>(second);
  int by_path = strcmp(a->path, b->path);
  if (by_path != 0)
    return by_path;
  return a->order < b->order ? -1 : a->order > b->order ? 1 : 0;
}

void SayCount(FindingText* text, unsigned count, const char* word) {
  SayNumber(text, count);
  Say(text, word);
  if (count != 1)
    Say(text, "s");
}

}  // namespace

void Say(FindingText* text, const char* part) {
  AppendMessageText(text->text, sizeof text->text, &text->length, part);
}

void SayNumber(FindingText* text, int64_t number) {
  char digits[kDecimalSize];
  FormatDecimal(number, digits);
  Say(text, digits);
}

void AddFinding(Findings* findings, const char* path, Severity severity,
                const char* text) {
  if (findings->count == findings->capacity) {
    size_t capacity = findings->capacity == 0 ? 64 : 2 * findings->capacity;
    void* grown = realloc(findings->items, capacity * sizeof(Finding));
    if (grown == nullptr) {
      findings->out_of_memory = true;
      return;
    }
    findings->items = static_cast<Finding*>(grown);
    findings->capacity = capacity;
  }
  Finding* finding = &findings->items[findings->count];
  memset(finding, 0, sizeof *finding);
  strncpy(finding->path, path, sizeof finding->path - 1);
  strncpy(finding->text, text, sizeof finding->text - 1);
  finding->severity = severity;
  finding->order = static_cast<unsigned>(findings->count++);
  ++(severity == FindingError ? findings->errors : findings->warnings);
}

void WriteFindings(Findings* findings) {
  if (findings->count > 0)
    qsort(findings->items, findings->count, sizeof(Finding), ByPath);
  for (size_t i = 0; i < findings->count; ++i) {
    const Finding& finding = findings->items[i];
    char line[kRelativePathSize + sizeof ": warning: " + kFindingTextSize];
    strcpy(line, finding.path);
    strcat(line, finding.severity == FindingError ? ": error: " : ": warning: ");
    strcat(line, finding.text);
    ReportLine(line);
  }
  FindingText summary = {};
  SayCount(&summary, findings->errors, " error");
  Say(&summary, ", ");
  SayCount(&summary, findings->warnings, " warning");
  if (findings->out_of_memory)
    Say(&summary, ", and more that zrcheck had no memory left to list");
  ReportLine(summary.text);
  free(findings->items);
  findings->items = nullptr;
  findings->count = findings->capacity = 0;
}
