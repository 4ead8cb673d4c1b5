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

}  // namespace
