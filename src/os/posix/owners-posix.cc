// Owners and DACLs of folders, as the security calls read them through a
// handle: GetKernelObjectSecurity answers with a self-relative descriptor,
// in the binary layout of Windows, that holds the owner and, when asked
// for, the DACL the folder was made with (none for one made on the host:
// everyone may do everything). A folder the
// program makes is owned by the token's user; one made any other way (by
// a test, on the host) by another account, unless a test says otherwise.
// Owners go with the folder, not its name: they are kept by the host's
// device and inode, so a folder renamed keeps its owner.
#include <stdlib.h>
#include <string.h>

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "os/advapi-calls.h"
#include "os/posix/machine-posix.h"
#include "os/posix/paths-posix.h"
#include "os/posix/security-posix.h"

const char kHostOtherUser[] = "S-1-5-21-0-0-0-1001";

namespace {

using Entry = std::pair<dev_t, ino_t>;

struct OwnerState {
  std::map<Entry, std::string> owners;  // SIDs as text
  std::map<Entry, std::vector<BYTE>> dacls;
  std::set<char> drives_without_acls;   // upper case
  std::function<void(const char*)> on_folder_made;
};

std::mutex owner_mutex;
std::optional<OwnerState> owner_state;

// Callers hold owner_mutex.
OwnerState& Loaded() {
  if (!owner_state) owner_state = OwnerState();
  return *owner_state;
}

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

// "S-1-5-21-0-0-0-1000" in the binary layout; false for another shape.
bool SidFromText(const std::string& text, std::vector<BYTE>* sid) {
  std::vector<unsigned long long> parts;
  const char* p = text.c_str();
  if (strncmp(p, "S-", 2) != 0) return false;
  p += 2;
  while (true) {
    char* end = nullptr;
    parts.push_back(strtoull(p, &end, 10));
    if (end == p) return false;
    if (*end == '\0') break;
    if (*end != '-') return false;
    p = end + 1;
  }
  size_t subs = parts.size() - 2;
  if (parts.size() < 3 || parts[0] != SID_REVISION ||
      subs > SID_MAX_SUB_AUTHORITIES) {
    return false;
  }
  sid->assign(8 + 4 * subs, 0);
  (*sid)[0] = SID_REVISION;
  (*sid)[1] = static_cast<BYTE>(subs);
  for (int i = 0; i < 6; ++i)
    (*sid)[7 - i] = static_cast<BYTE>(parts[1] >> (8 * i));
  for (size_t i = 0; i < subs; ++i) {
    DWORD sub = static_cast<DWORD>(parts[2 + i]);
    memcpy(sid->data() + 8 + 4 * i, &sub, sizeof sub);
  }
  return true;
}

std::vector<BYTE> DaclOf(const struct stat& st) {
  std::lock_guard<std::mutex> lock(owner_mutex);
  const auto& dacls = Loaded().dacls;
  auto found = dacls.find({st.st_dev, st.st_ino});
  return found == dacls.end() ? std::vector<BYTE>() : found->second;
}

std::string OwnerOf(const struct stat& st) {
  std::lock_guard<std::mutex> lock(owner_mutex);
  const auto& owners = Loaded().owners;
  auto found = owners.find({st.st_dev, st.st_ino});
  return found == owners.end() ? kHostOtherUser : found->second;
}

void SetOwner(const struct stat& st, const std::string& sid) {
  std::lock_guard<std::mutex> lock(owner_mutex);
  Loaded().owners[{st.st_dev, st.st_ino}] = sid;
}

void ForgetOwners() {
  std::lock_guard<std::mutex> lock(owner_mutex);
  owner_state.reset();
}

[[maybe_unused]] const bool kKept =
    (os_posix::KeepMachinePart(ForgetOwners, nullptr), true);

}  // namespace

namespace os_posix {

// Only the owner and the DACL are offered; asking for more is refused.
BOOL WINAPI GetKernelObjectSecurityHost(HANDLE handle,
                                        SECURITY_INFORMATION requested,
                                        PSECURITY_DESCRIPTOR descriptor,
                                        DWORD length, LPDWORD needed) {
  if (RefusedSecurityCall("GetKernelObjectSecurity")) return FALSE;
  if ((requested & ~DACL_SECURITY_INFORMATION) != OWNER_SECURITY_INFORMATION ||
      needed == nullptr)
    return Fail(ERROR_INVALID_PARAMETER);
  struct stat st;
  DWORD error = StatusForSecurity(handle, &st);
  if (error != ERROR_SUCCESS) return Fail(error);
  std::vector<BYTE> owner;
  if (!SidFromText(OwnerOf(st), &owner)) return Fail(ERROR_INVALID_SID);
  SECURITY_DESCRIPTOR_RELATIVE head = {};
  head.Revision = SECURITY_DESCRIPTOR_REVISION;
  head.Control = SE_SELF_RELATIVE;
  head.Owner = sizeof head;
  std::vector<BYTE> dacl;
  if (requested & DACL_SECURITY_INFORMATION) dacl = DaclOf(st);
  if (!dacl.empty()) {
    head.Control |= SE_DACL_PRESENT;
    head.Dacl = static_cast<DWORD>(sizeof head + owner.size());
  }
  *needed = static_cast<DWORD>(sizeof head + owner.size() + dacl.size());
  if (descriptor == nullptr || length < *needed)
    return Fail(ERROR_INSUFFICIENT_BUFFER);
  BYTE* out = static_cast<BYTE*>(descriptor);
  memcpy(out, &head, sizeof head);
  memcpy(out + sizeof head, owner.data(), owner.size());
  if (!dacl.empty()) memcpy(out + head.Dacl, dacl.data(), dacl.size());
  return TRUE;
}

// Either form, as for the owner; a DACL absent gives no list.
BOOL WINAPI GetSecurityDescriptorDaclHost(PSECURITY_DESCRIPTOR descriptor,
                                          LPBOOL present, PACL* dacl,
                                          LPBOOL defaulted) {
  if (RefusedSecurityCall("GetSecurityDescriptorDacl")) return FALSE;
  if (!descriptor || !present || !dacl || !defaulted)
    return Fail(ERROR_INVALID_PARAMETER);
  SECURITY_DESCRIPTOR_RELATIVE head;
  memcpy(&head, descriptor, sizeof head);
  *present = (head.Control & SE_DACL_PRESENT) != 0;
  if (head.Control & SE_SELF_RELATIVE) {
    *dacl = head.Dacl ? reinterpret_cast<PACL>(static_cast<BYTE*>(descriptor) +
                                               head.Dacl)
                      : nullptr;
  } else {
    *dacl = static_cast<SECURITY_DESCRIPTOR*>(descriptor)->Dacl;
  }
  *defaulted = FALSE;
  return TRUE;
}

// Either form: absolute, or self-relative with offsets.
BOOL WINAPI GetSecurityDescriptorOwnerHost(PSECURITY_DESCRIPTOR descriptor,
                                           PSID* owner, LPBOOL defaulted) {
  if (RefusedSecurityCall("GetSecurityDescriptorOwner"))
    return FALSE;
  if (descriptor == nullptr || owner == nullptr || defaulted == nullptr)
    return Fail(ERROR_INVALID_PARAMETER);
  SECURITY_DESCRIPTOR_RELATIVE head;
  memcpy(&head, descriptor, sizeof head);
  if (head.Revision != SECURITY_DESCRIPTOR_REVISION)
    return Fail(ERROR_UNKNOWN_REVISION);
  if (head.Control & SE_SELF_RELATIVE) {
    *owner = head.Owner ? static_cast<BYTE*>(descriptor) + head.Owner
                        : nullptr;
  } else {
    *owner = static_cast<SECURITY_DESCRIPTOR*>(descriptor)->Owner;
  }
  *defaulted = (head.Control & SE_OWNER_DEFAULTED) != 0;
  return TRUE;
}

// FALSE for SIDs that differ, or one that is malformed; cannot fail.
BOOL WINAPI EqualSidHost(PSID first, PSID second) {
  SetLastError(ERROR_SUCCESS);
  if (!ValidSid(first) || !ValidSid(second))
    return Fail(ERROR_INVALID_SID);
  DWORD length = SidLength(first);
  return length == SidLength(second) &&
         memcmp(first, second, length) == 0;
}

void RecordMadeFolder(const std::string& host_path,
                      const std::string& windows_path,
                      const void* descriptor) {
  struct stat st;
  if (lstat(host_path.c_str(), &st) == 0) {
    SetOwner(st, kHostTokenUser);
    // Whatever an earlier folder of this inode had goes.
    const auto* sd = static_cast<const SECURITY_DESCRIPTOR*>(descriptor);
    const BYTE* acl = sd && (sd->Control & SE_DACL_PRESENT) && sd->Dacl
                          ? reinterpret_cast<const BYTE*>(sd->Dacl)
                          : nullptr;
    std::lock_guard<std::mutex> lock(owner_mutex);
    Loaded().dacls[{st.st_dev, st.st_ino}].assign(
        acl, acl ? acl + sd->Dacl->AclSize : acl);
  }
  std::function<void(const char*)> hook;
  {
    std::lock_guard<std::mutex> lock(owner_mutex);
    hook = Loaded().on_folder_made;
  }
  if (hook) hook(windows_path.c_str());
}

void ForgetFolderOwner(const struct stat& st) {
  std::lock_guard<std::mutex> lock(owner_mutex);
  Loaded().owners.erase({st.st_dev, st.st_ino});
  Loaded().dacls.erase({st.st_dev, st.st_ino});
}

bool DriveKeepsAccessLists(char letter) {
  if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 32);
  std::lock_guard<std::mutex> lock(owner_mutex);
  return Loaded().drives_without_acls.count(letter) == 0;
}

}  // namespace os_posix

bool HostSetFolderOwner(const char* path, const char* sid) {
  os_posix::HostPath target;
  std::vector<BYTE> binary;
  struct stat st;
  if (os_posix::ResolveWindowsPath(path, &target) != ERROR_SUCCESS ||
      !target.exists || !SidFromText(sid, &binary) ||
      lstat(target.Host().c_str(), &st) != 0) {
    return false;
  }
  SetOwner(st, sid);
  std::lock_guard<std::mutex> lock(owner_mutex);
  Loaded().dacls.erase({st.st_dev, st.st_ino});
  return true;
}

void HostOnFolderMade(std::function<void(const char* windows_path)> hook) {
  std::lock_guard<std::mutex> lock(owner_mutex);
  Loaded().on_folder_made = std::move(hook);
}

void HostSetAccessLists(char letter, bool kept) {
  if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 32);
  std::lock_guard<std::mutex> lock(owner_mutex);
  if (kept) {
    Loaded().drives_without_acls.erase(letter);
  } else {
    Loaded().drives_without_acls.insert(letter);
  }
}
