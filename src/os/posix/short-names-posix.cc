// 8.3 aliases: a long name also answers to BASE~N.EXT, given once and kept
// while its entry is there, as NTFS does. The host keeps no aliases, so
// they are given when first needed, in name order, and held here.
#include "os/posix/short-names-posix.h"

#include <dirent.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <algorithm>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "os/posix/host-control.h"
#include "os/posix/machine-posix.h"

namespace {

struct ShortNames {
  bool on = false;
  // host folder -> host name -> alias (upper case)
  std::map<std::string, std::map<std::string, std::string>> aliases;
};

std::mutex short_names_mutex;
std::optional<ShortNames> short_names;

// Callers hold short_names_mutex.
ShortNames& Loaded() {
  if (!short_names) {
    short_names = ShortNames();
    const char* setting = getenv("ZODERUDO_SHORT_NAMES");
    short_names->on = setting && strcmp(setting, "on") == 0;
  }
  return *short_names;
}

void ForgetShortNames() {
  std::lock_guard<std::mutex> lock(short_names_mutex);
  short_names.reset();
}

[[maybe_unused]] const bool kKept =
    (os_posix::KeepMachinePart(ForgetShortNames, nullptr), true);

char Upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string UpperText(const std::string& text) {
  std::string upper = text;
  for (char& c : upper) c = Upper(c);
  return upper;
}

// Characters that an 8.3 name cannot hold.
bool Forbidden(char c) {
  return static_cast<unsigned char>(c) <= ' ' ||
         strchr("\"*+,/:;<=>?[\\]|", c) != nullptr;
}

// Up to 8 characters, then a dot and 1 to 3 more; nothing forbidden.
bool FitsEightDotThree(const std::string& name) {
  size_t dot = name.find('.');
  std::string base = name.substr(0, dot);
  std::string extension =
      dot == std::string::npos ? "" : name.substr(dot + 1);
  if (base.empty() || base.size() > 8 || extension.size() > 3 ||
      (dot != std::string::npos && extension.empty()) ||
      extension.find('.') != std::string::npos) {
    return false;
  }
  return std::none_of(name.begin(), name.end(),
                      [](char c) { return c != '.' && Forbidden(c); });
}

// Letters in upper case, blanks and dots dropped, characters that 8.3
// cannot hold as "_".
std::string Squeezed(const std::string& text, size_t most) {
  std::string kept;
  for (char c : text) {
    if (kept.size() == most) break;
    if (c == ' ' || c == '.') continue;
    kept += Forbidden(c) ? '_' : Upper(c);
  }
  return kept;
}

// BASE~N.EXT for `number`: leading dots do not start the extension.
std::string AliasFor(const std::string& name, int number) {
  size_t first = name.find_first_not_of('.');
  std::string rest = first == std::string::npos ? "" : name.substr(first);
  size_t dot = rest.rfind('.');
  std::string base = Squeezed(rest.substr(0, dot), 6);
  std::string extension =
      dot == std::string::npos ? "" : Squeezed(rest.substr(dot + 1), 3);
  if (base.empty()) base = "_";
  std::string tail = "~" + std::to_string(number);
  base = base.substr(0, std::min(base.size(), 8 - tail.size()));
  return base + tail + (extension.empty() ? "" : "." + extension);
}

// Gives every long name of `folder` that has none an alias that no entry
// has as its name or alias; forgets the aliases of entries gone.
std::map<std::string, std::string>& AliasesOf(ShortNames& state,
                                              const std::string& folder) {
  std::map<std::string, std::string>& aliases = state.aliases[folder];
  std::vector<std::string> names;
  if (DIR* dir = opendir(folder.c_str())) {
    while (struct dirent* entry = readdir(dir)) {
      if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0)
        names.push_back(entry->d_name);
    }
    closedir(dir);
  }
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) {
              return strcasecmp(a.c_str(), b.c_str()) < 0;
            });
  std::set<std::string> present(names.begin(), names.end());
  std::set<std::string> taken;
  for (auto it = aliases.begin(); it != aliases.end();) {
    if (present.count(it->first) == 0) {
      it = aliases.erase(it);
    } else {
      taken.insert(it->second);
      ++it;
    }
  }
  for (const std::string& name : names) taken.insert(UpperText(name));
  for (const std::string& name : names) {
    if (FitsEightDotThree(name) || aliases.count(name) != 0) continue;
    int number = 1;
    std::string alias = AliasFor(name, number);
    while (taken.count(alias) != 0) alias = AliasFor(name, ++number);
    aliases[name] = alias;
    taken.insert(alias);
  }
  return aliases;
}

}  // namespace

namespace os_posix {

bool FindByAlias(const std::string& folder, const std::string& name,
                 std::string* on_disk) {
  if (!FitsEightDotThree(name) || name.find('~') == std::string::npos)
    return false;
  std::lock_guard<std::mutex> lock(short_names_mutex);
  ShortNames& state = Loaded();
  if (!state.on) return false;
  std::string wanted = UpperText(name);
  for (const auto& [host_name, alias] : AliasesOf(state, folder)) {
    if (alias == wanted) {
      *on_disk = host_name;
      return true;
    }
  }
  return false;
}

std::map<std::string, std::string> AliasesIn(const std::string& folder) {
  std::lock_guard<std::mutex> lock(short_names_mutex);
  ShortNames& state = Loaded();
  if (!state.on) return {};
  return AliasesOf(state, folder);
}

}  // namespace os_posix

void HostSetShortNames(bool on) {
  std::lock_guard<std::mutex> lock(short_names_mutex);
  Loaded().on = on;
}
