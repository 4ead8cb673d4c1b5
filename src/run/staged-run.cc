#include "run/staged-run.h"

#include <string.h>

#include "console/report-line.h"
#include "os/os.h"
#include "run/run-update.h"
#include "staging/copy-or-delete-tree.h"
#include "staging/path-characters.h"
#include "staging/pinned-folder.h"
#include "staging/same-folder.h"
#include "staging/staging-area.h"

namespace {

const unsigned long kSystemDirectorySize = 256;
const DWORD kCleanUpPause = 5000;  // milliseconds

// The staging directory will lie directly in the root of the system drive:
// a package that is that root, under whatever name, would be copied into
// itself, over and over, until the disk is full. The folders themselves
// are compared; only where the system cannot tell are the names.
bool IsSystemRoot(const char* package_directory, const char* system_root) {
  switch (CompareFolders(package_directory, system_root)) {
    case FolderSame:
      return true;
    case FolderDifferent:
      return false;
    default:
      return SameFolderName(package_directory, system_root);
  }
}

}  // namespace

void ReadSystemRoot(char* system_root) {
  char system_directory[kSystemDirectorySize];
  memset(system_directory, 0, sizeof system_directory);
  memset(system_root, 0, kSystemRootSize);
  GetSystemDirectoryA(system_directory, sizeof system_directory);
  // At most three characters; the fourth stays zero.
  for (unsigned i = 0; i + 1 < kSystemRootSize && system_directory[i]; ++i)
    system_root[i] = system_directory[i];
}

void MendQuotedBackslash(char* argument) {
  // No trail byte of a double-byte code page is a quote.
  size_t length = strlen(argument);
  if (length > 0 && argument[length - 1] == '"')
    argument[length - 1] = '\\';
}

bool FindPackageDirectory(const char* argument, const char* starting_directory,
                          const char* system_root, char* package_directory) {
  memset(package_directory, 0, kRunDirectorySize);
  if (!SetCurrentDirectoryA(argument)) {
    ReportLine("Unable to open package directory ", argument);
    return false;
  }
  DWORD length = GetCurrentDirectoryA(kRunDirectorySize, package_directory);
  bool reenterable = length != 0 && length < kRunDirectorySize &&
                     LeadsBack(package_directory);
  SetCurrentDirectoryA(starting_directory);
  if (length == 0) {
    memset(package_directory, 0, kRunDirectorySize);
    ReportLine("Unable to open package directory ", argument);
    return false;
  }
  // The copy must be able to list the package: a longer path would pass
  // here only to fail in the copy, with a message about a file, and leave
  // an empty staging directory behind. (A value above the buffer's size is
  // the size the path would need.)
  if (length > kLongestWalkedFolder) {
    memset(package_directory, 0, kRunDirectorySize);
    ReportLine("Package directory path is too long: ", argument);
    return false;
  }
  if (!reenterable) {
    memset(package_directory, 0, kRunDirectorySize);
    ReportLine("Unable to open package directory ", argument);
    return false;
  }
  if (IsSystemRoot(package_directory, system_root)) {
    ReportLine("Package directory holds the staging directory: ", argument);
    return false;
  }
  return true;
}

bool EnterStagingDirectory(const char* staging_path, HANDLE pin) {
  // The name is checked first, then the folder the run stands in, which
  // is what the update inherits.
  return IsPinnedFolder(staging_path, pin) &&
         SetCurrentDirectoryA(staging_path) && IsPinnedFolder(".", pin);
}

void CleanUpStaging(char* staging_path, HANDLE pin) {
  Sleep(kCleanUpPause);
  RemoveStagingDirectory(staging_path, pin);
}
