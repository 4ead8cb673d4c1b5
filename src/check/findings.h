#ifndef ZODERUDO_CHECK_FINDINGS_H_
#define ZODERUDO_CHECK_FINDINGS_H_

#include <stddef.h>
#include <stdint.h>

#include "staging/copy-or-delete-tree.h"

// An error: a run with it fails, runs something other than the package's
// update, or writes a wrong record. A warning: it works, but is fragile.
enum Severity { FindingError, FindingWarning };

// A finding's text, built in pieces; what does not fit is cut.
const unsigned kFindingTextSize = 512;
struct FindingText {
  char text[kFindingTextSize];
  size_t length;
};
void Say(FindingText* text, const char* part);
void SayNumber(FindingText* text, int64_t number);

// A path relative to the package folder; one that the walk could list has
// less than kTreePathSize bytes, and the name behind it at most as many.
const unsigned kRelativePathSize = 2 * kTreePathSize;

struct Finding {
  char path[kRelativePathSize];
  Severity severity;
  unsigned order;  // keeps the findings of one path in the order found
  char text[kFindingTextSize];
};

// Every finding of a check. Nothing is lost quietly: a list that could not
// grow says so when written.
struct Findings {
  Finding* items;
  size_t count;
  size_t capacity;
  bool out_of_memory;
  unsigned errors;
  unsigned warnings;
};

void AddFinding(Findings* findings, const char* path, Severity severity,
                const char* text);

// Sorted by path, one line each, "PATH: error: TEXT", then the summary
// line with the counts; the list is freed.
void WriteFindings(Findings* findings);

#endif  // ZODERUDO_CHECK_FINDINGS_H_
