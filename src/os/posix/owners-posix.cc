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

struct OwnerState {
  std::function<void(const char*)> on_folder_made;
};

std::mutex owner_mutex;
std::optional<OwnerState> owner_state;

// Callers hold owner_mutex.
OwnerState& Loaded() {
  if (!owner_state) owner_state = OwnerState();
  return *owner_state;
}

void ForgetOwners() {
  std::lock_guard<std::mutex> lock(owner_mutex);
  owner_state.reset();
}

[[maybe_unused]] const bool kKept =
    (os_posix::KeepMachinePart(ForgetOwners, nullptr), true);

}  // namespace

namespace os_posix {

void RecordMadeFolder(const std::string& windows_path) {
  std::function<void(const char*)> hook;
  {
    std::lock_guard<std::mutex> lock(owner_mutex);
    hook = Loaded().on_folder_made;
  }
  if (hook) hook(windows_path.c_str());
}

}  // namespace os_posix

void HostOnFolderMade(std::function<void(const char* windows_path)> hook) {
  std::lock_guard<std::mutex> lock(owner_mutex);
  Loaded().on_folder_made = std::move(hook);
}
