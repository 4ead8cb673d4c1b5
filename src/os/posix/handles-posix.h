// Handles: heap objects tagged with their kind and registered while open,
// so that a stale or made-up value is recognised without touching it.
#ifndef ZODERUDO_OS_POSIX_HANDLES_POSIX_H_
#define ZODERUDO_OS_POSIX_HANDLES_POSIX_H_

#include <stddef.h>
#include <sys/stat.h>

#include <initializer_list>
#include <memory>

#include "os/posix/win32-posix.h"

namespace os_posix {

enum class HandleKind { kProcess, kThread, kSearch, kFile, kToken, kModule };

class HandleObject {
 public:
  explicit HandleObject(HandleKind kind) : kind_(kind) {}
  virtual ~HandleObject() = default;
  HandleKind kind() const { return kind_; }
  // Whether this handle keeps the entry `st` from being renamed or
  // removed: opened on it without FILE_SHARE_DELETE.
  virtual bool HoldsAgainstDelete(const struct stat& /*st*/) const {
    return false;
  }
  // Whether this handle refuses an open of the entry `st` that `writes`
  // (write or append access) or does not share writing.
  virtual bool RefusesWriting(const struct stat& /*st*/, bool /*writes*/,
                              bool /*shares_write*/) const {
    return false;
  }

 private:
  HandleKind kind_;
};

// Registers the object; its address is the handle, never null nor
// INVALID_HANDLE_VALUE.
HANDLE OpenHandle(std::unique_ptr<HandleObject> object);

// The open object of one of `kinds` behind the handle, else null.
HandleObject* LookUpHandle(HANDLE handle,
                           std::initializer_list<HandleKind> kinds);

// Unregisters and returns the object if it is open and of one of `kinds`.
std::unique_ptr<HandleObject> TakeHandle(
    HANDLE handle, std::initializer_list<HandleKind> kinds);

// Whether an open handle keeps the entry `st` from being renamed or
// removed (ERROR_SHARING_VIOLATION on Windows).
bool HeldAgainstDelete(const struct stat& st);

// Whether an open handle refuses such an open (ERROR_SHARING_VIOLATION).
bool WritingRefused(const struct stat& st, bool writes, bool shares_write);

// How many handles are open.
size_t CountOpenHandles();

}  // namespace os_posix

#endif  // ZODERUDO_OS_POSIX_HANDLES_POSIX_H_
