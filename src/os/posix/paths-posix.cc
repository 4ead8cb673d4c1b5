// Mapping between Windows paths and host paths.
#include "os/posix/paths-posix.h"

#include <ctype.h>
#include <dirent.h>
#include <errno.h>
#include <limits.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "os/posix/code-page-posix.h"
#include "os/posix/machine-posix.h"
#include "os/posix/short-names-posix.h"

namespace {

using os_posix::CharacterLengthIn;
using os_posix::IsSeparator;

bool IsFolder(const std::string& host_path) {
  struct stat st;
  return stat(host_path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool HasWildcard(const char* start, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (start[i] == '*' || start[i] == '?') return true;
  }
  return false;
}

// How a text's components are taken: as they are (the current folder,
// named by the layer itself), or as a caller gave them, which Windows
// tidies up; a search pattern's last component is a mask, not a name.
enum class Naming { kAsIs, kGiven, kSearch };

// The length of a component that Windows keeps: a name that a separator
// follows loses one trailing dot, the last name every trailing dot and
// blank ("pkg." and "pkg " are pkg, but "pkg \x" looks in "pkg ").
size_t KeptLength(const char* start, size_t n, bool last, Naming naming) {
  if (naming == Naming::kAsIs ||
      (last && naming == Naming::kSearch && HasWildcard(start, n))) {
    return n;
  }
  if (!last) return start[n - 1] == '.' ? n - 1 : n;
  while (n > 0 && (start[n - 1] == '.' || start[n - 1] == ' ')) --n;
  return n;
}

// Appends the components of `text` to `parts`, applying "." and "..";
// doubled separators add nothing. Scans the text in place: every path a
// walk touches comes through here.
void AppendComponents(const char* text, std::vector<std::string>* parts,
                      Naming naming = Naming::kAsIs) {
  UINT code_page = os_posix::AnsiCodePage();
  for (const char* p = text;; ++p) {
    const char* start = p;
    while (*p && !IsSeparator(*p)) p += CharacterLengthIn(code_page, p);
    size_t n = static_cast<size_t>(p - start);
    if (n == 2 && start[0] == '.' && start[1] == '.') {
      if (!parts->empty()) parts->pop_back();
    } else if (n != 0 && !(n == 1 && start[0] == '.')) {
      n = KeptLength(start, n, !*p, naming);
      if (n != 0) parts->emplace_back(start, n);
    }
    if (!*p) break;
  }
}

// Characters that no Windows name holds, anywhere in the path; in a
// search pattern the last component is a mask, and nothing in it is
// refused.
bool HasInvalidName(const char* path, Naming naming) {
  UINT code_page = os_posix::AnsiCodePage();
  const char* end = path + strlen(path);
  if (naming == Naming::kSearch) {
    const char* last = os_posix::LastSeparator(code_page, path);
    end = last ? last + 1 : path;
  }
  for (const char* p = path; p < end; p += CharacterLengthIn(code_page, p)) {
    if (CharacterLengthIn(code_page, p) == 1 && strchr("*?<>|\"", *p))
      return true;
  }
  return false;
}

// The drive letter and components of the path before any "." or "..".
// The current folder is read only for a path relative to it.
bool StartingPoint(const char* path, char* letter,
                   std::vector<std::string>* parts, const char** rest) {
  std::string cwd;
  *rest = path;
  if (isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':') {
    *letter = path[0];
    *rest = path + 2;
    // Another drive's own current folder is not kept: "X:rel" starts at
    // the root of X unless X is the current drive.
    if (!IsSeparator(**rest) && os_posix::CurrentWindowsDirectory(&cwd) &&
        toupper(static_cast<unsigned char>(cwd[0])) ==
            toupper(static_cast<unsigned char>(path[0]))) {
      AppendComponents(cwd.c_str() + 3, parts);
    }
    return true;
  }
  if (!os_posix::CurrentWindowsDirectory(&cwd)) return false;
  *letter = cwd[0];
  if (!IsSeparator(path[0])) AppendComponents(cwd.c_str() + 3, parts);
  return true;
}

std::string JoinWindows(char letter, const std::vector<std::string>& parts) {
  std::string path(1, letter);
  path += ":\\";
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) path += '\\';
    path += parts[i];
  }
  return path;
}

// The usual case, every name spelt as on disk, in one status call (or,
// for a new name, one and a listing of its folder) instead of two per
// component: when the host resolves the whole path,
// each folder on the way exists under the name given and is a folder, just
// as the walk one component at a time would find. False (with `out` left
// alone) when the walk one component at a time has to decide.
bool ResolveAsGiven(const std::string& drive_folder,
                    const std::vector<std::string>& parts,
                    os_posix::HostPath* out) {
  // Built in one buffer: this runs for every file a walk touches.
  std::string path = drive_folder == "/" ? "" : drive_folder;
  path.reserve(PATH_MAX);
  size_t folder_end = 0;
  for (const std::string& part : parts) {
    folder_end = path.size();
    path += '/';
    path += part;
  }
  std::string folder = folder_end == 0 ? "/" : path.substr(0, folder_end);
  const std::string& last = parts.back();
  struct stat st;
  if (lstat(path.c_str(), &st) == 0) {
    out->name = last;
    out->exists = true;
    out->status = st;
    out->has_status = true;
  } else if (errno != ENOENT) {
    return false;
  } else {
    // A folder that opens is there and is a folder; one that does not
    // (gone, or unreadable) is left to the walk one component at a time.
    bool listed = false;
    if (os_posix::ListNameNoCase(folder, last, &out->name, &listed)) {
      out->exists = true;  // the name in another letter case
    } else if (listed) {
      out->name = last;
    } else {
      return false;
    }
  }
  out->folder = folder;
  out->in_drive_root = parts.size() <= 1;
  return true;
}

}  // namespace

namespace os_posix {

std::string HostPath::Host() const {
  return name.empty() ? folder : JoinHost(folder, name);
}

std::string JoinHost(const std::string& folder, const std::string& name) {
  std::string path;
  path.reserve(folder.size() + 1 + name.size());
  if (folder != "/") path += folder;
  path += '/';
  path += name;
  return path;
}

std::string HostCurrentDirectory() {
  std::vector<char> buffer(256);
  while (!getcwd(buffer.data(), buffer.size())) {
    if (errno != ERANGE) return "";
    buffer.resize(buffer.size() * 2);
  }
  return buffer.data();
}

bool FindNameNoCase(const std::string& folder, const std::string& name,
                    std::string* on_disk) {
  struct stat st;
  if (lstat(JoinHost(folder, name).c_str(), &st) == 0) {
    *on_disk = name;
    return true;
  }
  return ListNameNoCase(folder, name, on_disk);
}

bool ListNameNoCase(const std::string& folder, const std::string& name,
                    std::string* on_disk, bool* listed) {
  DIR* dir = opendir(folder.c_str());
  if (listed) *listed = dir != nullptr;
  if (!dir) return false;
  std::string best;
  while (struct dirent* entry = readdir(dir)) {
    if (strcasecmp(entry->d_name, name.c_str()) == 0 &&
        (best.empty() || best > entry->d_name)) {
      best = entry->d_name;
    }
  }
  closedir(dir);
  // Real names first: only a name that no entry has can be an alias.
  if (best.empty()) return os_posix::FindByAlias(folder, name, on_disk);
  *on_disk = best;
  return true;
}

DWORD ResolveWindowsPath(const char* path, HostPath* out,
                         bool search_pattern) {
  *out = HostPath();
  // UNC names (and the \\?\ and \\.\ forms) are not supported; Wine also
  // answers ERROR_PATH_NOT_FOUND for a share it cannot reach.
  if (!path || !*path || (IsSeparator(path[0]) && IsSeparator(path[1]))) {
    return ERROR_PATH_NOT_FOUND;
  }
  Naming naming = search_pattern ? Naming::kSearch : Naming::kGiven;
  if (HasInvalidName(path, naming)) return ERROR_INVALID_NAME;
  char letter;
  std::vector<std::string> parts;
  parts.reserve(16);
  const char* rest;
  if (!StartingPoint(path, &letter, &parts, &rest)) return ERROR_PATH_NOT_FOUND;
  AppendComponents(rest, &parts, naming);
  out->windows = JoinWindows(letter, parts);
  out->trailing_separator =
      os_posix::EndsWithSeparator(os_posix::AnsiCodePage(), path);

  std::string folder = DriveFolder(letter);
  if (folder.empty()) return ERROR_PATH_NOT_FOUND;
  if (!parts.empty() && ResolveAsGiven(folder, parts, out))
    return ERROR_SUCCESS;
  if (!IsFolder(folder)) return ERROR_PATH_NOT_FOUND;
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    std::string name;
    if (!FindNameNoCase(folder, parts[i], &name)) return ERROR_PATH_NOT_FOUND;
    folder = JoinHost(folder, name);
    if (!IsFolder(folder)) return ERROR_PATH_NOT_FOUND;
  }
  out->folder = folder;
  out->in_drive_root = parts.size() <= 1;
  if (parts.empty()) {
    out->exists = true;
  } else if (!FindNameNoCase(folder, parts.back(), &out->name)) {
    out->name = parts.back();
  } else {
    out->exists = true;
  }
  return ERROR_SUCCESS;
}

bool WindowsPathOf(const std::string& host_path, std::string* windows_path) {
  if (host_path.empty() || host_path[0] != '/') return false;
  int best = -1;
  size_t best_length = 0;
  for (int i = 0; i < 26; ++i) {
    std::string folder = DriveFolder(static_cast<char>('A' + i));
    if (folder.empty()) continue;
    size_t length = folder == "/" ? 0 : folder.size();
    bool holds = length == 0 ||
                 (host_path.compare(0, length, folder) == 0 &&
                  (host_path.size() == length || host_path[length] == '/'));
    if (holds && (best < 0 || length > best_length)) {
      best = i;
      best_length = length;
    }
  }
  if (best < 0) return false;
  std::string rest = host_path.substr(best_length);
  if (!rest.empty() && rest[0] == '/') rest.erase(0, 1);
  for (char& c : rest) {
    if (c == '/') c = '\\';
  }
  *windows_path = std::string(1, static_cast<char>('A' + best)) + ":\\" + rest;
  return true;
}

bool CurrentWindowsDirectory(std::string* windows_path) {
  std::string host = HostCurrentDirectory();
  if (host.empty()) return false;
  return RememberedCurrentDirectory(host, windows_path) ||
         WindowsPathOf(host, windows_path);
}

}  // namespace os_posix
