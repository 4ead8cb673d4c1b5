// Drive letters, path forms and names regardless of case on the host.
#include <unistd.h>

#include <string>

#include "host-scratch.h"

namespace {

using HostPaths = HostScratch;
namespace fs = std::filesystem;

DWORD SetError(const char* path) {
  SetLastError(0);
  return SetCurrentDirectoryA(path) ? 0 : GetLastError();
}

TEST_F(HostPaths, DrivesMapFromTheEnvironmentThroughLinks) {
  std::string windows = "Z:" + root_;
  for (char& c : windows) c = c == '/' ? '\\' : c;
  EXPECT_EQ(Cwd(), windows);
  fs::create_directory(Path("real"));
  fs::create_directory_symlink(Path("real"), Path("link"));
  setenv("ZODERUDO_DRIVE_C", Path("link").c_str(), 1);
  setenv("ZODERUDO_DRIVE_Z", "", 1);
  HostResetMachine();
  ASSERT_EQ(chdir(Path("real").c_str()), 0);
  EXPECT_EQ(Cwd(), "C:\\");
  ASSERT_EQ(chdir(root_.c_str()), 0);  // under no drive now
  EXPECT_EQ(Cwd(), "");
  EXPECT_EQ(GetLastError(), DWORD{ERROR_PATH_NOT_FOUND});
  EXPECT_EQ(SetError("Z:\\"), DWORD{ERROR_PATH_NOT_FOUND});
}

TEST_F(HostPaths, LongestMappedFolderNamesTheDrive) {
  fs::create_directories(Path("sub/inner"));
  fs::create_directory(Path("subway"));
  HostMapDrive('c', root_.c_str());
  HostMapDrive('D', Path("sub").c_str());
  struct Case {
    std::string host, windows;
  } cases[] = {
      {Path("sub/inner"), "D:\\inner"},
      {Path("sub"), "D:\\"},
      {Path("subway"), "C:\\subway"},
      {root_, "C:\\"},
      {"/", "Z:\\"},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(chdir(c.host.c_str()), 0);
    EXPECT_EQ(Cwd(), c.windows) << c.host;
  }
  HostMapDrive('D', nullptr);
  ASSERT_EQ(chdir(Path("sub").c_str()), 0);
  EXPECT_EQ(Cwd(), "C:\\sub");
}

TEST_F(HostPaths, NamesResolveRegardlessOfCase) {
  fs::create_directories(Path("Sub/LEAF"));
  fs::create_directory(Path("abc"));
  fs::create_directory(Path("ABC"));
  HostMapDrive('C', root_.c_str());
  ASSERT_TRUE(SetCurrentDirectoryA("c:\\SUB\\leaf"));
  EXPECT_EQ(HostCwd(), Path("Sub/LEAF"));
  ASSERT_EQ(chdir(".."), 0);  // behind the layer's back: named as on disk
  EXPECT_EQ(Cwd(), "C:\\Sub");
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\abc"));
  EXPECT_EQ(HostCwd(), Path("abc"));
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\Abc"));
  EXPECT_EQ(HostCwd(), Path("ABC"));  // the first in byte order
}

TEST_F(HostPaths, PathFormsStartFromTheRightFolder) {
  fs::create_directories(Path("c/sub"));
  fs::create_directories(Path("d/x"));
  HostMapDrive('C', Path("c").c_str());
  HostMapDrive('D', Path("d").c_str());
  struct Step {
    const char* path;
    std::string host;
  } steps[] = {
      {"C:\\sub", Path("c/sub")}, {"\\", Path("c")},
      {"D:x", Path("d/x")},  // not the current drive: from its root
      {"C:sub", Path("c/sub")},   {"C:\\..\\..\\SUB\\..\\sub", Path("c/sub")},
  };
  for (const Step& step : steps) {
    EXPECT_TRUE(SetCurrentDirectoryA(step.path)) << step.path;
    EXPECT_EQ(HostCwd(), step.host) << step.path;
  }
  EXPECT_EQ(SetError("//server/share"), DWORD{ERROR_PATH_NOT_FOUND});
}

TEST_F(HostPaths, FindFirstFileSortsAndHidesLikeWine) {
  MakeFile("b.txt", "");
  MakeFile("A.txt", "");
  MakeFile(".cfg", "");
  HostMapDrive('C', root_.c_str());
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA("C:\\?.TXT", &found);  // no dots at a root
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  EXPECT_STREQ(found.cFileName, "A.txt");
  FindClose(search);
  search = FindFirstFileA("C:\\.CFG", &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  EXPECT_EQ(found.dwFileAttributes,
            DWORD{FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE});
  EXPECT_NE(found.ftLastWriteTime.dwHighDateTime, 0u);
  FindClose(search);
  EXPECT_EQ(FindFirstFileA("C:\\", &found), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), DWORD{ERROR_FILE_NOT_FOUND});
}

// A path whose names are all spelt as on disk is resolved in one step;
// each way out of that step must still give what the walk one name at a
// time gives.
TEST_F(HostPaths, ExactAndOtherCaseNamesReachTheSameEntries) {
  fs::create_directory(Path("Dir"));
  MakeFile("Dir/Target.TXT", "old");
  MakeFile("src.txt", "new");
  fs::create_directory_symlink(Path("Dir"), Path("link"));
  HostMapDrive('C', root_.c_str());
  // A new name with another case on disk replaces that entry.
  ASSERT_TRUE(CopyFileA("C:\\src.txt", "C:\\Dir\\target.txt", FALSE));
  EXPECT_EQ(ReadFile("Dir/Target.TXT"), "new");
  EXPECT_FALSE(fs::exists(Path("Dir/target.txt")));
  // A folder on the way in another case, and one reached through a link.
  ASSERT_TRUE(CopyFileA("C:\\src.txt", "C:\\DIR\\new.txt", TRUE));
  EXPECT_EQ(ReadFile("Dir/new.txt"), "new");
  EXPECT_TRUE(DeleteFileA("C:\\link\\new.txt"));
  EXPECT_FALSE(fs::exists(Path("Dir/new.txt")));
  // What the exact name's status says still counts, call after call.
  ASSERT_TRUE(
      SetFileAttributesA("C:\\Dir\\Target.TXT", FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(DeleteFileA("C:\\Dir\\Target.TXT"));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_ACCESS_DENIED});
  ASSERT_TRUE(
      SetFileAttributesA("C:\\Dir\\Target.TXT", FILE_ATTRIBUTE_NORMAL));
  EXPECT_TRUE(DeleteFileA("C:\\Dir\\Target.TXT"));
  EXPECT_FALSE(DeleteFileA("C:\\Dir"));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_ACCESS_DENIED});
  // A file on the way, and a folder that is not there.
  EXPECT_FALSE(DeleteFileA("C:\\src.txt\\x"));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_PATH_NOT_FOUND});
  EXPECT_FALSE(CopyFileA("C:\\src.txt", "C:\\none\\x.txt", FALSE));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_PATH_NOT_FOUND});
}

// Links show as Wine shows them: by name a link is a reparse point with
// the attributes of what it leads to (a dangling one of its own), while a
// handle opened on it follows it, reparse flag or not. A second name of a
// file shows in the link count of a handle on either name.
TEST_F(HostPaths, LinksShowOnTheNameAndSecondNamesInTheCount) {
  fs::create_directory(Path("real"));
  MakeFile("real/file.txt", "x");
  fs::create_directory_symlink(Path("real"), Path("link"));
  fs::create_symlink(Path("real/file.txt"), Path("file-link"));
  fs::create_symlink(Path("nowhere"), Path("dangling"));
  fs::create_hard_link(Path("real/file.txt"), Path("second.txt"));
  HostMapDrive('C', root_.c_str());
  const DWORD kLinkedFolder =
      FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
  EXPECT_EQ(GetFileAttributesA("C:\\real"), DWORD{FILE_ATTRIBUTE_DIRECTORY});
  EXPECT_EQ(GetFileAttributesA("C:\\LINK"), kLinkedFolder);
  EXPECT_EQ(GetFileAttributesA("C:\\real\\file.txt"),
            DWORD{FILE_ATTRIBUTE_ARCHIVE});
  EXPECT_EQ(GetFileAttributesA("C:\\file-link"),
            DWORD{FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_REPARSE_POINT});
  EXPECT_EQ(GetFileAttributesA("C:\\dangling") & FILE_ATTRIBUTE_REPARSE_POINT,
            DWORD{FILE_ATTRIBUTE_REPARSE_POINT});
  EXPECT_EQ(GetFileAttributesA("C:\\"), DWORD{FILE_ATTRIBUTE_DIRECTORY});
  EXPECT_EQ(GetFileAttributesA("C:\\none"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), DWORD{ERROR_FILE_NOT_FOUND});
  EXPECT_EQ(GetFileAttributesA("C:\\none\\x"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), DWORD{ERROR_PATH_NOT_FOUND});

  HANDLE folder = CreateFileA(
      "C:\\link", FILE_LIST_DIRECTORY, FILE_SHARE_READ, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
      nullptr);
  ASSERT_NE(folder, INVALID_HANDLE_VALUE);
  BY_HANDLE_FILE_INFORMATION info;
  ASSERT_TRUE(GetFileInformationByHandle(folder, &info));
  EXPECT_EQ(info.dwFileAttributes, DWORD{FILE_ATTRIBUTE_DIRECTORY});
  CloseHandle(folder);
  for (const char* name : {"C:\\second.txt", "C:\\real\\file.txt"}) {
    HANDLE file = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT,
                              nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(GetFileInformationByHandle(file, &info));
    EXPECT_EQ(info.nNumberOfLinks, 2u) << name;
    CloseHandle(file);
  }
}

}  // namespace
