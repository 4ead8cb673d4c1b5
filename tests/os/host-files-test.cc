// What the layer does with files where Wine cannot be the judge: Windows
// refusals that Wine run by the superuser does not make (read-only and
// hidden files are not replaced or written to), a search below a file
// (Wine answers otherwise), and the free space that the machine settings
// fix.
#include <algorithm>
#include <sys/statvfs.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <string>

#include "host-scratch.h"
#include "os/advapi-calls.h"

namespace {

using HostFiles = HostScratch;

DWORD CopyError(const char* from, const char* to) {
  SetLastError(0);
  return CopyFileA(from, to, FALSE) ? 0 : GetLastError();
}

// Windows never replaces a read-only or a hidden file, whoever asks; the
// host's superuser could write to either.
TEST_F(HostFiles, CopyFileRefusesReadOnlyAndHiddenTargets) {
  MakeFile("source", "new");
  MakeFile(".hidden-source", "new");
  MakeFile("locked", "old");
  ASSERT_EQ(chmod(Path("locked").c_str(), 0444), 0);
  MakeFile(".hidden", "old");
  EXPECT_EQ(CopyError("source", "locked"), DWORD{ERROR_ACCESS_DENIED});
  EXPECT_EQ(CopyError("source", ".hidden"), DWORD{ERROR_ACCESS_DENIED});
  EXPECT_EQ(CopyError(".hidden-source", ".HIDDEN"), DWORD{ERROR_ACCESS_DENIED});
  EXPECT_EQ(ReadFile("locked"), "old");
  EXPECT_EQ(ReadFile(".hidden"), "old");
  // Once it is writable again, the copy replaces it.
  EXPECT_TRUE(SetFileAttributesA("locked", FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(CopyError("source", "locked"), 0u);
  EXPECT_EQ(ReadFile("locked"), "new");
}

// Nor does it open a read-only file for writing or appending.
TEST_F(HostFiles, ReadOnlyFilesOpenForReadingOnly) {
  MakeFile("locked.log", "kept");
  ASSERT_EQ(chmod(Path("locked.log").c_str(), 0444), 0);
  for (DWORD access : {DWORD{GENERIC_READ | FILE_APPEND_DATA},
                       DWORD{GENERIC_WRITE}}) {
    SetLastError(0);
    EXPECT_EQ(CreateFileA("locked.log", access, FILE_SHARE_READ, nullptr,
                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_ACCESS_DENIED});
  }
  HANDLE reader = CreateFileA("locked.log", GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(CloseHandle(reader));
  EXPECT_EQ(ReadFile("locked.log"), "kept");
}

// Windows opens the folder a search looks in, and a file is none:
// ERROR_DIRECTORY, where Wine says ERROR_INVALID_NAME. A walk then tells a
// folder that turned into a file from one that is gone.
TEST_F(HostFiles, SearchBelowAFileFindsNoFolder) {
  MakeFile("file", "x");
  WIN32_FIND_DATAA found;
  for (const char* pattern :
       {"file\\*", "FILE\\*.*", "file/x.txt", "file.\\*"}) {
    EXPECT_EQ(FindFirstFileA(pattern, &found), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_DIRECTORY}) << pattern;
  }
  // No folder to open on the way.
  EXPECT_EQ(FindFirstFileA("file\\sub\\*", &found), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), DWORD{ERROR_PATH_NOT_FOUND});
}

struct Space {
  DWORD sectors, bytes, free_clusters, total;
};

DWORD QuerySpace(const char* root, Space* space) {
  *space = {0, 0, 0, 0};
  SetLastError(0);
  return GetDiskFreeSpaceA(root, &space->sectors, &space->bytes,
                           &space->free_clusters, &space->total)
             ? 0
             : GetLastError();
}

TEST_F(HostFiles, FreeSpaceComesFromTheMachine) {
  Space space;
  ASSERT_EQ(QuerySpace(nullptr, &space), 0u);
  EXPECT_EQ(space.bytes, 512u);
  // Z: is the host's root: its size is the host file system's, in
  // clusters as large as the file system's blocks.
  struct statvfs host;
  ASSERT_EQ(statvfs("/", &host), 0);
  unsigned long long block = host.f_frsize ? host.f_frsize : host.f_bsize;
  ASSERT_EQ(QuerySpace("Z:\\", &space), 0u);
  EXPECT_EQ(space.sectors * 512ull, std::max(block, 512ull));
  unsigned long long total = host.f_blocks * block / (space.sectors * 512ull);
  EXPECT_EQ(space.total, std::min(total, 0xFFFFFFFFull));
  EXPECT_LE(space.free_clusters, space.total);
  // The fixed answer is for drives that exist.
  HostSetFreeSpace(1, 2, 3, 4);
  EXPECT_EQ(QuerySpace("Q:\\", &space), DWORD{ERROR_PATH_NOT_FOUND});
  HostFailCall("GetDiskFreeSpaceA", ERROR_NOT_READY, 1);
  EXPECT_EQ(QuerySpace("Z:\\", &space), DWORD{ERROR_NOT_READY});
  EXPECT_EQ(QuerySpace("Z:\\", &space), 0u);
}

TEST_F(HostFiles, FreeSpaceSettingMustBeFourNumbers) {
  setenv("ZODERUDO_FREE_SPACE", "8,512,4294967295,4294967295", 1);
  HostResetMachine();
  Space space;
  ASSERT_EQ(QuerySpace("Z:\\", &space), 0u);
  EXPECT_EQ(space.sectors, 8u);
  EXPECT_EQ(space.free_clusters, 0xFFFFFFFFu);
  for (const char* setting : {"", "1,2,3", "1,2,3,4,5", "1,2,3,4294967296",
                              "a,b,c,d", "1, 2,3,4", "1,2,3,4 ", "-1,2,3,4"}) {
    setenv("ZODERUDO_FREE_SPACE", setting, 1);
    HostResetMachine();
    EXPECT_EQ(QuerySpace("Z:\\", &space), DWORD{ERROR_NOT_READY})
        << "'" << setting << "'";
  }
  unsetenv("ZODERUDO_FREE_SPACE");
}

TEST_F(HostFiles, TemporaryNamesNeedRoomInAPath) {
  char name[MAX_PATH];
  UINT number = GetTempFileNameA(".", "ZRTEMP\\", 0, name);
  ASSERT_NE(number, 0u);
  char expected[MAX_PATH];
  snprintf(expected, sizeof expected, ".\\ZRT%X.TMP", number);
  EXPECT_STREQ(name, expected);
  // A folder may have up to 246 characters (MAX_PATH - 14).
  std::string windows = "Z:" + root_;
  for (char& c : windows) c = c == '/' ? '\\' : c;
  for (size_t length : {246u, 247u}) {
    std::string folder(length - windows.size() - 1, length == 246 ? 'a' : 'b');
    ASSERT_EQ(mkdir(Path(folder).c_str(), 0777), 0);
    std::string path = windows + "\\" + folder;
    ASSERT_EQ(path.size(), length);
    SetLastError(0);
    UINT made = GetTempFileNameA(path.c_str(), "ZRT", 0, name);
    EXPECT_EQ(made != 0, length == 246) << length;
    EXPECT_EQ(GetLastError(), length == 246 ? 0 : DWORD{ERROR_BUFFER_OVERFLOW});
  }
}

}  // namespace

namespace {

// The last sub-authority of the owner of the folder `path` (1000 for
// S-1-5-21-0-0-0-1000), or 0 when it cannot be read.
DWORD OwnerRid(const char* path) {
  HMODULE advapi = LoadLibraryA("ADVAPI32.DLL");
  auto object_security = FindCall<GetKernelObjectSecurityCall>(
      advapi, "GetKernelObjectSecurity");
  auto descriptor_owner = FindCall<GetSecurityDescriptorOwnerCall>(
      advapi, "GetSecurityDescriptorOwner");
  HANDLE held = CreateFileA(path, READ_CONTROL, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                            nullptr);
  DWORD descriptor[32];
  DWORD needed = 0;
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  DWORD rid = 0;
  if (object_security && descriptor_owner && held != INVALID_HANDLE_VALUE &&
      object_security(held, OWNER_SECURITY_INFORMATION, descriptor,
                      sizeof descriptor, &needed) &&
      descriptor_owner(descriptor, &owner, &defaulted)) {
    const BYTE* sid = static_cast<const BYTE*>(owner);
    memcpy(&rid, sid + 8 + 4 * (sid[1] - 1), sizeof rid);
  }
  if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
  FreeLibrary(advapi);
  return rid;
}

}  // namespace

// An owner goes with its folder: the token's user for one the program
// made, another account for one made on the host, and whatever a test
// sets. Volumes answer NTFS unless a drive is said to keep no lists.
TEST_F(HostFiles, FoldersHaveOwnersAndDrivesTheirAccessLists) {
  ASSERT_TRUE(CreateDirectoryA("made", nullptr));
  std::filesystem::create_directory(Path("theirs"));
  EXPECT_EQ(OwnerRid("made"), 1000u);
  EXPECT_EQ(OwnerRid("theirs"), 1001u);
  std::filesystem::rename(Path("made"), Path("moved"));
  std::filesystem::rename(Path("theirs"), Path("made"));
  EXPECT_EQ(OwnerRid("moved"), 1000u);
  EXPECT_EQ(OwnerRid("made"), 1001u);
  EXPECT_TRUE(HostSetFolderOwner("made", "S-1-5-18"));
  EXPECT_EQ(OwnerRid("made"), 18u);
  EXPECT_FALSE(HostSetFolderOwner("missing", "S-1-5-18"));
  EXPECT_FALSE(HostSetFolderOwner("made", "S-1-5-x"));
  HostSetSecurity(HostSecurity::kStubs);
  EXPECT_EQ(OwnerRid("made"), 0u);
  HostSetSecurity(HostSecurity::kNt);

  DWORD flags = 0;
  char name[8] = {};
  ASSERT_TRUE(GetVolumeInformationA("z:\\", nullptr, 0, nullptr, nullptr,
                                    &flags, name, sizeof name));
  EXPECT_STREQ(name, "NTFS");
  EXPECT_NE(flags & FILE_PERSISTENT_ACLS, 0u);
  HostSetAccessLists('Z', false);
  ASSERT_TRUE(GetVolumeInformationA(nullptr, nullptr, 0, nullptr, nullptr,
                                    &flags, name, sizeof name));
  EXPECT_STREQ(name, "FAT32");
  EXPECT_EQ(flags & FILE_PERSISTENT_ACLS, 0u);
  std::string folder = Cwd() + "\\";  // no root
  EXPECT_FALSE(GetVolumeInformationA(folder.c_str(), nullptr, 0, nullptr,
                                     nullptr, &flags, nullptr, 0));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_NAME});
  EXPECT_FALSE(GetVolumeInformationA("Z:\\", nullptr, 0, nullptr, nullptr,
                                     &flags, name, 5));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_BAD_LENGTH});
  EXPECT_EQ(HostOpenHandleCount(), 0u);
}
