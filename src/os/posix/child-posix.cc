// Waiting for children, their exit codes and closing their handles.
#include <errno.h>
#include <stdint.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <vector>

#include "os/posix/machine-posix.h"
#include "os/posix/process-posix.h"

namespace {

std::mutex orphans_mutex;
std::vector<pid_t> orphans;

pid_t WaitFor(pid_t pid, int* status, int options) {
  pid_t result;
  do {
    result = waitpid(pid, status, options);
  } while (result < 0 && errno == EINTR);
  return result;
}

os_posix::Child* ChildOf(HANDLE handle,
                         std::initializer_list<os_posix::HandleKind> kinds) {
  auto* object = static_cast<os_posix::ChildHandle*>(
      os_posix::LookUpHandle(handle, kinds));
  return object ? &object->child() : nullptr;
}

void Pause(std::chrono::milliseconds period) {
  struct timespec delay = {0, static_cast<long>(period.count()) * 1000000L};
  nanosleep(&delay, nullptr);
}

}  // namespace

namespace os_posix {

Child::~Child() {
  bool ended = Reap(false);
  if (code_channel_ >= 0) close(code_channel_);
  if (ended) return;
  std::lock_guard<std::mutex> lock(orphans_mutex);
  orphans.push_back(pid_);
}

bool Child::Reap(bool block) {
  if (ended_) return true;
  int status = 0;
  pid_t result = WaitFor(pid_, &status, block ? 0 : WNOHANG);
  if (result == 0) return false;
  ended_ = true;
  // Otherwise (ECHILD) someone else collected it and its status is lost.
  if (result == pid_) {
    status_known_ = true;
    status_ = status;
    if (code_channel_ >= 0) ReadWholeCode();
  }
  return true;
}

bool Child::ExitCode(DWORD* code) const {
  if (!status_known_) return false;
  if (WIFSIGNALED(status_)) {
    *code = 128 + WTERMSIG(status_);
  } else if (whole_code_known_) {
    *code = whole_code_;
  } else {
    *code = WEXITSTATUS(status_);
  }
  return true;
}

void Child::ReadWholeCode() {
  // Read once, when the child has ended; the channel never blocks.
  char text[32];
  ssize_t length = read(code_channel_, text, sizeof text - 1);
  if (length <= 0 || !WIFEXITED(status_)) return;
  text[length] = '\0';
  char* end = nullptr;
  errno = 0;
  long long value = strtoll(text, &end, 10);
  if (errno != 0 || end == text || value < INT32_MIN || value > UINT32_MAX ||
      (static_cast<DWORD>(value) & 0xFF) !=
          static_cast<DWORD>(WEXITSTATUS(status_))) {
    return;
  }
  whole_code_known_ = true;
  whole_code_ = static_cast<DWORD>(value);
}

void SweepOrphans() {
  std::lock_guard<std::mutex> lock(orphans_mutex);
  orphans.erase(std::remove_if(orphans.begin(), orphans.end(),
                               [](pid_t pid) {
                                 int status;
                                 return WaitFor(pid, &status, WNOHANG) != 0;
                               }),
                orphans.end());
}

}  // namespace os_posix

DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  if (os_posix::TakeInjectedFailure("WaitForSingleObject")) return WAIT_FAILED;
  os_posix::Child* child = ChildOf(
      handle, {os_posix::HandleKind::kProcess, os_posix::HandleKind::kThread});
  if (!child) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  if (milliseconds == INFINITE) {
    child->Reap(true);
    return WAIT_OBJECT_0;
  }
  // waitpid has no timeout: poll.
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline =
      Clock::now() + std::chrono::milliseconds(milliseconds);
  while (!child->Reap(false)) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - Clock::now());
    if (left.count() <= 0) return WAIT_TIMEOUT;
    Pause(std::min(left, std::chrono::milliseconds(5)));
  }
  return WAIT_OBJECT_0;
}

BOOL WINAPI GetExitCodeProcess(HANDLE process, LPDWORD exit_code) {
  if (os_posix::TakeInjectedFailure("GetExitCodeProcess")) return FALSE;
  os_posix::Child* child = ChildOf(process, {os_posix::HandleKind::kProcess});
  DWORD error = ERROR_SUCCESS;
  if (!child) {
    error = ERROR_INVALID_HANDLE;
  } else if (!exit_code) {
    error = ERROR_INVALID_PARAMETER;
  } else if (!child->Reap(false)) {
    *exit_code = STILL_ACTIVE;
  } else if (!child->ExitCode(exit_code)) {
    error = ERROR_GEN_FAILURE;
  }
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE handle) {
  if (os_posix::TakeInjectedFailure("CloseHandle")) return FALSE;
  if (!os_posix::TakeHandle(handle, {os_posix::HandleKind::kProcess,
                                     os_posix::HandleKind::kThread,
                                     os_posix::HandleKind::kFile,
                                     os_posix::HandleKind::kToken})) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}
