// 8.3 aliases of long names, as NTFS gives them (HostSetShortNames,
// ZODERUDO_SHORT_NAMES); off unless the machine is set to give them.
#ifndef ZODERUDO_OS_POSIX_SHORT_NAMES_POSIX_H_
#define ZODERUDO_OS_POSIX_SHORT_NAMES_POSIX_H_

#include <map>
#include <string>

namespace os_posix {

// The entry of the host folder `folder` that answers to `name` as its
// alias; false when none does, `name` has no alias's shape or the machine
// gives no aliases.
bool FindByAlias(const std::string& folder, const std::string& name,
                 std::string* on_disk);

// The aliases of the entries of `folder` that have one, by host name.
std::map<std::string, std::string> AliasesIn(const std::string& folder);

}  // namespace os_posix

#endif  // ZODERUDO_OS_POSIX_SHORT_NAMES_POSIX_H_
