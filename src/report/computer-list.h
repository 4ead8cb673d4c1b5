#ifndef ZODERUDO_REPORT_COMPUTER_LIST_H_
#define ZODERUDO_REPORT_COMPUTER_LIST_H_

#include <stddef.h>

// The computers that should report (--computers LIST), sorted so that a
// log's computer is found among thousands at once; names match as
// CompareComputerNames has it.
struct ListedComputer {
  char* name;
  unsigned line;  // of the list
  bool has_log;   // some log of it was given
};

struct ComputerList {
  ListedComputer* computers;
  size_t count;
  size_t capacity;
};

void StartComputerList(ComputerList* list);
void FreeComputerList(ComputerList* list);

// Adds the name (`length` bytes) of the list's `line`; false when memory
// runs out.
bool AddListedComputer(ComputerList* list, const char* name, size_t length,
                       unsigned line);

// Called for a name that is the computer of an earlier line's `kept`
// although they differ in more than letter case.
typedef void (*MergedComputer)(void* context, const ListedComputer& kept,
                               const ListedComputer& merged);

// Sorts the names and keeps each computer once, as its first line names
// it; then FindListedComputer works.
void SortComputerList(ComputerList* list, MergedComputer merged,
                      void* context);

// The listed computer of that name, or null.
ListedComputer* FindListedComputer(const ComputerList& list, const char* name);

#endif  // ZODERUDO_REPORT_COMPUTER_LIST_H_
