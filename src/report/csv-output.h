#ifndef ZODERUDO_REPORT_CSV_OUTPUT_H_
#define ZODERUDO_REPORT_CSV_OUTPUT_H_

#include "os/os.h"
#include "report/report-table.h"

// The table's first line.
const char kCsvHeader[] = "computer,date,time,update,new,return_code,outcome";

// Writes the table as CSV (RFC 4180) to `output`: the header, then one
// line per row, each ending with CR LF whatever the platform. A field with
// a comma, a quote, CR or LF is quoted, its quotes doubled; a text field
// that starts with =, +, -, @, a tab or CR starts with ' as well; bytes
// pass unchanged, in the code page the PCs wrote them in. Written in large
// pieces. Returns ERROR_SUCCESS or the system's error number of the write
// that failed.
DWORD WriteCsvTable(HANDLE output, const ReportTable& table);

#endif  // ZODERUDO_REPORT_CSV_OUTPUT_H_
