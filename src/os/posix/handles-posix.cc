// The table of open handles.
#include "os/posix/handles-posix.h"

#include <map>
#include <memory>
#include <mutex>
#include <utility>

namespace {

std::mutex table_mutex;

std::map<HANDLE, std::unique_ptr<os_posix::HandleObject>>& Table() {
  static auto* table =
      new std::map<HANDLE, std::unique_ptr<os_posix::HandleObject>>;
  return *table;
}

bool KindIn(const os_posix::HandleObject& object,
            std::initializer_list<os_posix::HandleKind> kinds) {
  for (os_posix::HandleKind kind : kinds) {
    if (object.kind() == kind) return true;
  }
  return false;
}

}  // namespace

namespace os_posix {

HANDLE OpenHandle(std::unique_ptr<HandleObject> object) {
  HANDLE handle = object.get();
  std::lock_guard<std::mutex> lock(table_mutex);
  Table()[handle] = std::move(object);
  return handle;
}

HandleObject* LookUpHandle(HANDLE handle,
                           std::initializer_list<HandleKind> kinds) {
  std::lock_guard<std::mutex> lock(table_mutex);
  auto it = Table().find(handle);
  if (it == Table().end() || !KindIn(*it->second, kinds)) return nullptr;
  return it->second.get();
}

std::unique_ptr<HandleObject> TakeHandle(
    HANDLE handle, std::initializer_list<HandleKind> kinds) {
  std::lock_guard<std::mutex> lock(table_mutex);
  auto it = Table().find(handle);
  if (it == Table().end() || !KindIn(*it->second, kinds)) return nullptr;
  std::unique_ptr<HandleObject> object = std::move(it->second);
  Table().erase(it);
  return object;
}

bool HeldAgainstDelete(const struct stat& st) {
  std::lock_guard<std::mutex> lock(table_mutex);
  for (const auto& entry : Table()) {
    if (entry.second->HoldsAgainstDelete(st)) return true;
  }
  return false;
}

bool WritingRefused(const struct stat& st, bool writes, bool shares_write) {
  std::lock_guard<std::mutex> lock(table_mutex);
  for (const auto& entry : Table()) {
    if (entry.second->RefusesWriting(st, writes, shares_write)) return true;
  }
  return false;
}

size_t CountOpenHandles() {
  std::lock_guard<std::mutex> lock(table_mutex);
  return Table().size();
}

}  // namespace os_posix
