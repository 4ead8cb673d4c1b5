#ifndef ZODERUDO_CONSOLE_REPORT_LINE_H_
#define ZODERUDO_CONSOLE_REPORT_LINE_H_

// Writes one console line: the text, the detail (if any) directly behind it,
// and a line end, then flushes standard output so the line is out before the
// program's next step (an update command may write to the same console).
// Write failures are ignored: there is nowhere better to report them.
void ReportLine(const char* text, const char* detail = nullptr);

// The same on standard error: for a program whose standard output carries
// its result (zrreport's table), so messages never mix with it.
void ReportErrorLine(const char* text, const char* detail = nullptr);

#endif  // ZODERUDO_CONSOLE_REPORT_LINE_H_
