#include "run/staged-run.h"

#include <string.h>

#include "console/report-line.h"
#include "os/os.h"
#include "run/run-update.h"
#include "staging/copy-or-delete-tree.h"
#include "staging/same-folder.h"
#include "staging/staging-area.h"

namespace {

const char kSeparator[] = "\\";
const unsigned long kSystemDirectorySize = 256;
const DWORD kCleanUpPause = 5000;  // milliseconds

bool SameLetter(char a, char b) {
  if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 'a' + 'A');
  if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 'a' + 'A');
  return a == b;
}

// Whether two folder paths are one name, letter case and trailing
// backslashes aside.
bool SameName(const char* first, const char* second) {
  size_t length = strlen(first);
  while (length > 0 && first[length - 1] == '\\') --length;
  size_t other = strlen(second);
  while (other > 0 && second[other - 1] == '\\') --other;
  if (length == 0 || length != other) return false;
  for (size_t i = 0; i < length; ++i) {
    if (!SameLetter(first[i], second[i])) return false;
  }
  return true;
}

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
      return SameName(package_directory, system_root);
  }
}

// "X:\": a drive letter, a colon and a backslash.
bool IsDriveRoot(const char* root) {
  return ((root[0] >= 'A' && root[0] <= 'Z') ||
          (root[0] >= 'a' && root[0] <= 'z')) &&
         root[1] == ':' && root[2] == '\\' && root[3] == '\0';
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

void ReserveStagingName(const char* system_root, char* staging_path) {
  // Without the system drive there is no place for a name: a name asked
  // for in "" would be reserved in whatever folder is current.
  memset(staging_path, 0, kStagingPathSize);
  if (IsDriveRoot(system_root))
    MakeStagingPath(system_root, kStagingPrefix, staging_path);
  if (strlen(staging_path) + strlen(kSeparator) >= kStagingPathSize)
    memset(staging_path, 0, kStagingPathSize);
  strcat(staging_path, kSeparator);
}

bool FindPackageDirectory(const char* argument, const char* starting_directory,
                          const char* system_root, char* package_directory) {
  memset(package_directory, 0, kRunDirectorySize);
  if (!SetCurrentDirectoryA(argument)) {
    ReportLine("Unable to open package directory ", argument);
    return false;
  }
  DWORD length = GetCurrentDirectoryA(kRunDirectorySize, package_directory);
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
  if (IsSystemRoot(package_directory, system_root)) {
    ReportLine("Package directory holds the staging directory: ", argument);
    return false;
  }
  return true;
}

void CleanUpStaging(char* staging_path) {
  Sleep(kCleanUpPause);
  if (CopyOrDeleteTree(staging_path, nullptr) != 0) {
    ReportLine("Could not delete files from temporary directory.");
    return;
  }
  if (!RemoveDirectoryA(staging_path))
    ReportLine("Could not remove temporary directory", staging_path);
}
