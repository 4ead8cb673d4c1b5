#include "report/computer-list.h"

#include <stdlib.h>
#include <string.h>

#include "report/computer-name.h"
#include "report/report-table.h"

namespace {

int CompareListed(const void* left, const void* right) {
  return CompareComputerNames(static_cast<const ListedComputer*>(left)->name,
                              static_cast<const ListedComputer*>(right)->name);
}

// By computer, then in the list's order.
int CompareListedLines(const void* left, const void* right) {
  int order = CompareListed(left, right);
  unsigned a = static_cast<const ListedComputer*>(left)->line;
  unsigned b = static_cast<const ListedComputer*>(right)->line;
  return order != 0 ? order : a < b ? -1 : a > b ? 1 : 0;
}

// One name as a list may write it: ASCII letters without regard to case,
// the rest as it is; and a full name (pc001.corp.local) is its short one
// (pc001). Two domains, or a cut that drops what tells two names apart,
// are two computers that Windows would take for one.
bool SameSpelling(const char* a, const char* b) {
  for (;; ++a, ++b) {
    char x = LowerAscii(*a);
    char y = LowerAscii(*b);
    if (x != y)
      return (x == '\0' && y == '.') || (x == '.' && y == '\0');
    if (x == '\0')
      return true;
  }
}

// Whether `at` is spelt as a name before it in its group.
bool SpeltBefore(const ComputerList& list, size_t first, size_t at) {
  for (size_t i = first; i < at; ++i) {
    if (SameSpelling(list.computers[i].name, list.computers[at].name))
      return true;
  }
  return false;
}

}  // namespace

void StartComputerList(ComputerList* list) { memset(list, 0, sizeof *list); }

void FreeComputerList(ComputerList* list) {
  for (size_t i = 0; i < list->count; ++i)
    free(list->computers[i].name);
  free(list->computers);
  StartComputerList(list);
}

bool AddListedComputer(ComputerList* list, const char* name, size_t length,
                       unsigned line) {
  if (list->count == list->capacity) {
    size_t wanted = list->capacity == 0 ? 256 : list->capacity * 2;
    if (wanted > static_cast<size_t>(-1) / sizeof(ListedComputer))
      return false;
    void* grown = realloc(list->computers, wanted * sizeof(ListedComputer));
    if (grown == nullptr)
      return false;
    list->computers = static_cast<ListedComputer*>(grown);
    list->capacity = wanted;
  }
  char* copy = static_cast<char*>(malloc(length + 1));
  if (copy == nullptr)
    return false;
  memcpy(copy, name, length);
  copy[length] = '\0';
  list->computers[list->count++] = {copy, line, false};
  return true;
}

void SortComputerList(ComputerList* list, MergedComputer merged,
                      void* context) {
  if (list->count == 0)
    return;
  qsort(list->computers, list->count, sizeof(ListedComputer),
        CompareListedLines);
  size_t first = 0;
  for (size_t i = 1; i < list->count; ++i) {
    const ListedComputer& next = list->computers[i];
    // Each other spelling is named once; letter case alone is none.
    if (CompareListed(&list->computers[first], &next) != 0)
      first = i;
    else if (!SpeltBefore(*list, first, i))
      merged(context, list->computers[first], next);
  }
  size_t kept = 1;
  for (size_t i = 1; i < list->count; ++i) {
    if (CompareListed(&list->computers[kept - 1], &list->computers[i]) == 0)
      free(list->computers[i].name);
    else
      list->computers[kept++] = list->computers[i];
  }
  list->count = kept;
}

ListedComputer* FindListedComputer(const ComputerList& list, const char* name) {
  if (list.count == 0)
    return nullptr;
  ListedComputer key = {const_cast<char*>(name), 0, false};
  return static_cast<ListedComputer*>(bsearch(&key, list.computers, list.count,
                                              sizeof(ListedComputer),
                                              CompareListed));
}
