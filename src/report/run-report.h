#ifndef ZODERUDO_REPORT_RUN_REPORT_H_
#define ZODERUDO_REPORT_RUN_REPORT_H_

// Exit codes of zrreport.
const int ReportAllWell = 0;    // no row needs a look; also after --help
const int ReportAttention = 1;  // a row failed, lacks a record or log, or
                                // is unreadable, or a PATH gave nothing
const int ReportUsage = 2;      // a usage error, a table that could not be
                                // written, or memory exhausted

// zrreport [--computers LIST] [--package NEW] PATH...: reads the result
// logs that each PATH names (a folder's *.log files and its sub-folders'
// ZR.log copies, one log file, or @LIST, a text file naming one path per
// line) and writes one CSV table to standard output: per computer and
// package the last record, per log without a record or that could not be
// read one row; with --computers a no-log row for each listed computer
// without a log; with --package one row per computer for that New
// version. Bad lines, unreadable logs and the closing summary go to
// standard error. Returns the exit code.
int RunReport(int argc, char** argv);

#endif  // ZODERUDO_REPORT_RUN_REPORT_H_
