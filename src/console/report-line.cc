#include "console/report-line.h"

#include <stdio.h>

namespace {

void WriteLine(FILE* stream, const char* text, const char* detail) {
  fputs(text, stream);
  if (detail != nullptr)
    fputs(detail, stream);
  fputc('\n', stream);
  fflush(stream);
}

}  // namespace

void ReportLine(const char* text, const char* detail) {
  WriteLine(stdout, text, detail);
}

void ReportErrorLine(const char* text, const char* detail) {
  WriteLine(stderr, text, detail);
}
