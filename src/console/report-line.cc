#include "console/report-line.h"

#include <stdio.h>

void ReportLine(const char* text, const char* detail) {
  fputs(text, stdout);
  if (detail != nullptr)
    fputs(detail, stdout);
  fputc('\n', stdout);
  fflush(stdout);
}
