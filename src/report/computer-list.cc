#include "report/computer-list.h"

#include <stdlib.h>
#include <string.h>

#include "report/report-table.h"

namespace {

int CompareListed(const void* left, const void* right) {
  return CompareComputerNames(static_cast<const ListedComputer*>(left)->name,
                              static_cast<const ListedComputer*>(right)->name);
}

}  // namespace

void StartComputerList(ComputerList* list) { memset(list, 0, sizeof *list); }

void FreeComputerList(ComputerList* list) {
  for (size_t i = 0; i < list->count; ++i)
    free(list->computers[i].name);
  free(list->computers);
  StartComputerList(list);
}

bool AddListedComputer(ComputerList* list, const char* name, size_t length) {
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
  list->computers[list->count].name = copy;
  list->computers[list->count++].has_log = false;
  return true;
}

void SortComputerList(ComputerList* list) {
  if (list->count == 0)
    return;
  qsort(list->computers, list->count, sizeof(ListedComputer), CompareListed);
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
  ListedComputer key = {const_cast<char*>(name), false};
  return static_cast<ListedComputer*>(bsearch(&key, list.computers, list.count,
                                              sizeof(ListedComputer),
                                              CompareListed));
}
