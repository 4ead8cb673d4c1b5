// Moving a file's bytes to another file as fast as the host allows.
#ifndef ZODERUDO_OS_POSIX_COPY_DATA_POSIX_H_
#define ZODERUDO_OS_POSIX_COPY_DATA_POSIX_H_

#include <stdint.h>

namespace os_posix {

// Copies everything from the start of `from` to the end of the empty file
// `to` (both open, `from` at offset 0); `size` is what `from` held when it
// was opened, so the copy need not ask once more for its end. Returns 0 or
// the errno of the failure. Where the host can, the kernel copies (or
// shares) the blocks itself: a clone of the whole file, then
// copy_file_range, then sendfile; plain reads and writes are the last
// resort. A way the host refused once is not tried again.
int CopyData(int from, int to, uint64_t size);

}  // namespace os_posix

#endif  // ZODERUDO_OS_POSIX_COPY_DATA_POSIX_H_
