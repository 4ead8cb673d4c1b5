// Folders the program makes: the test's hook (HostOnFolderMade) is called
// for each, as another account acting before the program's next call.
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "os/posix/machine-posix.h"
#include "os/posix/security-posix.h"

namespace {

struct HookState {
  std::function<void(const char*)> on_folder_made;
};

std::mutex hook_mutex;
std::optional<HookState> hook_state;

// Callers hold hook_mutex.
HookState& Loaded() {
  if (!hook_state) hook_state = HookState();
  return *hook_state;
}

void ForgetHook() {
  std::lock_guard<std::mutex> lock(hook_mutex);
  hook_state.reset();
}

[[maybe_unused]] const bool kKept =
    (os_posix::KeepMachinePart(ForgetHook, nullptr), true);

}  // namespace

namespace os_posix {

void RecordMadeFolder(const std::string& windows_path) {
  std::function<void(const char*)> hook;
  {
    std::lock_guard<std::mutex> lock(hook_mutex);
    hook = Loaded().on_folder_made;
  }
  if (hook) hook(windows_path.c_str());
}

}  // namespace os_posix

void HostOnFolderMade(std::function<void(const char* windows_path)> hook) {
  std::lock_guard<std::mutex> lock(hook_mutex);
  Loaded().on_folder_made = std::move(hook);
}
