// Moving a file's bytes to another file as fast as the host allows.
#ifndef ZODERUDO_OS_POSIX_COPY_DATA_POSIX_H_
#define ZODERUDO_OS_POSIX_COPY_DATA_POSIX_H_

namespace os_posix {

// Copies everything from the start of `from` to the end of the empty file
// `to` (both open, `from` at offset 0). Returns 0 or the errno of the
// failure. Where the host can, the kernel copies (or shares) the blocks
// itself: a clone of the whole file, then copy_file_range, then sendfile;
// plain reads and writes are the last resort.
int CopyData(int from, int to);

}  // namespace os_posix

#endif  // ZODERUDO_OS_POSIX_COPY_DATA_POSIX_H_
