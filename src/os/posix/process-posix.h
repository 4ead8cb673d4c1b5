// Started children and the process and thread handles that share them.
#ifndef ZODERUDO_OS_POSIX_PROCESS_POSIX_H_
#define ZODERUDO_OS_POSIX_PROCESS_POSIX_H_

#include <sys/types.h>

#include <memory>
#include <utility>

#include "os/posix/handles-posix.h"

namespace os_posix {

// Windows exit codes have 32 bits, host ones 8. A child started by the
// layer finds in this variable the number of a descriptor on which it (or
// a program it runs, such as an update under the stand-in for cmd) may
// write its whole code in decimal; the code counts when its low 8 bits are
// the exit status.
extern const char kExitCodeVariable[];

// One child process. Its status is collected at most once, by one thread
// at a time.
class Child {
 public:
  // `code_channel`: the read end of the descriptor above, or -1.
  Child(pid_t pid, int code_channel) : pid_(pid), code_channel_(code_channel) {}
  // Collects the child if it has ended; one still running is left for
  // SweepOrphans, so that it does not stay a zombie.
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  pid_t pid() const { return pid_; }
  // True once the child has ended; waits for that when `block`.
  bool Reap(bool block);
  // The exit code of an ended child: its status, or 128+N after signal N.
  // False when another waiter took the status.
  bool ExitCode(DWORD* code) const;

 private:
  // Takes the whole code, when the child wrote one that fits its status.
  void ReadWholeCode();

  pid_t pid_;
  int code_channel_;
  bool ended_ = false;
  bool status_known_ = false;
  int status_ = 0;
  bool whole_code_known_ = false;
  DWORD whole_code_ = 0;
};

class ChildHandle : public HandleObject {
 public:
  ChildHandle(HandleKind kind, std::shared_ptr<Child> child)
      : HandleObject(kind), child_(std::move(child)) {}
  Child& child() { return *child_; }

 private:
  std::shared_ptr<Child> child_;
};

// Collects children whose handles were closed while they still ran.
void SweepOrphans();

}  // namespace os_posix

#endif  // ZODERUDO_OS_POSIX_PROCESS_POSIX_H_
