// File handles: opening, reading, writing, the file pointer, the size and
// byte-range locks.
//
// Access rights map to the open mode: FILE_APPEND_DATA without
// FILE_WRITE_DATA opens with O_APPEND, so every write lands at the end in
// one step, as Windows does for such a handle. Share modes are accepted
// and not enforced. Locks are open-file-description locks, so that two
// handles of one process exclude each other as on Windows; they are
// advisory (reads and writes of a locked range by others still succeed),
// and exclusive, as on Windows: a handle without write access locks
// through a descriptor of its own for writing, where the file may be
// written at all, and else takes a shared lock. Of the share
// modes FILE_SHARE_DELETE counts: without it the entry opened can be
// neither renamed nor removed by name while the handle is open, which is
// what a program relies on to pin a folder. So does FILE_SHARE_WRITE
// between the handles of one process: an open that would write, or not
// share writing, is refused while another handle of the file does not
// share writing, or writes. Only the
// dispositions the program uses are offered: OPEN_EXISTING, OPEN_ALWAYS.
// As on Windows, a folder opens only with FILE_FLAG_BACKUP_SEMANTICS, and
// then not for writing (the host opens no folder for writing).
//
// NtCreateFile makes a folder and holds it in one call, or opens a file
// by a full path or by its name in a folder that a handle holds (through
// that handle's descriptor, whatever its name leads to by then). Every
// open is traced with the access and the share mode asked for.
#include <errno.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "os/nt-calls.h"
#include "os/posix/attributes-posix.h"
#include "os/posix/handles-posix.h"
#include "os/posix/machine-posix.h"
#include "os/posix/paths-posix.h"
#include "os/posix/security-posix.h"

namespace {

class File : public os_posix::HandleObject {
 public:
  File(int fd, std::string name, bool readable, bool writable,
       bool appendable, bool shares_delete, bool shares_write,
       const struct stat& st, bool owns_fd = true, std::string windows = "")
      : HandleObject(os_posix::HandleKind::kFile),
        fd(fd),
        name(std::move(name)),
        windows(std::move(windows)),
        readable(readable),
        writable(writable),
        appendable(appendable),
        shares_delete(shares_delete),
        shares_write(shares_write),
        device(st.st_dev),
        inode(st.st_ino),
        owns_fd(owns_fd) {}
  // Closing the descriptor also drops its locks.
  ~File() override {
    if (owns_fd) close(fd);
    if (lock_fd != fd) close(lock_fd);
  }
  bool HoldsAgainstDelete(const struct stat& st) const override {
    return !shares_delete && st.st_dev == device && st.st_ino == inode;
  }
  bool RefusesWriting(const struct stat& st, bool writes,
                      bool shares) const override {
    return st.st_dev == device && st.st_ino == inode &&
           ((writes && !shares_write) || (appendable && !shares));
  }

  const int fd;
  const std::string name;  // on disk; "" for a drive root
  const std::string windows;  // the path it was opened by
  const bool readable;
  const bool writable;    // may write anywhere, and cut the file
  const bool appendable;  // may add at the end
  const bool shares_delete;
  const bool shares_write;
  const dev_t device;
  const ino_t inode;
  const bool owns_fd;     // false for a standard stream, which stays open
  std::vector<std::pair<uint64_t, uint64_t>> locks;  // offset, length
  int lock_fd = fd;  // the descriptor the locks are set through
};

File* FileOf(HANDLE handle) {
  return static_cast<File*>(
      os_posix::LookUpHandle(handle, {os_posix::HandleKind::kFile}));
}

DWORD ErrorOfOpen(int error) {
  switch (error) {
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case ENOSPC:
      return ERROR_DISK_FULL;
    default:  // EACCES, EPERM, EROFS, EISDIR, ...
      return ERROR_ACCESS_DENIED;
  }
}

DWORD ErrorOfIo(int error) {
  switch (error) {
    case EBADF:
      return ERROR_ACCESS_DENIED;
    case ENOSPC:
    case EFBIG:
      return ERROR_DISK_FULL;
    default:
      return ERROR_GEN_FAILURE;
  }
}

template <typename T>
T Fail(DWORD error, T result) {
  SetLastError(error);
  return result;
}

// OPEN_ALWAYS tells whether the file was there: O_EXCL first, then the
// plain open.
int OpenHost(const std::string& path, int flags, DWORD disposition,
             bool* existed) {
  *existed = true;
  if (disposition == OPEN_EXISTING) return open(path.c_str(), flags);
  int fd = open(path.c_str(), flags | O_CREAT | O_EXCL, 0666);
  if (fd >= 0 || errno != EEXIST) {
    *existed = false;
    return fd;
  }
  return open(path.c_str(), flags);
}

bool ToRange(DWORD low, DWORD high, DWORD length_low, DWORD length_high,
             uint64_t* offset, uint64_t* length) {
  *offset = (static_cast<uint64_t>(high) << 32) | low;
  *length = (static_cast<uint64_t>(length_high) << 32) | length_low;
  // fcntl takes signed offsets and reads a zero length as "to the end".
  return *length != 0 && *offset <= INT64_MAX && *length <= INT64_MAX - *offset;
}

bool SetLock(int fd, short type, uint64_t offset, uint64_t length) {
  struct flock lock = {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = static_cast<off_t>(offset);
  lock.l_len = static_cast<off_t>(length);
  int result;
  do {
    result = fcntl(fd, F_OFD_SETLK, &lock);
  } while (result < 0 && errno == EINTR);
  return result == 0;
}

}  // namespace

namespace {

// " access=0x... share=0x...", as the trace shows an open.
std::string Modes(DWORD access, DWORD share_mode) {
  char modes[64];
  snprintf(modes, sizeof modes, " access=0x%X share=0x%X",
           static_cast<unsigned>(access), static_cast<unsigned>(share_mode));
  return modes;
}

// Opens the host entry `host` (`name` on disk, `windows` as asked for).
HANDLE OpenEntry(const std::string& host, const std::string& name,
                 const std::string& windows, DWORD access, DWORD share_mode,
                 DWORD disposition, bool folders) {
  bool readable = access & (GENERIC_READ | FILE_READ_DATA);
  bool writable = access & (GENERIC_WRITE | FILE_WRITE_DATA);
  bool appendable = writable || (access & FILE_APPEND_DATA);
  int flags = O_CLOEXEC;  // Windows handles are not inherited unless asked
  if (readable && appendable) {
    flags |= O_RDWR;
  } else if (appendable) {
    flags |= O_WRONLY;
  } else {
    flags |= O_RDONLY;
  }
  if (appendable && !writable) flags |= O_APPEND;

  bool existed;
  int fd = OpenHost(host, flags, disposition, &existed);
  if (fd < 0) return Fail(ErrorOfOpen(errno), INVALID_HANDLE_VALUE);
  struct stat st;
  // Linux opens a folder for reading whatever the flags say.
  if (fstat(fd, &st) != 0 || (S_ISDIR(st.st_mode) && !folders)) {
    close(fd);
    return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
  }
  // Windows opens no read-only file for writing, whoever asks; the host
  // lets its superuser through.
  if (appendable && existed && os_posix::IsReadOnly(st)) {
    close(fd);
    return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
  }
  bool shares_write = (share_mode & FILE_SHARE_WRITE) != 0;
  if (os_posix::WritingRefused(st, appendable, shares_write)) {
    close(fd);
    return Fail(ERROR_SHARING_VIOLATION, INVALID_HANDLE_VALUE);
  }
  SetLastError(disposition == OPEN_ALWAYS && existed ? ERROR_ALREADY_EXISTS
                                                     : ERROR_SUCCESS);
  return os_posix::OpenHandle(std::make_unique<File>(
      fd, name, readable, writable, appendable,
      (share_mode & FILE_SHARE_DELETE) != 0, shares_write, st, true,
      windows));
}

NtStatus StatusOf(DWORD error) {
  switch (error) {
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
      return kNtNameCollision;
    case ERROR_ACCESS_DENIED:
      return kNtAccessDenied;
    case ERROR_DELETE_PENDING:
      return kNtDeletePending;
    case ERROR_SHARING_VIOLATION:
      return kNtSharingViolation;
    case ERROR_FILE_NOT_FOUND:
      return kNtNameNotFound;
    case ERROR_PATH_NOT_FOUND:
      return kNtPathNotFound;
    default:
      return static_cast<NtStatus>(0xC0000001);  // STATUS_UNSUCCESSFUL
  }
}

// The Windows path that NtCreateFile names, and its host entry: below the
// folder that `root` holds, reached through its descriptor, or a full
// path "\??\X:\...". False for a name beyond ASCII or another form.
bool ResolveNtName(const NtObjectAttributes& object, std::string* windows,
                   std::string* host, std::string* name, bool* exists) {
  std::string text;
  const NtUnicodeString* unicode = object.object_name;
  for (size_t i = 0; unicode && i < unicode->length / sizeof(WORD); ++i) {
    if (unicode->buffer[i] >= 0x80) return false;
    text += static_cast<char>(unicode->buffer[i]);
  }
  if (object.root_directory != nullptr) {
    File* root = FileOf(object.root_directory);
    if (!root || text.empty() || text.find_first_of("\\/") != std::string::npos)
      return false;
    *windows = root->windows + "\\" + text;
    std::string folder = "/proc/self/fd/" + std::to_string(root->fd);
    *exists = os_posix::FindNameNoCase(folder, text, name);
    if (!*exists) *name = text;
    *host = os_posix::JoinHost(folder, *name);
    return true;
  }
  if (text.compare(0, 4, "\\??\\") != 0) return false;
  *windows = text.substr(4);
  os_posix::HostPath target;
  if (os_posix::ResolveWindowsPath(windows->c_str(), &target) != ERROR_SUCCESS)
    return false;
  *host = target.Host();
  *name = target.name;
  *exists = target.exists || target.name.empty();  // a drive root is
  return true;
}

}  // namespace

HANDLE WINAPI CreateFileA(LPCSTR name, DWORD access, DWORD share_mode,
                          LPSECURITY_ATTRIBUTES, DWORD disposition,
                          DWORD attributes_and_flags, HANDLE) {
  os_posix::TraceCall("CreateFileA",
                      name ? (name + Modes(access, share_mode)).c_str()
                           : nullptr);
  if (os_posix::TakeInjectedFailure("CreateFileA")) return INVALID_HANDLE_VALUE;
  if (!name || (disposition != OPEN_EXISTING && disposition != OPEN_ALWAYS))
    return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
  os_posix::HostPath target;
  DWORD error = os_posix::ResolveWindowsPath(name, &target);
  if (error != ERROR_SUCCESS) return Fail(error, INVALID_HANDLE_VALUE);
  bool folders = attributes_and_flags & FILE_FLAG_BACKUP_SEMANTICS;
  if (target.name.empty() && !folders)  // a drive root
    return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
  return OpenEntry(target.Host(), target.name, target.windows, access,
                   share_mode, disposition, folders);
}

namespace os_posix {

// The dispositions the program uses: a folder made (FILE_CREATE), a file
// opened (FILE_OPEN, FILE_OPEN_IF). A folder made is held before the
// test's hook (HostOnFolderMade) runs, as no other account can come in
// between on Windows.
NtStatus WINAPI NtCreateFileHost(PHANDLE handle, DWORD access,
                                 NtObjectAttributes* object,
                                 NtIoStatusBlock* io, void*, DWORD,
                                 DWORD share_mode, DWORD disposition,
                                 DWORD options, void*, DWORD) {
  const NtStatus kInvalid = static_cast<NtStatus>(0xC000000D);
  std::string windows, host, name;
  bool exists = false;
  if (!handle || !object || !io || !ResolveNtName(*object, &windows, &host,
                                                  &name, &exists)) {
    return static_cast<NtStatus>(0xC0000033);  // STATUS_OBJECT_NAME_INVALID
  }
  TraceCall("NtCreateFile", (windows + Modes(access, share_mode)).c_str());
  if (TakeInjectedFailure("NtCreateFile")) return StatusOf(GetLastError());
  bool folder = (options & kNtDirectoryFile) != 0;
  HostFolderSecurity security;
  if (disposition == kNtCreate) {
    if (!folder) return kInvalid;
    if (object->security_descriptor &&
        ReadFolderSecurity(object->security_descriptor, &security) !=
            ERROR_SUCCESS) {
      return kInvalid;
    }
    // mkdir alone says whether the name was free: a check before it would
    // let another process take the name in between, and Windows answers
    // such a race with a collision, as for any name in use.
    if (mkdir(host.c_str(), 0777) != 0) {
      return errno == EEXIST ? kNtNameCollision
                             : StatusOf(errno == ENOSPC ? ERROR_DISK_FULL
                                                        : ErrorOfOpen(errno));
    }
  } else if (disposition != kNtOpen && disposition != kNtOpenIf) {
    return kInvalid;
  }
  HANDLE opened = OpenEntry(host, name, windows, access, share_mode,
                            disposition == kNtOpenIf ? OPEN_ALWAYS
                                                     : OPEN_EXISTING,
                            folder);
  if (opened == INVALID_HANDLE_VALUE) return StatusOf(GetLastError());
  *handle = opened;
  io->status = kNtSuccess;
  if (disposition == kNtCreate) {
    KeepFolderSecurity(windows,
                       object->security_descriptor ? &security : nullptr);
    RecordMadeFolder(windows);
  }
  return kNtSuccess;
}

}  // namespace os_posix

// One handle per stream, made when first asked for, as the process's
// standard handles exist before any call; a closed stream has none.
HANDLE WINAPI GetStdHandle(DWORD which) {
  static HANDLE handles[3];
  int fd = which == STD_INPUT_HANDLE    ? 0
           : which == STD_OUTPUT_HANDLE ? 1
           : which == STD_ERROR_HANDLE  ? 2
                                        : -1;
  if (fd < 0) return Fail(ERROR_INVALID_HANDLE, INVALID_HANDLE_VALUE);
  if (fcntl(fd, F_GETFD) < 0) return nullptr;
  if (!FileOf(handles[fd])) {
    struct stat st;
    if (fstat(fd, &st) != 0) return nullptr;
    // A stream shares delete: it never holds a name against removal.
    handles[fd] = os_posix::OpenHandle(std::make_unique<File>(
        fd, "", fd == 0, false, fd != 0, true, true, st, false));
  }
  return handles[fd];
}

BOOL WINAPI ReadFile(HANDLE handle, LPVOID buffer, DWORD size, LPDWORD read,
                     LPOVERLAPPED overlapped) {
  if (os_posix::TakeInjectedFailure("ReadFile")) return FALSE;
  File* file = FileOf(handle);
  if (!file) return Fail(ERROR_INVALID_HANDLE, FALSE);
  if (!read || overlapped || (!buffer && size))
    return Fail(ERROR_INVALID_PARAMETER, FALSE);
  *read = 0;
  if (!file->readable) return Fail(ERROR_ACCESS_DENIED, FALSE);
  ssize_t got;
  do {
    got = ::read(file->fd, buffer, size);
  } while (got < 0 && errno == EINTR);
  if (got < 0) return Fail(ErrorOfIo(errno), FALSE);
  *read = static_cast<DWORD>(got);
  return TRUE;
}

BOOL WINAPI WriteFile(HANDLE handle, LPCVOID buffer, DWORD size,
                      LPDWORD written, LPOVERLAPPED overlapped) {
  if (os_posix::TakeInjectedFailure("WriteFile")) return FALSE;
  File* file = FileOf(handle);
  if (!file) return Fail(ERROR_INVALID_HANDLE, FALSE);
  if (!written || overlapped || (!buffer && size))
    return Fail(ERROR_INVALID_PARAMETER, FALSE);
  *written = 0;
  if (!file->appendable) return Fail(ERROR_ACCESS_DENIED, FALSE);
  // A file takes the whole buffer, as on Windows; with O_APPEND each
  // write() goes to the end at once.
  const char* at = static_cast<const char*>(buffer);
  while (*written < size) {
    ssize_t put = write(file->fd, at + *written, size - *written);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) return Fail(ErrorOfIo(errno), FALSE);
    *written += static_cast<DWORD>(put);
  }
  return TRUE;
}

DWORD WINAPI SetFilePointer(HANDLE handle, LONG distance, PLONG distance_high,
                            DWORD method) {
  if (os_posix::TakeInjectedFailure("SetFilePointer"))
    return INVALID_SET_FILE_POINTER;
  File* file = FileOf(handle);
  if (!file) return Fail(ERROR_INVALID_HANDLE, INVALID_SET_FILE_POINTER);
  // Without a high part the distance is a signed 32-bit value.
  int64_t move = distance_high
                     ? static_cast<int64_t>(
                           (static_cast<uint64_t>(
                                static_cast<uint32_t>(*distance_high))
                            << 32) |
                           static_cast<uint32_t>(distance))
                     : distance;
  int whence = method == FILE_BEGIN     ? SEEK_SET
               : method == FILE_CURRENT ? SEEK_CUR
               : method == FILE_END     ? SEEK_END
                                        : -1;
  if (whence < 0) return Fail(ERROR_INVALID_PARAMETER, INVALID_SET_FILE_POINTER);
  off_t position = lseek(file->fd, static_cast<off_t>(move), whence);
  if (position < 0) {
    return Fail(errno == EINVAL ? ERROR_NEGATIVE_SEEK : ERROR_GEN_FAILURE,
                INVALID_SET_FILE_POINTER);
  }
  uint64_t at = static_cast<uint64_t>(position);
  if (distance_high) *distance_high = static_cast<LONG>(at >> 32);
  // The low part may equal INVALID_SET_FILE_POINTER: a cleared error
  // tells success apart.
  if (static_cast<DWORD>(at) == INVALID_SET_FILE_POINTER)
    SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(at);
}

BOOL WINAPI SetEndOfFile(HANDLE handle) {
  if (os_posix::TakeInjectedFailure("SetEndOfFile")) return FALSE;
  File* file = FileOf(handle);
  if (!file) return Fail(ERROR_INVALID_HANDLE, FALSE);
  // An append-only handle may not cut what is already there.
  if (!file->writable) return Fail(ERROR_ACCESS_DENIED, FALSE);
  off_t position = lseek(file->fd, 0, SEEK_CUR);
  if (position < 0 || ftruncate(file->fd, position) != 0)
    return Fail(ErrorOfIo(errno), FALSE);
  return TRUE;
}

DWORD WINAPI GetFileSize(HANDLE handle, LPDWORD size_high) {
  if (os_posix::TakeInjectedFailure("GetFileSize")) return INVALID_FILE_SIZE;
  File* file = FileOf(handle);
  if (!file) return Fail(ERROR_INVALID_HANDLE, INVALID_FILE_SIZE);
  struct stat st;
  if (fstat(file->fd, &st) != 0)
    return Fail(ErrorOfIo(errno), INVALID_FILE_SIZE);
  uint64_t size = static_cast<uint64_t>(st.st_size);
  if (size_high) *size_high = static_cast<DWORD>(size >> 32);
  if (static_cast<DWORD>(size) == INVALID_FILE_SIZE)
    SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(size);
}

BOOL WINAPI LockFile(HANDLE handle, DWORD offset_low, DWORD offset_high,
                     DWORD length_low, DWORD length_high) {
  if (os_posix::TakeInjectedFailure("LockFile")) return FALSE;
  File* file = FileOf(handle);
  if (!file) return Fail(ERROR_INVALID_HANDLE, FALSE);
  uint64_t offset, length;
  if (!ToRange(offset_low, offset_high, length_low, length_high, &offset,
               &length)) {
    return Fail(ERROR_INVALID_PARAMETER, FALSE);
  }
  // A lock is exclusive on Windows even against its own handle; the host
  // would merge the two quietly.
  for (const auto& held : file->locks) {
    if (offset < held.first + held.second && held.first < offset + length)
      return Fail(ERROR_LOCK_VIOLATION, FALSE);
  }
  if (!file->appendable && file->lock_fd == file->fd) {
    std::string self = "/proc/self/fd/" + std::to_string(file->fd);
    int writer = open(self.c_str(), O_RDWR | O_CLOEXEC);
    if (writer >= 0) file->lock_fd = writer;
  }
  short type = file->lock_fd != file->fd || file->appendable ? F_WRLCK
                                                             : F_RDLCK;
  if (!SetLock(file->lock_fd, type, offset, length)) {
    return Fail(errno == EAGAIN || errno == EACCES ? ERROR_LOCK_VIOLATION
                                                   : ERROR_GEN_FAILURE,
                FALSE);
  }
  file->locks.emplace_back(offset, length);
  return TRUE;
}

BOOL WINAPI UnlockFile(HANDLE handle, DWORD offset_low, DWORD offset_high,
                       DWORD length_low, DWORD length_high) {
  if (os_posix::TakeInjectedFailure("UnlockFile")) return FALSE;
  File* file = FileOf(handle);
  if (!file) return Fail(ERROR_INVALID_HANDLE, FALSE);
  uint64_t offset, length;
  ToRange(offset_low, offset_high, length_low, length_high, &offset, &length);
  // Only a range locked by this handle, exactly as it was locked.
  auto held = std::find(file->locks.begin(), file->locks.end(),
                        std::make_pair(offset, length));
  if (held == file->locks.end()) return Fail(ERROR_NOT_LOCKED, FALSE);
  if (!SetLock(file->lock_fd, F_UNLCK, offset, length))
    return Fail(ERROR_GEN_FAILURE, FALSE);
  file->locks.erase(held);
  return TRUE;
}

BOOL WINAPI GetFileInformationByHandle(HANDLE handle,
                                       LPBY_HANDLE_FILE_INFORMATION info) {
  if (os_posix::TakeInjectedFailure("GetFileInformationByHandle")) return FALSE;
  File* file = FileOf(handle);
  if (!file) return Fail(ERROR_INVALID_HANDLE, FALSE);
  if (!info) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  struct stat st;
  if (fstat(file->fd, &st) != 0) return Fail(ErrorOfIo(errno), FALSE);
  memset(info, 0, sizeof *info);
  info->dwFileAttributes = os_posix::AttributesOf(file->name.c_str(), st);
  // The host keeps no creation time that stat reports; use the last write.
  info->ftCreationTime = os_posix::FileTimeOf(st.st_mtim);
  info->ftLastAccessTime = os_posix::FileTimeOf(st.st_atim);
  info->ftLastWriteTime = os_posix::FileTimeOf(st.st_mtim);
  // A volume's serial: its device number, folded to 32 bits.
  uint64_t device = static_cast<uint64_t>(st.st_dev);
  info->dwVolumeSerialNumber = static_cast<DWORD>(device ^ (device >> 32));
  if (!S_ISDIR(st.st_mode)) {
    uint64_t size = static_cast<uint64_t>(st.st_size);
    info->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    info->nFileSizeLow = static_cast<DWORD>(size);
  }
  info->nNumberOfLinks = static_cast<DWORD>(st.st_nlink);
  uint64_t inode =
      os_posix::NoFileIndex() ? 0 : static_cast<uint64_t>(st.st_ino);
  info->nFileIndexHigh = static_cast<DWORD>(inode >> 32);
  info->nFileIndexLow = static_cast<DWORD>(inode);
  return TRUE;
}
