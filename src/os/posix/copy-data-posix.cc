#include "os/posix/copy-data-posix.h"

#include <errno.h>
#include <unistd.h>

#ifdef __linux__
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/sendfile.h>
#endif

namespace {

// Errors that only mean "not this way": the next way may still work.
bool Unsupported(int error) {
  return error == ENOSYS || error == EOPNOTSUPP || error == EXDEV ||
         error == EINVAL || error == ENOTTY || error == EBADF ||
         error == ETXTBSY || error == EPERM;
}

int ReadWrite(int from, int to) {
  char buffer[1 << 16];
  for (;;) {
    ssize_t got = read(from, buffer, sizeof buffer);
    if (got == 0) return 0;
    if (got < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    for (ssize_t done = 0; done < got;) {
      ssize_t put = write(to, buffer + done, static_cast<size_t>(got - done));
      if (put < 0 && errno != EINTR) return errno;
      if (put > 0) done += put;
    }
  }
}

#ifdef __linux__

const size_t kChunk = size_t{1} << 30;

// Runs one kernel copy until the end of `from`. Returns 0 when done, -1
// when this way is not available and nothing has been copied yet (so the
// next way can start over), else the errno of the failure.
template <typename Step>
int KernelCopy(Step step) {
  bool copied = false;
  for (;;) {
    ssize_t n = step();
    if (n == 0) return copied ? 0 : -1;  // empty, or a file the call skips
    if (n > 0) {
      copied = true;
      continue;
    }
    if (errno == EINTR) continue;
    return !copied && Unsupported(errno) ? -1 : errno;
  }
}

#endif

}  // namespace

namespace os_posix {

int CopyData(int from, int to) {
#ifdef __linux__
  if (ioctl(to, FICLONE, from) == 0) return 0;
  int result = KernelCopy([&] {
    return copy_file_range(from, nullptr, to, nullptr, kChunk, 0);
  });
  if (result >= 0) return result;
  result = KernelCopy([&] { return sendfile(to, from, nullptr, kChunk); });
  if (result >= 0) return result;
#endif
  // Files that the kernel calls copy nothing of (empty ones, and pseudo
  // files that report no size) are read to their end.
  return ReadWrite(from, to);
}

}  // namespace os_posix
