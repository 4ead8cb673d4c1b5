// Windows paths on the host: drive letters name host folders, either
// slash separates, and names match regardless of ASCII letter case.
#ifndef ZODERUDO_OS_POSIX_PATHS_POSIX_H_
#define ZODERUDO_OS_POSIX_PATHS_POSIX_H_

#include <sys/stat.h>

#include <string>

#include "os/posix/win32-posix.h"

namespace os_posix {

struct HostPath {
  std::string windows;  // normalised "X:\a\b", letter case as given
  std::string folder;   // host folder holding the last component
  std::string name;     // on-disk name if found, else as given; "" at a root
  bool exists = false;  // the last component is in `folder` (a root is)
  bool in_drive_root = false;       // `folder` is the drive's own folder
  bool trailing_separator = false;  // the path ended in a separator
  // The status of the last component, not following a final link, when
  // the resolution had it at hand; callers that need it take it from
  // here instead of asking again.
  bool has_status = false;
  struct stat status = {};

  // The host path of the last component.
  std::string Host() const;
};

// Resolves a Windows path: "X:\abs", "\rooted" (current drive), "X:rel"
// (relative to the current folder when X is the current drive, else to
// the root of X) or relative. "." and ".." are applied to the text, ".."
// stopping at the root, and names are tidied as Windows does: a name
// followed by a separator loses one trailing dot, the last name all its
// trailing dots and blanks. Every folder on the way must exist. Returns
// ERROR_SUCCESS; ERROR_INVALID_NAME for a path with one of * ? < > | "
// (a `search_pattern` may have anything in its last component, which is
// then taken as it is when it holds a wildcard); or ERROR_PATH_NOT_FOUND
// for an empty path, an unmapped drive, a UNC path (unsupported) or a
// missing folder on the way.
DWORD ResolveWindowsPath(const char* path, HostPath* out,
                         bool search_pattern = false);

// The Windows name of the current folder; false when it cannot be read or
// lies under no drive.
bool CurrentWindowsDirectory(std::string* windows_path);

// The Windows name of an absolute host path: the drive whose folder is
// its longest prefix (whole components). False when no drive holds it.
bool WindowsPathOf(const std::string& host_path, std::string* windows_path);

// The entry of `folder` called `name`: the exact name when present, else
// the first (in byte order) that equals it regardless of ASCII case.
bool FindNameNoCase(const std::string& folder, const std::string& name,
                    std::string* on_disk);

// The same, listing `folder` only: for a caller that already knows no
// entry has exactly that name. `listed`, when given, tells whether the
// folder could be opened at all.
bool ListNameNoCase(const std::string& folder, const std::string& name,
                    std::string* on_disk, bool* listed = nullptr);

// The host path of `name` in `folder`.
std::string JoinHost(const std::string& folder, const std::string& name);

// The current host folder ("" when unreadable).
std::string HostCurrentDirectory();

}  // namespace os_posix

#endif  // ZODERUDO_OS_POSIX_PATHS_POSIX_H_
