#include "staging/copy-or-delete-tree.h"

#include <string.h>

#include "console/console-break.h"
#include "console/report-line.h"
#include "os/os.h"
#include "staging/path-characters.h"
#include "staging/path-limits.h"
#include "staging/same-folder.h"

static_assert(kTreePathSize == MAX_PATH, "the system's own path size");

namespace {

const char kAllEntries[] = "*.*";
const char kSeparator[] = "\\";
// The longest folder, its backslash, the pattern and the terminating zero
// fill a path buffer.
static_assert(kLongestWalkedFolder + (sizeof kSeparator - 1) +
                      sizeof kAllEntries == kTreePathSize,
              "the longest folder that the walk can list");

const char kCannotCreateFolder[] = "Unable to create temporary sub-directory!";
const char kCannotCopyFolder[] =
    "Unable to copy sub-directory update files to the hard drive.";
const char kCannotCopyFile[] = "Unable to copy files from ZR CD to hard drive.";
const char kCannotEmptyFolder[] =
    "Unable to delete files from temporary sub-directory.";
const char kCannotRemoveFolder[] = "Could not remove temporary sub-directory.";
const char kCannotRemoveFile[] = "Unable to remove temp file ";
const char kHoldsDestination[] =
    "Package directory holds the staging directory: ";
// A name that the listing gave but that does not lead to the entry: the
// system gave a name with no exact form in the ANSI code page ("C" for
// "\xC4\x8C", "?" for a character the page lacks), or the entry went away.
const char kCannotReadFolder[] = "Unable to read package sub-directory ";
const char kCannotReadFile[] = "Unable to read package file ";
// Two entries listed under one name: copying the second over the first
// would lose the first without a word.
const char kNameTwice[] = "Package holds two files named ";

// Fills a zero-filled path buffer with the parts one after the other;
// false, with the buffer left empty, when they do not fit.
bool FormPath(char* path, const char* first, const char* second,
              const char* third = "") {
  memset(path, 0, kTreePathSize);
  size_t a = strlen(first), b = strlen(second), c = strlen(third);
  if (a + b + c >= kTreePathSize)
    return false;
  memcpy(path, first, a);
  memcpy(path + a, second, b);
  memcpy(path + a + b, third, c);
  return true;
}

// A folder path that the walk of that folder can lengthen by its backslash
// and search pattern.
bool FolderFits(const char* folder) {
  return strlen(folder) <= kLongestWalkedFolder;
}

// Every folder that the copy makes, the clean-up must be able to list.
static_assert(kFolderPathLimit - 1 <= kLongestWalkedFolder,
              "a folder Windows can make, the clean-up can list");

// A folder the copy may make, `folder` ending with its backslash: one
// that Windows' CreateDirectoryA makes on every PC (Wine makes longer
// ones), and so one that the clean-up can list and remove again.
bool FolderMakeable(const char* folder) {
  return strlen(folder) - (sizeof kSeparator - 1) < kFolderPathLimit;
}

bool IsDotEntry(const char* name) {
  return strcmp(name, ".") == 0 || strcmp(name, "..") == 0;
}

// The search found nothing to walk: an empty drive root, or no folder.
bool NothingThere(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
         error == ERROR_NO_MORE_FILES;
}

int Walk(char* source, const char* destination,
         const BY_HANDLE_FILE_INFORMATION* top, bool listed);

// Whether `folder` is the copy's top destination folder under another
// name. A source can lead there: a junction or mount point to it, or to
// the root that holds it (under Wine, drive Z: holds the prefix's
// drive_c). Walking it would copy the copy into itself, deeper and deeper.
// Not known (`top` null, or the folder tells nothing): no.
bool IsDestination(const char* folder, const BY_HANDLE_FILE_INFORMATION* top) {
  BY_HANDLE_FILE_INFORMATION identity;
  return top != nullptr && ReadFolderIdentity(folder, &identity) &&
         SameFolderIdentity(identity, *top);
}

int CopyFolderEntry(const char* source, const char* destination,
                    const char* name, const BY_HANDLE_FILE_INFORMATION* top) {
  char folder[kTreePathSize];      // destination, name and backslash
  char sub_source[kTreePathSize];  // source and name; the walk adds "\"
  if (!FormPath(folder, destination, name, kSeparator) ||
      !FolderMakeable(folder) || !FormPath(sub_source, source, name) ||
      !FolderFits(sub_source)) {
    ReportLine(kCannotCreateFolder);
    return 1;
  }
  if (IsDestination(sub_source, top)) {
    ReportLine(kHoldsDestination, sub_source);
    return 1;
  }
  if (!CreateDirectoryA(folder, nullptr)) {
    ReportLine(kCannotCreateFolder);
    return 1;
  }
  int walked = Walk(sub_source, folder, top, true);
  if (walked == kCopyStopped)
    return walked;
  if (walked != 0) {
    ReportLine(kCannotCopyFolder);
    return 1;
  }
  return 0;
}

// The listing's name for an entry does not lead to it.
bool NameLeadsNowhere(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
         error == ERROR_INVALID_NAME;
}

// The copy carries no read-only, hidden or system attribute of its source;
// should that fail, the copy is still whole, so it is not a failure. The
// destination is the copy's own new folder: a file already there was made
// by this copy, from another entry of the same name.
int CopyFileEntry(const char* source, const char* destination,
                  const char* name) {
  char from[kTreePathSize];
  char to[kTreePathSize];
  if (!FormPath(from, source, name) || !FormPath(to, destination, name)) {
    ReportLine(kCannotCopyFile);
    return 1;
  }
  if (!CopyFileA(from, to, TRUE)) {
    DWORD error = GetLastError();
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
      ReportLine(kNameTwice, from);
    else if (NameLeadsNowhere(error))
      ReportLine(kCannotReadFile, from);
    else
      ReportLine(kCannotCopyFile);
    return 1;
  }
  SetFileAttributesA(to, FILE_ATTRIBUTE_NORMAL);
  return 0;
}

int DeleteFolderEntry(const char* source, const char* name) {
  char sub_source[kTreePathSize];
  if (!FormPath(sub_source, source, name) || !FolderFits(sub_source) ||
      Walk(sub_source, nullptr, nullptr, true) != 0) {
    ReportLine(kCannotEmptyFolder);
    return 1;
  }
  if (!RemoveDirectoryA(sub_source)) {
    ReportLine(kCannotRemoveFolder);
    return 1;
  }
  return 0;
}

int DeleteFileEntry(const char* source, const char* name) {
  char path[kTreePathSize];
  if (FormPath(path, source, name)) {
    if (DeleteFileA(path))
      return 0;
    ReportLine(kCannotRemoveFile, path);
    return 1;
  }
  // Too long to remove, but still named in full in its message.
  char long_path[2 * kTreePathSize];
  memset(long_path, 0, sizeof long_path);
  strcat(long_path, source);
  strcat(long_path, name);
  ReportLine(kCannotRemoveFile, long_path);
  return 1;
}

// A link (a junction or mount point, a symbolic link) leads out of the
// folder being emptied: it goes, and what it leads to stays untouched.
int DeleteLinkEntry(const char* source, const char* name, bool folder) {
  if (!folder)
    return DeleteFileEntry(source, name);
  char link[kTreePathSize];
  if (!FormPath(link, source, name) || !RemoveDirectoryA(link)) {
    ReportLine(kCannotRemoveFolder);
    return 1;
  }
  return 0;
}

int WalkEntry(const char* source, const char* destination,
              const BY_HANDLE_FILE_INFORMATION* top,
              const WIN32_FIND_DATAA& entry) {
  bool folder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (destination != nullptr) {
    // A package on a CD can take minutes: a Ctrl+C is not left waiting.
    if (BreakNoted())
      return kCopyStopped;
    return folder ? CopyFolderEntry(source, destination, entry.cFileName, top)
                  : CopyFileEntry(source, destination, entry.cFileName);
  }
  if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
    return DeleteLinkEntry(source, entry.cFileName, folder);
  return folder ? DeleteFolderEntry(source, entry.cFileName)
                : DeleteFileEntry(source, entry.cFileName);
}

// A name of the shape the system gives a long name as its 8.3 alias: it
// fits 8.3 (up to 8 characters, a dot and up to 3) and holds a "~".
bool HasAliasShape(const char* name) {
  size_t base = 0, extension = 0;
  bool dot = false, tilde = false;
  for (size_t step; (step = CharacterLength(name)) != 0; name += step) {
    if (step == 1 && *name == '.') {
      if (dot || base == 0)
        return false;
      dot = true;
      continue;
    }
    if (step == 1 && *name == ' ')
      return false;
    tilde = tilde || (step == 1 && *name == '~');
    (dot ? extension : base) += step;
  }
  return tilde && base <= 8 && extension <= 3 && (!dot || extension > 0);
}

// Which entries of a folder one pass over its listing walks. A package
// mastered without 8.3 names can hold a long name and a second file named
// as the system's alias of it: copied after the long name, the second
// would meet the alias the copy of the first was given. Copied first, it
// keeps its name, and the long name gets an alias still free.
enum Pass { EveryEntry, AliasShapedEntries, OtherEntries };

bool InPass(Pass pass, const char* name) {
  return pass == EveryEntry ||
         HasAliasShape(name) == (pass == AliasShapedEntries);
}

// A source that cannot be walked at all: in copy mode the copy would be
// missing whatever it holds.
int Unwalkable(bool copying) {
  if (copying)
    ReportLine(kCannotCopyFile);
  return 1;
}

// One pass over the listing of `source`, which ends with a backslash;
// `opened`, when given, tells whether the listing could be had.
int WalkListing(const char* source, const char* destination,
                const BY_HANDLE_FILE_INFORMATION* top, bool listed,
                Pass pass, bool* opened = nullptr) {
  bool copying = destination != nullptr;
  char pattern[kTreePathSize];
  if (!FormPath(pattern, source, kAllEntries))
    return Unwalkable(copying);
  WIN32_FIND_DATAA entry;
  memset(&entry, 0, sizeof entry);
  HANDLE search = FindFirstFileA(pattern, &entry);
  if (search == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    if (!copying)
      return 0;
    // A listed sub-folder has "." and ".." at least: one that cannot be
    // listed by its name would leave a hole in the copy.
    if (listed) {
      ReportLine(kCannotReadFolder, source);
      return 1;
    }
    if (NothingThere(error))
      return 0;
    return Unwalkable(copying);
  }
  if (opened != nullptr)
    *opened = true;

  int result = 0;
  do {
    if (IsDotEntry(entry.cFileName) || !InPass(pass, entry.cFileName))
      continue;
    int walked = WalkEntry(source, destination, top, entry);
    if (walked != 0) {
      result = walked;
      if (copying)
        break;
    }
  } while (FindNextFileA(search, &entry));
  // A listing that broke off is an incomplete copy.
  if (copying && result == 0 && GetLastError() != ERROR_NO_MORE_FILES) {
    ReportLine(kCannotCopyFile);
    result = 1;
  }
  FindClose(search);
  return result;
}

// One folder level of the walk; `top` is the identity of the copy's top
// destination folder, null when deleting or when it could not be read.
// `listed`: `source` is a sub-folder that its parent's listing just gave.
int Walk(char* source, const char* destination,
         const BY_HANDLE_FILE_INFORMATION* top, bool listed) {
  bool copying = destination != nullptr;
  // An empty source would become "\", the root of the current drive.
  if (source[0] == '\0')
    return Unwalkable(copying);
  // Once per folder: a double-byte name can end in a byte 0x5C that is no
  // backslash.
  if (!EndsWithBackslash(source)) {
    if (!FolderFits(source))
      return Unwalkable(copying);
    strcat(source, kSeparator);
  }

  if (!copying)
    return WalkListing(source, nullptr, top, listed, EveryEntry);
  bool opened = false;
  int result = WalkListing(source, destination, top, listed,
                           AliasShapedEntries, &opened);
  // Listed once: a folder that no longer lists would leave a hole.
  if (result == 0 && opened)
    result = WalkListing(source, destination, top, true, OtherEntries);
  return result;
}

}  // namespace

int CopyOrDeleteTree(char* source, const char* destination) {
  // Read once for the whole copy. Where it cannot be read the copy goes on
  // without the guard.
  BY_HANDLE_FILE_INFORMATION top;
  bool known = destination != nullptr && ReadFolderIdentity(destination, &top);
  return Walk(source, destination, known ? &top : nullptr, false);
}
