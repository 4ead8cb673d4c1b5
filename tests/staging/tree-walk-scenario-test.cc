// A package tree copied, emptied, and a copy and a removal that fail, on
// disk. Built for the host and for Windows (run under Wine), with the same
// assertions.
#include <gtest/gtest.h>
#include <string.h>

#include <filesystem>
#include <map>
#include <string>

#include "os/conformance.h"
#include "os/os.h"
#ifndef _WIN32
#include "os/posix/host-control.h"
#endif
#include "staging/copy-or-delete-tree.h"
#include "tree-snapshot.h"
#include "walker-lines.h"

namespace fs = std::filesystem;
using tree_snapshot::Console;
using tree_snapshot::kFolder;
using tree_snapshot::Snapshot;
using walker_lines::kCannotCopyFile;
using walker_lines::kCannotEmptyFolder;
using walker_lines::kCascade;

namespace {

using TreeWalk = conformance::Win32;

const std::map<std::string, std::string> kPackage = {
    {"ZELMOR_UPDATE.cmd", "@exit 0\r\n"},
    {"version.id", "1.0\r\n1.1\r\n"},
    {".hidden", "hidden"},
    {"locked.txt", "read-only"},
    {"no extension", ""},
    {"x.y.z", "dots"},
    {"drivers/tavixnt5.sys", std::string(300000, 'S')},
    {"drivers/deep/setup.inf", "[Version]"},
    {"drivers/deep/locked.cat", "read-only too"},
    {"drivers/empty", kFolder},
    {"docs", kFolder},
    {"docs/readme.txt", "read me"},
};

void MakeReadOnly(const std::string& path) {
  fs::permissions(
      path,
      fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
      fs::perm_options::remove);
}

bool IsReadOnly(const std::string& path) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(path.c_str(), &found);
  EXPECT_NE(search, INVALID_HANDLE_VALUE) << path;
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return (found.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
}

// A relative path of nested folders, `length` characters long with its
// final backslash, each name at most 50 characters.
std::string Folders(size_t length) {
  std::string folders;
  size_t left = length - 1;
  while (left > 0) {
    size_t n = left < 50 ? left : 50;
    if (left - n == 1) --n;  // a separator needs a name behind it
    folders.append(n, 'd');
    left -= n;
    if (left > 0) {
      folders += '\\';
      --left;
    }
  }
  return folders + '\\';
}

// Copies "package" into a new folder "staging": whole, with nothing said.
void ExpectCopiedWhole() {
  ASSERT_TRUE(CreateDirectoryA("staging", nullptr));
  char source[kTreePathSize] = "package";
  int result = -1;
  EXPECT_EQ(Console([&] { result = CopyOrDeleteTree(source, "staging\\"); }),
            "");
  EXPECT_EQ(result, 0);
  EXPECT_STREQ(source, "package\\");
  EXPECT_EQ(Snapshot("staging"), Snapshot("package"));
}

// Empties "staging" and keeps the folder itself.
void ExpectEmptied() {
  char staging[kTreePathSize] = "staging\\";
  int result = -1;
  EXPECT_EQ(Console([&] { result = CopyOrDeleteTree(staging, nullptr); }), "");
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(fs::is_directory("staging"));
  EXPECT_TRUE(Snapshot("staging").empty());
}

}  // namespace

TEST_F(TreeWalk, PackageIsCopiedThenEmptied) {
  tree_snapshot::Build("package", kPackage);
  MakeReadOnly("package/locked.txt");
  MakeReadOnly("package/drivers/deep/locked.cat");
  ExpectCopiedWhole();
  // Also "drivers" and "drivers/deep".
  EXPECT_EQ(Snapshot("package").size(), kPackage.size() + 2);
  EXPECT_FALSE(IsReadOnly("staging\\locked.txt"));
  EXPECT_FALSE(IsReadOnly("staging\\drivers\\deep\\locked.cat"));

  ExpectEmptied();
}

// The alias the system gives `name` in `folder`, as a listing shows it.
std::string AliasOf(const std::string& folder, const std::string& name) {
  WIN32_FIND_DATAA found;
  memset(&found, 0, sizeof found);
  HANDLE search = FindFirstFileA((folder + "\\" + name).c_str(), &found);
  EXPECT_NE(search, INVALID_HANDLE_VALUE) << name;
  if (search == INVALID_HANDLE_VALUE) return "";
  FindClose(search);
  return found.cAlternateFileName;
}

// A package mastered without 8.3 names holds long names and, beside each,
// a file or folder whose real name is the alias that the system gives that
// long name (NTFS: AARDVA~1.TXT; Wine: a hash). Copied in listing order,
// the long name would take the alias first and its twin be refused; each
// is copied whole, with its own bytes, and the clean-up removes both.
TEST_F(TreeWalk, TwinsByEightDotThreeAliasAreCopiedWhole) {
#ifndef _WIN32
  HostSetShortNames(true);  // as NTFS and Wine do
#endif
  const std::string kLongFiles[] = {"AARDVARK NOTES.TXT",
                                    "Setup Instructions.html"};
  const std::string kLongFolder = "DRIVER FILES";
  tree_snapshot::Build("names", {{kLongFiles[0], ""},
                                 {kLongFiles[1], ""},
                                 {kLongFolder, kFolder}});
  // Made twins first: a long name made first would answer to the alias.
  std::map<std::string, std::string> twins, longs;
  for (const std::string& name : kLongFiles) {
    std::string alias = AliasOf("names", name);
    ASSERT_NE(alias.find('~'), std::string::npos) << name << ": " << alias;
    longs[name] = "long " + name;
    twins[alias] = "alias of " + name;
  }
  std::string folder_alias = AliasOf("names", kLongFolder);
  ASSERT_NE(folder_alias.find('~'), std::string::npos) << folder_alias;
  longs[kLongFolder + "/inside.txt"] = "in the long folder";
  twins[folder_alias + "/inside.txt"] = "in its twin";
  tree_snapshot::Build("package", twins);
  tree_snapshot::Build("package", longs);
  std::map<std::string, std::string> package = twins;
  package.insert(longs.begin(), longs.end());
  ASSERT_EQ(Snapshot("package").size(), package.size() + 2);
  ExpectCopiedWhole();
  ExpectEmptied();
#ifndef _WIN32
  HostSetShortNames(false);
#endif
}

TEST_F(TreeWalk, RemovalGoesOnPastAFileThatStays) {
  tree_snapshot::Build("tree", {{"a.txt", "a"},
                                {"sub/deep/locked", "x"},
                                {"sub/deep/z.txt", "z"},
                                {"sub/b.txt", "b"},
                                {"zz/c.txt", "c"}});
  MakeReadOnly("tree/sub/deep/locked");
  char source[kTreePathSize] = "tree";
  int result = -1;
  EXPECT_EQ(Console([&] { result = CopyOrDeleteTree(source, nullptr); }),
            std::string("Unable to remove temp file tree\\sub\\deep\\locked\n") +
                kCannotEmptyFolder + kCannotEmptyFolder);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(Snapshot("tree"),
            (std::map<std::string, std::string>{{"sub", kFolder},
                                                {"sub/deep", kFolder},
                                                {"sub/deep/locked", "x"}}));
}

// The copy's path of a file two levels down is one character too long for
// its buffer, though its source path fits: the file fails, and each level
// above it adds its line.
TEST_F(TreeWalk, FileTooLongForItsCopyFailsTwoLevelsDown) {
  std::string name(40, 'f');
  tree_snapshot::Build("src", {{"a/b/" + name, "deep"}});
  std::string target = here_ + "\\";
  std::string folders = Folders(kTreePathSize - strlen("a\\b\\") -
                                name.size() - target.size());
  target += folders;
  ASSERT_EQ(target.size() + strlen("a\\b\\") + name.size(), kTreePathSize);
  std::string host_folders = fs::path(folders).generic_string();
  for (char& c : host_folders) c = c == '\\' ? '/' : c;
  ASSERT_TRUE(fs::create_directories(host_folders));

  char source[kTreePathSize] = "src\\";
  int result = -1;
  EXPECT_EQ(Console([&] { result = CopyOrDeleteTree(source, target.c_str()); }),
            std::string(kCannotCopyFile) + kCascade + kCascade);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(Snapshot(host_folders), (std::map<std::string, std::string>{
                                  {"a", kFolder}, {"a/b", kFolder}}));
}
