#include "report/report-options.h"

#include <string.h>

const char kReportUsage[] =
    "usage: zrreport [--computers LIST] [--package NEW] PATH...\n"
    "  PATH: a folder (its .log files, and the ZR.log or ZRLOG\\ZR.log of\n"
    "    each folder in it), a log file, or @LIST, a file naming one path\n"
    "    per line\n"
    "  --computers LIST: the computers that should report, the first word\n"
    "    of each line; one without a log gets a no-log row\n"
    "  --package NEW: only records of that New version count: one row per\n"
    "    computer, its last record of it or no-record";

namespace {

bool IsHelp(const char* argument) {
  return strcmp(argument, "-h") == 0 || strcmp(argument, "--help") == 0 ||
         strcmp(argument, "-?") == 0 || strcmp(argument, "/?") == 0;
}

// The option's value slot, or null for an option without one.
const char** ValueOf(const char* argument, ReportOptions* options) {
  if (strcmp(argument, "--computers") == 0)
    return &options->computers;
  if (strcmp(argument, "--package") == 0)
    return &options->package;
  return nullptr;
}

}  // namespace

bool ReadReportOptions(int argc, char** argv, ReportOptions* options) {
  memset(options, 0, sizeof *options);
  for (int i = 1; i < argc; ++i) {
    if (IsHelp(argv[i])) {
      options->help = true;
      return true;
    }
  }
  for (int i = 1; i < argc; ++i) {
    if (argv[i][0] != '-') {
      ++options->paths;
      continue;
    }
    const char** value = ValueOf(argv[i], options);
    // An empty value names no list and no version.
    if (value == nullptr || *value != nullptr || i + 1 == argc ||
        argv[i + 1][0] == '\0') {
      options->wrong = argv[i];
      return false;
    }
    *value = argv[++i];
  }
  return options->paths > 0;
}

bool IsPathArgument(char** argv, int* i) {
  if (argv[*i][0] != '-')
    return true;
  ReportOptions unused;
  if (ValueOf(argv[*i], &unused) != nullptr)
    ++*i;
  return false;
}
