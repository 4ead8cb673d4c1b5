// FindFirstFileA, FindNextFileA and FindClose. A search handle holds every
// match, so that FindNextFileA only has to hand them out: entries removed
// or added while a search is open do not change what it delivers.
#include <ctype.h>
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "os/posix/attributes-posix.h"
#include "os/posix/code-page-posix.h"
#include "os/posix/handles-posix.h"
#include "os/posix/machine-posix.h"
#include "os/posix/paths-posix.h"
#include "os/posix/short-names-posix.h"

namespace {

class Search : public os_posix::HandleObject {
 public:
  explicit Search(std::vector<WIN32_FIND_DATAA> matches)
      : HandleObject(os_posix::HandleKind::kSearch),
        matches_(std::move(matches)) {}
  // The next match not yet handed out; false when none is left.
  bool TakeNext(WIN32_FIND_DATAA* data) {
    if (next_ >= matches_.size()) return false;
    *data = matches_[next_++];
    return true;
  }

 private:
  std::vector<WIN32_FIND_DATAA> matches_;
  size_t next_ = 1;  // the first match goes out with FindFirstFileA
};

bool HasWildcard(const std::string& name) {
  return name.find_first_of("*?") != std::string::npos;
}

bool SameLetter(char a, char b) {
  return tolower(static_cast<unsigned char>(a)) ==
         tolower(static_cast<unsigned char>(b));
}

// * and ? regardless of case; backtracks to the last * only.
bool GlobNoCase(const char* pattern, const char* name) {
  const char* star = nullptr;
  const char* resume = nullptr;
  while (*name) {
    if (*pattern == '*') {
      star = pattern++;
      resume = name;
    } else if (*pattern && (*pattern == '?' || SameLetter(*pattern, *name))) {
      ++pattern;
      ++name;
    } else if (star) {
      pattern = star + 1;
      name = ++resume;
    } else {
      return false;
    }
  }
  while (*pattern == '*') ++pattern;
  return !*pattern;
}

// As on Windows, a final ".*" may also match nothing: "*.*" matches
// every name, "readme.*" matches "readme".
bool MatchesPattern(const std::string& pattern, const char* name) {
  if (GlobNoCase(pattern.c_str(), name)) return true;
  size_t n = pattern.size();
  return n >= 2 && pattern.compare(n - 2, 2, ".*") == 0 &&
         GlobNoCase(pattern.substr(0, n - 2).c_str(), name);
}

// `path` is relative to the folder `folder_fd` (or absolute, with
// AT_FDCWD). False when the entry vanished or its name does not fit.
bool Describe(int folder_fd, const char* path, const char* name,
              WIN32_FIND_DATAA* data) {
  struct stat st;
  if (strlen(name) >= MAX_PATH ||
      fstatat(folder_fd, path, &st, AT_SYMLINK_NOFOLLOW) != 0) {
    return false;
  }
  // As Wine does, a host symbolic link is listed as a reparse point with
  // the attributes of what it leads to (a folder, a file), if anything.
  bool link = S_ISLNK(st.st_mode);
  struct stat target;
  if (link && fstatat(folder_fd, path, &target, 0) == 0) st = target;
  memset(data, 0, sizeof *data);
  data->dwFileAttributes = os_posix::AttributesOf(name, st);
  if (link) data->dwFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
  // The host keeps no creation time that stat reports; use the last write.
  data->ftCreationTime = os_posix::FileTimeOf(st.st_mtim);
  data->ftLastAccessTime = os_posix::FileTimeOf(st.st_atim);
  data->ftLastWriteTime = os_posix::FileTimeOf(st.st_mtim);
  if (!S_ISDIR(st.st_mode)) {
    uint64_t size = static_cast<uint64_t>(st.st_size);
    data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data->nFileSizeLow = static_cast<DWORD>(size);
  }
  // What the system shows of a name it cannot give exactly.
  std::string shown = os_posix::NarrowName(name);
  if (shown.size() >= MAX_PATH) return false;
  strcpy(data->cFileName, shown.c_str());
  return true;
}

// The entry's 8.3 alias, where the machine gives it one.
void ShowAlias(const std::map<std::string, std::string>& aliases,
               const std::string& name, WIN32_FIND_DATAA* data) {
  auto alias = aliases.find(name);
  if (alias != aliases.end())
    strcpy(data->cAlternateFileName, alias->second.c_str());
}

// Only a folder that is not there is "not found": a caller must be able to
// tell a folder it cannot read from one that is gone.
DWORD ErrorOfOpendir(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
      return ERROR_ACCESS_DENIED;
    case EMFILE:
    case ENFILE:
      return ERROR_TOO_MANY_OPEN_FILES;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    default:
      return ERROR_GEN_FAILURE;
  }
}

// The folder's entries matching the pattern: "." and ".." first (never
// at a drive root), then the rest in case-insensitive name order.
DWORD ListMatches(const os_posix::HostPath& where,
                  std::vector<WIN32_FIND_DATAA>* matches) {
  DIR* dir = opendir(where.folder.c_str());
  if (!dir) return ErrorOfOpendir(errno);
  std::vector<std::string> names;
  while (struct dirent* entry = readdir(dir)) {
    if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0 &&
        MatchesPattern(where.name, entry->d_name)) {
      names.push_back(entry->d_name);
    }
  }
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) {
              return strcasecmp(a.c_str(), b.c_str()) < 0;
            });
  if (!where.in_drive_root) {
    for (const char* dots : {"..", "."}) {
      if (MatchesPattern(where.name, dots)) names.insert(names.begin(), dots);
    }
  }
  // Each entry's status relative to the open folder: the host need not
  // walk the whole path again for each.
  WIN32_FIND_DATAA data;
  std::map<std::string, std::string> aliases =
      os_posix::AliasesIn(where.folder);
  for (const std::string& name : names) {
    if (Describe(dirfd(dir), name.c_str(), name.c_str(), &data)) {
      ShowAlias(aliases, name, &data);
      matches->push_back(data);
    }
  }
  closedir(dir);
  return matches->empty() ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS;
}

// The folder that `pattern` searches is a file ("file\*"), which Windows
// cannot open as a folder.
bool SearchesAFile(const char* pattern) {
  const char* last = os_posix::LastSeparator(os_posix::AnsiCodePage(), pattern);
  if (!last || last == pattern || last[-1] == ':') return false;  // a root
  std::string folder(pattern, static_cast<size_t>(last - pattern));
  os_posix::HostPath where;
  struct stat st;
  return os_posix::ResolveWindowsPath(folder.c_str(), &where) ==
             ERROR_SUCCESS &&
         where.exists && stat(where.Host().c_str(), &st) == 0 &&
         !S_ISDIR(st.st_mode);
}

DWORD FindMatches(const char* pattern, std::vector<WIN32_FIND_DATAA>* matches) {
  if (!*pattern) return ERROR_PATH_NOT_FOUND;
  os_posix::HostPath where;
  DWORD error = os_posix::ResolveWindowsPath(pattern, &where, true);
  if (error == ERROR_PATH_NOT_FOUND && SearchesAFile(pattern))
    return ERROR_DIRECTORY;
  if (error != ERROR_SUCCESS) return error;
  // A name ending in a separator, or a bare drive root, names no entry.
  if (where.name.empty() || where.trailing_separator)
    return ERROR_FILE_NOT_FOUND;
  if (HasWildcard(where.name)) return ListMatches(where, matches);
  WIN32_FIND_DATAA data;
  if (!where.exists ||
      !Describe(AT_FDCWD, where.Host().c_str(), where.name.c_str(), &data)) {
    return ERROR_FILE_NOT_FOUND;
  }
  ShowAlias(os_posix::AliasesIn(where.folder), where.name, &data);
  matches->push_back(data);
  return ERROR_SUCCESS;
}

}  // namespace

HANDLE WINAPI FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data) {
  // Traced even when made to fail: the trace shows what was attempted.
  os_posix::TraceCall("FindFirstFileA", pattern);
  if (os_posix::TakeInjectedFailure("FindFirstFileA"))
    return INVALID_HANDLE_VALUE;
  if (!pattern || !data) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  std::vector<WIN32_FIND_DATAA> matches;
  DWORD error = FindMatches(pattern, &matches);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  *data = matches[0];
  return os_posix::OpenHandle(std::make_unique<Search>(std::move(matches)));
}

BOOL WINAPI FindNextFileA(HANDLE search, LPWIN32_FIND_DATAA data) {
  if (os_posix::TakeInjectedFailure("FindNextFileA")) return FALSE;
  auto* open = static_cast<Search*>(
      os_posix::LookUpHandle(search, {os_posix::HandleKind::kSearch}));
  if (!open) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!data) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!open->TakeNext(data)) {
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI FindClose(HANDLE search) {
  if (os_posix::TakeInjectedFailure("FindClose")) return FALSE;
  if (!os_posix::TakeHandle(search, {os_posix::HandleKind::kSearch})) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}
