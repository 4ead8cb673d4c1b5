#ifndef ZODERUDO_REPORT_REPORT_OPTIONS_H_
#define ZODERUDO_REPORT_REPORT_OPTIONS_H_

// zrreport's usage text, lines joined by line ends.
extern const char kReportUsage[];

// What the command line asks for.
struct ReportOptions {
  bool help;              // -h, --help, -? or /?: the usage, nothing else
  const char* computers;  // --computers LIST, or null
  const char* package;    // --package NEW, or null
  int paths;              // how many PATH arguments
  const char* wrong;      // the argument that makes it a usage error
};

// Reads the options; false for a usage error (an unknown option, one
// given twice, without its value or with an empty one, no
// PATH), with `wrong` naming it.
bool ReadReportOptions(int argc, char** argv, ReportOptions* options);

// Whether argv[i] is a PATH and not an option or its value; `i` moves on
// past an option's value.
bool IsPathArgument(char** argv, int* i);

#endif  // ZODERUDO_REPORT_REPORT_OPTIONS_H_
