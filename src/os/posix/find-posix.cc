// FindFirstFileA and FindClose. A search handle holds every match, so
// that FindNextFileA only has to hand them out.
#include <ctype.h>
#include <dirent.h>
#include <errno.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "os/posix/handles-posix.h"
#include "os/posix/machine-posix.h"
#include "os/posix/paths-posix.h"

namespace {

class Search : public os_posix::HandleObject {
 public:
  explicit Search(std::vector<WIN32_FIND_DATAA> matches)
      : HandleObject(os_posix::HandleKind::kSearch),
        matches_(std::move(matches)) {}
  const std::vector<WIN32_FIND_DATAA>& matches() const { return matches_; }
  size_t next = 1;  // the first match goes out with FindFirstFileA

 private:
  std::vector<WIN32_FIND_DATAA> matches_;
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

FILETIME FileTimeOf(const struct timespec& t) {
  // 100 ns ticks since 1601-01-01.
  uint64_t ticks =
      (static_cast<uint64_t>(t.tv_sec) + 11644473600ull) * 10000000ull +
      static_cast<uint64_t>(t.tv_nsec) / 100;
  return {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

// Attributes as Wine gives them for host files: a folder or an archived
// file, read-only when the owner may not write, hidden for dot names.
DWORD AttributesOf(const char* name, const struct stat& st) {
  DWORD attributes =
      S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  if (!(st.st_mode & S_IWUSR)) attributes |= FILE_ATTRIBUTE_READONLY;
  if (name[0] == '.' && strcmp(name, ".") != 0 && strcmp(name, "..") != 0) {
    attributes |= FILE_ATTRIBUTE_HIDDEN;
  }
  return attributes;
}

// False when the entry vanished or its name does not fit.
bool Describe(const std::string& host_path, const char* name,
              WIN32_FIND_DATAA* data) {
  struct stat st;
  if (strlen(name) >= MAX_PATH || (stat(host_path.c_str(), &st) != 0 &&
                                   lstat(host_path.c_str(), &st) != 0)) {
    return false;
  }
  memset(data, 0, sizeof *data);
  data->dwFileAttributes = AttributesOf(name, st);
  // The host keeps no creation time that stat reports; use the last write.
  data->ftCreationTime = FileTimeOf(st.st_mtim);
  data->ftLastAccessTime = FileTimeOf(st.st_atim);
  data->ftLastWriteTime = FileTimeOf(st.st_mtim);
  if (!S_ISDIR(st.st_mode)) {
    uint64_t size = static_cast<uint64_t>(st.st_size);
    data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data->nFileSizeLow = static_cast<DWORD>(size);
  }
  strcpy(data->cFileName, name);
  return true;
}

// The folder's entries matching the pattern: "." and ".." first (never
// at a drive root), then the rest in case-insensitive name order.
DWORD ListMatches(const os_posix::HostPath& where,
                  std::vector<WIN32_FIND_DATAA>* matches) {
  DIR* dir = opendir(where.folder.c_str());
  if (!dir) return errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_PATH_NOT_FOUND;
  std::vector<std::string> names;
  while (struct dirent* entry = readdir(dir)) {
    if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0 &&
        MatchesPattern(where.name, entry->d_name)) {
      names.push_back(entry->d_name);
    }
  }
  closedir(dir);
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) {
              return strcasecmp(a.c_str(), b.c_str()) < 0;
            });
  if (!where.in_drive_root) {
    for (const char* dots : {"..", "."}) {
      if (MatchesPattern(where.name, dots)) names.insert(names.begin(), dots);
    }
  }
  WIN32_FIND_DATAA data;
  for (const std::string& name : names) {
    std::string host = os_posix::JoinHost(where.folder, name);
    if (Describe(host, name.c_str(), &data)) matches->push_back(data);
  }
  return matches->empty() ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS;
}

DWORD FindMatches(const char* pattern, std::vector<WIN32_FIND_DATAA>* matches) {
  if (!*pattern) return ERROR_PATH_NOT_FOUND;
  os_posix::HostPath where;
  DWORD error = os_posix::ResolveWindowsPath(pattern, &where);
  if (error != ERROR_SUCCESS) return error;
  // A name ending in a separator, or a bare drive root, names no entry.
  if (where.name.empty() || where.trailing_separator)
    return ERROR_FILE_NOT_FOUND;
  if (HasWildcard(where.name)) return ListMatches(where, matches);
  WIN32_FIND_DATAA data;
  if (!where.exists || !Describe(where.Host(), where.name.c_str(), &data)) {
    return ERROR_FILE_NOT_FOUND;
  }
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

BOOL WINAPI FindClose(HANDLE search) {
  if (os_posix::TakeInjectedFailure("FindClose")) return FALSE;
  if (!os_posix::TakeHandle(search, {os_posix::HandleKind::kSearch})) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}
