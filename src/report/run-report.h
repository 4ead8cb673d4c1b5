#ifndef ZODERUDO_REPORT_RUN_REPORT_H_
#define ZODERUDO_REPORT_RUN_REPORT_H_

// Exit codes of zrreport.
const int ReportAllWell = 0;    // no row failed, lacks a record or is unreadable
const int ReportAttention = 1;  // some row (or PATH) needs a look
const int ReportUsage = 2;      // no PATH, or an unknown option

// zrreport PATH...: reads the result logs that each PATH names (a folder's
// *.log files, one log file, or @LIST, a text file naming one path per
// line) and writes one CSV table to standard output: per computer and
// package the last record, per log without a record or that could not be
// read one row. Bad lines, unreadable logs and the closing summary go to
// standard error. Returns the exit code.
int RunReport(int argc, char** argv);

#endif  // ZODERUDO_REPORT_RUN_REPORT_H_
