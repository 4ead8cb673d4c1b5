// The file attributes (and times) the layer shows for host entries, as
// Wine shows them: a folder, or a file with the archive bit; read-only
// when the owner may not write; hidden when the name begins with a dot.
// Nothing else is kept: setting hidden, system or archive is accepted and
// changes nothing, and read-only is set on files only (as Wine does: on
// Windows it keeps nobody from adding entries to a folder).
#ifndef ZODERUDO_OS_POSIX_ATTRIBUTES_POSIX_H_
#define ZODERUDO_OS_POSIX_ATTRIBUTES_POSIX_H_

#include <sys/stat.h>

#include "os/posix/win32-posix.h"

namespace os_posix {

// A name that begins with a dot, other than "." and "..".
bool IsHiddenName(const char* name);

// The owner may not write.
bool IsReadOnly(const struct stat& st);

// The attributes of the entry `name` whose status is `st`.
DWORD AttributesOf(const char* name, const struct stat& st);

// A host time as Windows counts it: 100 ns ticks since 1601-01-01.
FILETIME FileTimeOf(const struct timespec& t);

}  // namespace os_posix

#endif  // ZODERUDO_OS_POSIX_ATTRIBUTES_POSIX_H_
