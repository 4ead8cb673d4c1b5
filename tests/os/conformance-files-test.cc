// The calls that copy, remove and name files and folders, as the real ones
// behave; built and asserted alike against our layer and under Wine.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>

#include <filesystem>
#include <set>
#include <string>

#include "os/advapi-calls.h"
#include "os/kernel-calls.h"
#include "os/os.h"

#include "conformance.h"

namespace fs = std::filesystem;
using namespace conformance;

namespace {

const DWORD kNoEntry = 0xFFFFFFFF;

// The attributes that a search shows for `path`; kNoEntry if none.
DWORD AttributesOf(const std::string& path) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(path.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return kNoEntry;
  FindClose(search);
  return found.dwFileAttributes;
}

bool IsReadOnly(const std::string& path) {
  return (AttributesOf(path) & FILE_ATTRIBUTE_READONLY) != 0;
}

void MakeReadOnly(const std::string& path) {
  fs::permissions(
      path,
      fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
      fs::perm_options::remove);
}

// Every name a search of `pattern` delivers, in order; the search is
// expected to end with ERROR_NO_MORE_FILES, also when asked once more.
std::vector<std::string> ListAll(const std::string& pattern) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    names.push_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_NO_MORE_FILES}) << pattern;
  EXPECT_EQ(ErrorIf(!FindNextFileA(Cleared(search), &found)),
            DWORD{ERROR_NO_MORE_FILES});
  EXPECT_TRUE(FindClose(search));
  EXPECT_EQ(ErrorIf(!FindNextFileA(Cleared(search), &found)),
            DWORD{ERROR_INVALID_HANDLE});
  return names;
}

// What `path`, opened with backup semantics, tells of itself: whether it
// is a folder, its volume serial number and its file index; else the error.
std::string IdentityOf(const std::string& path) {
  HANDLE handle = CreateFileA(
      path.c_str(), FILE_READ_ATTRIBUTES,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE)
    return "error " + std::to_string(GetLastError());
  BY_HANDLE_FILE_INFORMATION info;
  std::string identity =
      !GetFileInformationByHandle(handle, &info)
          ? "error " + std::to_string(GetLastError())
          : (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? "folder "
                                                              : "file ") +
                std::to_string(info.dwVolumeSerialNumber) + " " +
                std::to_string(info.nFileIndexHigh) + ":" +
                std::to_string(info.nFileIndexLow);
  EXPECT_TRUE(CloseHandle(handle));
  return identity;
}

}  // namespace

TEST_F(Win32, FindNextFileDeliversEveryEntryAfterTheDots) {
  fs::create_directories("dir/sub");
  WriteText("dir/a.txt", "a");
  WriteText("dir/noext", "");
  WriteText("dir/.dotted", "");
  WriteText("dir/two.dots.x", "");
  std::vector<std::string> names = ListAll("dir\\*.*");
  ASSERT_GE(names.size(), 2u);
  EXPECT_EQ(names[0], ".");
  EXPECT_EQ(names[1], "..");
  EXPECT_EQ(std::set<std::string>(names.begin() + 2, names.end()),
            (std::set<std::string>{"a.txt", "noext", ".dotted", "two.dots.x",
                                   "sub"}));
  EXPECT_EQ(names.size(), 7u);
  EXPECT_EQ(ListAll("dir\\sub\\*.*"), (std::vector<std::string>{".", ".."}));
  // A drive root has neither, all the way through.
  for (const std::string& name : ListAll(drive_ + "\\*.*")) {
    EXPECT_NE(name, ".");
    EXPECT_NE(name, "..");
  }
}

TEST_F(Win32, DotNamesAreHiddenAndWriteProtectionIsReadOnly) {
  fs::create_directory("dir");
  WriteText(".dotted", "");
  WriteText("locked", "");
  MakeReadOnly("locked");
  const DWORD kKnown = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY |
                       FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE;
  EXPECT_EQ(AttributesOf(".dotted") & kKnown,
            DWORD{FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE});
  EXPECT_EQ(AttributesOf("locked") & kKnown,
            DWORD{FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE});
  EXPECT_EQ(AttributesOf("dir") & kKnown, DWORD{FILE_ATTRIBUTE_DIRECTORY});
}

TEST_F(Win32, SetFileAttributesKeepsReadOnlyForFiles) {
  fs::create_directory("dir");
  WriteText("file", "x");
  EXPECT_TRUE(SetFileAttributesA("file", FILE_ATTRIBUTE_READONLY));
  EXPECT_TRUE(IsReadOnly("file"));
  EXPECT_TRUE(SetFileAttributesA("FILE", FILE_ATTRIBUTE_NORMAL));
  EXPECT_FALSE(IsReadOnly("file"));
  EXPECT_TRUE(DeleteFileA("file"));
  // Accepted for a folder, and not kept.
  EXPECT_TRUE(SetFileAttributesA("dir", FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(AttributesOf("dir") & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_EQ(ErrorIf(!SetFileAttributesA(Cleared("missing"),
                                        FILE_ATTRIBUTE_NORMAL)),
            DWORD{ERROR_FILE_NOT_FOUND});
  EXPECT_EQ(ErrorIf(!SetFileAttributesA(Cleared("nodir\\x"),
                                        FILE_ATTRIBUTE_NORMAL)),
            DWORD{ERROR_PATH_NOT_FOUND});
}

TEST_F(Win32, CopyFileCopiesAndReplaces) {
  std::string big(3 * 1024 * 1024 + 17, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
  WriteText("big.bin", big);
  WriteText("empty", "");
  WriteText("source", "new text");
  WriteText("target", "old text that is longer");
  WriteText("locked", "locked text");
  MakeReadOnly("locked");
  EXPECT_TRUE(CopyFileA("big.bin", "big copy", TRUE));
  EXPECT_EQ(ReadText("big copy"), big);
  EXPECT_TRUE(CopyFileA("empty", "empty copy", TRUE));
  EXPECT_TRUE(fs::exists("empty copy"));
  EXPECT_EQ(fs::file_size("empty copy"), 0u);
  EXPECT_TRUE(CopyFileA("source", "TARGET", FALSE));
  EXPECT_EQ(ReadText("target"), "new text");
  // The copy of a read-only file is read-only, and keeps the last write.
  EXPECT_TRUE(CopyFileA("locked", "locked copy", TRUE));
  EXPECT_EQ(ReadText("locked copy"), "locked text");
  EXPECT_TRUE(IsReadOnly("locked copy"));
  EXPECT_EQ(fs::last_write_time("locked copy"), fs::last_write_time("locked"));
}

TEST_F(Win32, CopyFileFailures) {
  fs::create_directory("dir");
  WriteText("source", "source");
  WriteText("there", "there");
  struct Case {
    const char *from, *to;
    BOOL fail_if_exists;
    DWORD error;
  } cases[] = {
      {"source", "there", TRUE, ERROR_FILE_EXISTS},
      {"source", "SOURCE", FALSE, ERROR_SHARING_VIOLATION},
      {"missing", "new", FALSE, ERROR_FILE_NOT_FOUND},
      {"nodir\\source", "new", FALSE, ERROR_PATH_NOT_FOUND},
      {"source", "nodir\\new", FALSE, ERROR_PATH_NOT_FOUND},
      {"dir", "new", FALSE, ERROR_ACCESS_DENIED},
      {"source", "dir", FALSE, ERROR_ACCESS_DENIED},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ErrorIf(!CopyFileA(Cleared(c.from), c.to, c.fail_if_exists)),
              c.error)
        << c.from << " to " << c.to;
  }
  EXPECT_EQ(ReadText("source"), "source");
  EXPECT_EQ(ReadText("there"), "there");
  EXPECT_FALSE(fs::exists("new"));
}

TEST_F(Win32, DeleteFileRemovesFilesOnly) {
  fs::create_directory("dir");
  WriteText(".dotted", "");
  WriteText("locked", "");
  MakeReadOnly("locked");
  EXPECT_EQ(ErrorIf(!DeleteFileA(Cleared(".DOTTED"))), kNoFailure);
  EXPECT_FALSE(fs::exists(".dotted"));
  struct Case {
    const char* path;
    DWORD error;
  } cases[] = {
      {"locked", ERROR_ACCESS_DENIED},
      {"dir", ERROR_ACCESS_DENIED},
      {"missing", ERROR_FILE_NOT_FOUND},
      {"nodir\\x", ERROR_PATH_NOT_FOUND},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ErrorIf(!DeleteFileA(Cleared(c.path))), c.error) << c.path;
  }
  EXPECT_TRUE(fs::exists("locked"));
  EXPECT_TRUE(fs::exists("dir"));
}

TEST_F(Win32, RemoveDirectoryRemovesEmptyFoldersOnly) {
  fs::create_directories("full/inner");
  fs::create_directory("empty");
  fs::create_directory("current");
  WriteText("file", "");
  EXPECT_EQ(ErrorIf(!RemoveDirectoryA(Cleared("EMPTY\\"))), kNoFailure);
  EXPECT_FALSE(fs::exists("empty"));
  struct Case {
    std::string path;
    DWORD error;
  } cases[] = {
      {"full", ERROR_DIR_NOT_EMPTY},
      {"file", ERROR_DIRECTORY},
      {"missing", ERROR_FILE_NOT_FOUND},
      {"nodir\\x", ERROR_PATH_NOT_FOUND},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ErrorIf(!RemoveDirectoryA(Cleared(c.path.c_str()))), c.error)
        << c.path;
  }
  // The process holds its current folder.
  ASSERT_TRUE(SetCurrentDirectoryA("current"));
  EXPECT_EQ(ErrorIf(!RemoveDirectoryA(Cleared((here_ + "\\current").c_str()))),
            DWORD{ERROR_SHARING_VIOLATION});
  ASSERT_TRUE(SetCurrentDirectoryA(here_.c_str()));
  EXPECT_TRUE(fs::exists("full/inner"));
  EXPECT_TRUE(fs::exists("current"));
}

TEST_F(Win32, GetDiskFreeSpaceMeasuresTheFolderDrive) {
  DWORD sectors = 0, bytes = 0, free_clusters = 0, total = 0;
  ASSERT_TRUE(GetDiskFreeSpaceA((here_ + "\\").c_str(), &sectors, &bytes,
                                &free_clusters, &total));
  EXPECT_GT(sectors, 0u);
  EXPECT_GT(bytes, 0u);
  EXPECT_LE(free_clusters, total);
  double measured = double(sectors) * bytes * free_clusters;
  double expected = double(fs::space(".").available);
  EXPECT_NEAR(measured, expected, expected * 0.05 + 1e8);
  DWORD again = 0;
  EXPECT_TRUE(GetDiskFreeSpaceA(nullptr, nullptr, nullptr, &again, nullptr));
  EXPECT_GT(again, 0u);
  EXPECT_EQ(ErrorIf(!GetDiskFreeSpaceA(Cleared("Q:\\"), &sectors, &bytes,
                                       &free_clusters, &total)),
            DWORD{ERROR_PATH_NOT_FOUND});
}

// A folder, a drive root included, opens with backup semantics and tells
// the same volume and index under every name that reaches it.
TEST_F(Win32, FoldersTellTheirIdentityUnderEveryName) {
  fs::create_directories("pkg/sub");
  std::string pkg = IdentityOf("pkg");
  ASSERT_EQ(pkg.compare(0, 7, "folder "), 0) << pkg;
  for (const std::string& name : {std::string("PKG."), here_ + "\\pkg\\",
                                  std::string("pkg\\sub\\..")}) {
    EXPECT_EQ(IdentityOf(name), pkg) << name;
  }
  std::string sub = IdentityOf("pkg\\sub");  // same volume, other index
  EXPECT_EQ(sub.substr(0, sub.find(':')), pkg.substr(0, pkg.find(':')));
  EXPECT_NE(sub, pkg);
  std::string root = IdentityOf(drive_ + "\\");
  EXPECT_EQ(root.compare(0, 7, "folder "), 0) << root;
  EXPECT_NE(root, pkg);
  EXPECT_EQ(IdentityOf("missing"), "error 2");
}

// A handle opened without FILE_SHARE_DELETE keeps its folder or file from
// being renamed or removed by name, whoever asks; one that shares delete
// does not. A file's second name shows in its link count.
TEST_F(Win32, HeldEntriesKeepTheirNamesAndSecondNamesShow) {
  fs::create_directory("held");
  WriteText("file.txt", "x");
  const DWORD kFolder = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;
  HANDLE held = CreateFileA("held", FILE_LIST_DIRECTORY,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, kFolder, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(ErrorIf(!MoveFileA(Cleared("held"), "moved")),
            DWORD{ERROR_SHARING_VIOLATION});
  EXPECT_EQ(ErrorIf(!RemoveDirectoryA(Cleared("held"))),
            DWORD{ERROR_SHARING_VIOLATION});
  EXPECT_EQ(GetFileAttributesA("held"), DWORD{FILE_ATTRIBUTE_DIRECTORY});
  EXPECT_TRUE(CloseHandle(held));
  held = CreateFileA("held", FILE_LIST_DIRECTORY,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, OPEN_EXISTING, kFolder, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(ErrorIf(!MoveFileA(Cleared("held"), "moved")), kNoFailure);
  EXPECT_TRUE(CloseHandle(held));

  HANDLE file = CreateFileA("file.txt", GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT,
                            nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(ErrorIf(!DeleteFileA(Cleared("file.txt"))),
            DWORD{ERROR_SHARING_VIOLATION});
  BY_HANDLE_FILE_INFORMATION info;
  ASSERT_TRUE(GetFileInformationByHandle(file, &info));
  EXPECT_EQ(info.nNumberOfLinks, 1u);
  fs::create_hard_link("file.txt", "second.txt");
  ASSERT_TRUE(GetFileInformationByHandle(file, &info));
  EXPECT_EQ(info.nNumberOfLinks, 2u);
  EXPECT_TRUE(CloseHandle(file));
  EXPECT_EQ(GetFileAttributesA(Cleared("none")), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), DWORD{ERROR_FILE_NOT_FOUND});
}

// The security calls found in ADVAPI32 at run time build an ACL in the
// layout of Windows, refuse an entry with no room, and make a folder with
// the descriptor; the token tells its user.
TEST_F(Win32, SecurityCallsBuildADescriptorForAFolder) {
  EXPECT_EQ(LoadLibraryA(Cleared("no-such-module.dll")), nullptr);
  EXPECT_EQ(GetLastError(), DWORD{ERROR_MOD_NOT_FOUND});
  HMODULE advapi = LoadLibraryA("ADVAPI32.DLL");
  ASSERT_NE(advapi, nullptr);
  EXPECT_EQ(GetProcAddress(Cleared(advapi), "NoSuchCall"), nullptr);
  EXPECT_EQ(GetLastError(), DWORD{ERROR_PROC_NOT_FOUND});
  auto open_token = FindCall<OpenProcessTokenCall>(advapi, "OpenProcessToken");
  auto token_information =
      FindCall<GetTokenInformationCall>(advapi, "GetTokenInformation");
  auto allocate_sid = FindCall<AllocateAndInitializeSidCall>(
      advapi, "AllocateAndInitializeSid");
  auto free_sid = FindCall<FreeSidCall>(advapi, "FreeSid");
  auto sid_length = FindCall<GetLengthSidCall>(advapi, "GetLengthSid");
  auto initialize_acl = FindCall<InitializeAclCall>(advapi, "InitializeAcl");
  auto add_entry =
      FindCall<AddAccessAllowedAceExCall>(advapi, "AddAccessAllowedAceEx");
  auto initialize_descriptor = FindCall<InitializeSecurityDescriptorCall>(
      advapi, "InitializeSecurityDescriptor");
  auto set_dacl = FindCall<SetSecurityDescriptorDaclCall>(
      advapi, "SetSecurityDescriptorDacl");
  auto set_control = FindCall<SetSecurityDescriptorControlCall>(
      advapi, "SetSecurityDescriptorControl");
  ASSERT_TRUE(open_token && token_information && allocate_sid && free_sid &&
              sid_length && initialize_acl && add_entry &&
              initialize_descriptor && set_dacl && set_control);

  HANDLE token = nullptr;
  ASSERT_TRUE(open_token(GetCurrentProcess(), TOKEN_QUERY, &token));
  BYTE small[sizeof(TOKEN_USER)];
  DWORD needed = 0;
  EXPECT_FALSE(token_information(Cleared(token), TokenUser, small,
                                 sizeof small, &needed));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_INSUFFICIENT_BUFFER});
  EXPECT_GT(needed, sizeof(TOKEN_USER) + 8);
  EXPECT_TRUE(CloseHandle(token));

  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID everyone = nullptr;
  ASSERT_TRUE(allocate_sid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0,
                           &everyone));
  EXPECT_EQ(sid_length(everyone), 12u);
  // Room for one entry: a header, the rights and the SID.
  DWORD acl_buffer[16];
  PACL acl = reinterpret_cast<PACL>(acl_buffer);
  ASSERT_TRUE(initialize_acl(acl, sizeof(ACL) + 8 + 12, ACL_REVISION));
  const DWORD kInherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
  const DWORD kAll = FILE_ALL_ACCESS;
  EXPECT_TRUE(add_entry(acl, ACL_REVISION, kInherit, kAll, everyone));
  EXPECT_FALSE(
      add_entry(Cleared(acl), ACL_REVISION, kInherit, kAll, everyone));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_ALLOTTED_SPACE_EXCEEDED});
  EXPECT_EQ(acl->AceCount, 1u);
  EXPECT_EQ(acl->AclSize, 28u);
  const BYTE* entry = reinterpret_cast<const BYTE*>(acl) + sizeof(ACL);
  EXPECT_EQ(entry[0], ACCESS_ALLOWED_ACE_TYPE);
  EXPECT_EQ(entry[1], kInherit);
  EXPECT_EQ(entry[2], 20u);
  EXPECT_EQ(memcmp(entry + 8, everyone, 12), 0);

  SECURITY_DESCRIPTOR descriptor;
  ASSERT_TRUE(initialize_descriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
  EXPECT_TRUE(set_dacl(&descriptor, TRUE, acl, FALSE));
  EXPECT_FALSE(set_control(Cleared(&descriptor), SE_DACL_PRESENT, 0));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_PARAMETER});
  EXPECT_TRUE(set_control(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED));
  EXPECT_EQ(descriptor.Control, SE_DACL_PRESENT | SE_DACL_PROTECTED);
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, &descriptor, FALSE};
  EXPECT_TRUE(CreateDirectoryA("secured", &attributes));
  EXPECT_TRUE(RemoveDirectoryA("secured"));

  EXPECT_EQ(free_sid(everyone), nullptr);
  EXPECT_TRUE(FreeLibrary(advapi));
}

// KERNEL32 is always loaded, and in it the calls that tell a 32-bit
// program whether it runs under WoW64 answer as a 32-bit Windows does (the
// tests' prefix is 32-bit): no WoW64, for the process's pseudo-handle too,
// and an x86 processor.
TEST_F(Win32, KernelCallsFoundAtRunTimeTellA32BitWindows) {
  EXPECT_EQ(GetModuleHandleA(Cleared("no-such-module.dll")), nullptr);
  EXPECT_EQ(GetLastError(), DWORD{ERROR_MOD_NOT_FOUND});
  HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
  ASSERT_NE(kernel, nullptr);
  EXPECT_EQ(GetModuleHandleA("kernel32"), kernel);
  EXPECT_EQ(GetProcAddress(Cleared(kernel), "NoSuchCall"), nullptr);
  EXPECT_EQ(GetLastError(), DWORD{ERROR_PROC_NOT_FOUND});
  auto is_wow64 = FindCall<IsWow64ProcessCall>(kernel, "IsWow64Process");
  auto native_info =
      FindCall<GetNativeSystemInfoCall>(kernel, "GetNativeSystemInfo");
  ASSERT_NE(is_wow64, nullptr);
  ASSERT_NE(native_info, nullptr);
  BOOL wow64 = TRUE;
  EXPECT_TRUE(is_wow64(GetCurrentProcess(), &wow64));
  EXPECT_FALSE(wow64);
  SYSTEM_INFO native;
  memset(&native, 0xFF, sizeof native);
  native_info(&native);
  EXPECT_EQ(native.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_INTEL);
}
