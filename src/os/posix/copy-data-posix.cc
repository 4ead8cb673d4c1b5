#include "os/posix/copy-data-posix.h"

#include <errno.h>
#include <unistd.h>

#include <atomic>

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

// What one kernel copy came to.
enum class Outcome { kDone, kNothing, kRefused, kFailed };

// Runs one kernel copy until `size` bytes are copied or `from` ends. kNothing
// and kRefused mean nothing was copied and the next way can start over;
// kRefused also that this way is not available here. On kFailed `*error`
// is the errno.
template <typename Step>
Outcome KernelCopy(uint64_t size, int* error, Step step) {
  uint64_t copied = 0;
  for (;;) {
    ssize_t n = step();
    if (n == 0) return copied ? Outcome::kDone : Outcome::kNothing;
    if (n > 0) {
      copied += static_cast<uint64_t>(n);
      if (copied >= size) return Outcome::kDone;
      continue;
    }
    if (errno == EINTR) continue;
    if (!copied && Unsupported(errno)) return Outcome::kRefused;
    *error = errno;
    return Outcome::kFailed;
  }
}

// The ways the host refused as unsupported: a copy of many files pays for
// a refusal once. A later way is as fast where an earlier one is refused
// (copy_file_range shares blocks where the file system can).
std::atomic<bool> clone_refused{false};
std::atomic<bool> range_refused{false};
std::atomic<bool> send_refused{false};

#endif

}  // namespace

namespace os_posix {

int CopyData(int from, int to, uint64_t size) {
#ifdef __linux__
  if (!clone_refused) {
    if (ioctl(to, FICLONE, from) == 0) return 0;
    if (Unsupported(errno)) clone_refused = true;
  }
  int error = 0;
  if (size > 0 && !range_refused) {
    switch (KernelCopy(size, &error, [&] {
      return copy_file_range(from, nullptr, to, nullptr, kChunk, 0);
    })) {
      case Outcome::kDone: return 0;
      case Outcome::kFailed: return error;
      case Outcome::kRefused: range_refused = true; break;
      case Outcome::kNothing: break;
    }
  }
  if (size > 0 && !send_refused) {
    switch (KernelCopy(size, &error,
                       [&] { return sendfile(to, from, nullptr, kChunk); })) {
      case Outcome::kDone: return 0;
      case Outcome::kFailed: return error;
      case Outcome::kRefused: send_refused = true; break;
      case Outcome::kNothing: break;
    }
  }
#else
  (void)size;
#endif
  // Files that the kernel calls copy nothing of (empty ones, and pseudo
  // files that report no size) are read to their end.
  return ReadWrite(from, to);
}

}  // namespace os_posix
