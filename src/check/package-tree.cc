#include "check/package-tree.h"

#include <stdlib.h>
#include <string.h>

#include "check/code-page-text.h"
#include "os/os.h"

namespace {

struct Listed {
  char name[MAX_PATH];
  WCHAR folded[MAX_PATH];  // compared as Windows compares names
  bool folder;
  bool link;
  uint64_t size;
};

struct Listing {
  Listed* entries;
  size_t count;
  size_t capacity;
};

int ByFoldedName(const void* first, const void* second) {
  const Listed* a = static_cast<const Listed*>(first);
  const Listed* b = static_cast<const Listed*>(second);
  int folded = CompareFoldedNames(a->folded, b->folded);
  return folded != 0 ? folded : strcmp(a->name, b->name);
}

bool Append(Listing* listing, const WIN32_FIND_DATAA& found) {
  if (listing->count == listing->capacity) {
    size_t capacity = listing->capacity == 0 ? 32 : 2 * listing->capacity;
    void* grown = realloc(listing->entries, capacity * sizeof(Listed));
    if (grown == nullptr)
      return false;
    listing->entries = static_cast<Listed*>(grown);
    listing->capacity = capacity;
  }
  Listed* entry = &listing->entries[listing->count++];
  memcpy(entry->name, found.cFileName, sizeof entry->name);
  FoldedName(entry->name, entry->folded, MAX_PATH);
  entry->folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  entry->link = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  entry->size = entry->folder ? 0
                              : (static_cast<uint64_t>(found.nFileSizeHigh)
                                     << 32) | found.nFileSizeLow;
  return true;
}

void ReportUnlisted(Findings* findings, const char* folder, DWORD error) {
  FindingText text = {};
  Say(&text, "zrcheck cannot list it from here (error ");
  SayNumber(&text, error);
  Say(&text, "), so nothing below it was checked; check the package from a "
             "folder with a shorter path");
  AddFinding(findings, folder, FindingError, text.text);
}

// The entries of `folder` ("" for the package folder), sorted; false with
// the error when it cannot be listed.
bool List(const char* folder, Listing* listing, DWORD* error) {
  char pattern[kRelativePathSize + sizeof "\\*.*"];
  strcpy(pattern, folder);
  strcat(pattern, folder[0] != '\0' ? "\\*.*" : "*.*");
  WIN32_FIND_DATAA found;
  memset(&found, 0, sizeof found);
  HANDLE search = FindFirstFileA(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) {
    *error = GetLastError();
    return false;
  }
  bool whole = true;
  do {
    if (strcmp(found.cFileName, ".") == 0 || strcmp(found.cFileName, "..") == 0)
      continue;
    if (!Append(listing, found)) {
      whole = false;
      *error = ERROR_NOT_ENOUGH_MEMORY;
      break;
    }
  } while (FindNextFileA(search, &found));
  if (whole && GetLastError() != ERROR_NO_MORE_FILES) {
    whole = false;
    *error = GetLastError();
  }
  FindClose(search);
  if (listing->count > 1)
    qsort(listing->entries, listing->count, sizeof(Listed), ByFoldedName);
  return whole;
}

// Whether `name` holds a character of `refused`, read by characters: the
// trail byte of a double-byte character is none.
bool HoldsRefused(const char* name, const char* refused) {
  for (size_t step; (step = ListedCharacterLength(name)) != 0; name += step) {
    if (step == 1 && strchr(refused, *name) != nullptr)
      return true;
  }
  return false;
}

// Windows lists names in its ANSI code page: a character that has no form
// there comes out as "?" or as a look-alike, and the name shown leads
// nowhere. The staged copy fails on it. (A host listing gives the bytes.)
// A name that ends with a dot or blank, or holds a character Windows
// refuses other than "?", has a finding of its own (name-rules.h).
// Only "not found" and "invalid name" tell it: a path too long for the
// narrow calls from where zrcheck stands is no fault of the name.
bool LeadsNowhere(Findings* findings, const char* path, const char* name) {
  size_t length = strlen(name);
  if (kNameCodePage != CP_ACP || name[length - 1] == '.' ||
      name[length - 1] == ' ' || HoldsRefused(name, "<>:\"/\\|*") ||
      GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES)
    return false;
  DWORD error = GetLastError();
  if (error != ERROR_FILE_NOT_FOUND && error != ERROR_INVALID_NAME)
    return false;
  FindingText text = {};
  Say(&text, "Windows lists it under this name, which leads nowhere: a "
             "character of it has no form in code page ");
  SayNumber(&text, GetACP());
  Say(&text, " of this machine, or is one Windows refuses; the staged copy "
             "fails; rename it in ASCII");
  AddFinding(findings, path, FindingError, text.text);
  return true;
}

void ReportSameName(Findings* findings, const char* path, const char* other) {
  FindingText text = {};
  Say(&text, "differs from ");
  Say(&text, other);
  Say(&text, " only in letter case: Windows takes both for one name, and "
             "the staged copy fails (\"Package holds two files named\"); "
             "rename one");
  AddFinding(findings, path, FindingError, text.text);
}

struct Walk {
  Findings* findings;
  EntryHandler handler;
  void* context;
};

bool JoinFits(const char* folder, const char* name) {
  return strlen(folder) + 1 + strlen(name) < kRelativePathSize;
}

void WalkFolder(Walk* walk, const char* folder, unsigned depth) {
  Listing listing = {nullptr, 0, 0};
  DWORD error = ERROR_SUCCESS;
  if (!List(folder, &listing, &error))
    ReportUnlisted(walk->findings, folder[0] != '\0' ? folder : ".", error);
  char path[kRelativePathSize];
  for (size_t i = 0; i < listing.count; ++i) {
    const Listed& entry = listing.entries[i];
    if (!JoinFits(folder, entry.name))
      continue;
    strcpy(path, folder);
    if (folder[0] != '\0')
      strcat(path, "\\");
    strcat(path, entry.name);
    if (i > 0 && CompareFoldedNames(listing.entries[i - 1].folded,
                                    entry.folded) == 0)
      ReportSameName(walk->findings, path, listing.entries[i - 1].name);
    if (LeadsNowhere(walk->findings, path, entry.name))
      continue;
    PackageEntry handed = {path, entry.name, entry.folder, entry.size, depth};
    walk->handler(walk->context, handed);
    // What a link leads to may be anywhere, even above it: not followed.
    if (entry.link) {
      AddFinding(walk->findings, path, FindingWarning,
                 "a symbolic link or junction: a CD image may leave it out "
                 "or hold what it leads to; put the file or folder itself "
                 "there");
    } else if (entry.folder) {
      WalkFolder(walk, path, depth + 1);
    }
  }
  free(listing.entries);
}

}  // namespace

bool WalkPackage(Findings* findings, EntryHandler handler, void* context) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA("*.*", &found);
  if (search == INVALID_HANDLE_VALUE)
    return false;
  FindClose(search);
  Walk walk = {findings, handler, context};
  WalkFolder(&walk, "", 1);
  return true;
}
