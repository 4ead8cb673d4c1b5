// The walker on real trees below a scratch drive C:, with failures made by
// the tree itself or by the host layer.
#include "staging/copy-or-delete-tree.h"

#include <gtest/gtest.h>
#include <string.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <string>

#include "os/posix/host-control.h"
#include "staging/path-characters.h"
#include "support/host-machine.h"
#include "tree-snapshot.h"
#include "walker-lines.h"

namespace {

namespace fs = std::filesystem;
using tree_snapshot::Build;
using tree_snapshot::kFolder;
using tree_snapshot::Snapshot;
using walker_lines::kCannotCopyFile;
using walker_lines::kCannotCreateFolder;
using walker_lines::kCannotEmptyFolder;
using walker_lines::kCannotRemoveFolder;
using walker_lines::kCascade;
using Tree = std::map<std::string, std::string>;

class TreeWalkTest : public HostMachineTest {
 protected:
  // Walks `source`, given in a buffer of the walker's size; every search
  // the walk opens must be closed again, whatever happened.
  int Walk(const std::string& source, const char* destination) {
    char buffer[kTreePathSize];
    memset(buffer, 0, sizeof buffer);
    EXPECT_LT(source.size(), sizeof buffer);
    memcpy(buffer, source.c_str(), source.size());
    size_t handles = HostOpenHandleCount();
    int result = -1;
    console_ = tree_snapshot::Console(
        [&] { result = CopyOrDeleteTree(buffer, destination); });
    EXPECT_EQ(HostOpenHandleCount(), handles) << source;
    walked_ = buffer;
    return result;
  }

  Tree SnapshotOf(const std::string& below_c) const {
    return Snapshot(HostPath(below_c));
  }

  void MakeReadOnly(const std::string& below_c) {
    ASSERT_EQ(chmod(HostPath(below_c).c_str(), 0444), 0);
  }

  bool Writable(const std::string& below_c) const {
    struct stat st;
    return stat(HostPath(below_c).c_str(), &st) == 0 && (st.st_mode & S_IWUSR);
  }

  std::string console_;
  std::string walked_;  // the source buffer after the walk
};

const Tree kFourLevels = {
    {"top.txt", "top"},
    {"no extension", ""},
    {"a/a.bin", std::string(100000, 'a')},
    {"a/b/b.txt", "b"},
    {"a/b/c/c.txt", "c"},
    {"a/b/c/d.txt", "d"},
    {"a/empty", kFolder},
    {"other/x.y.z", "xyz"},
};

TEST_F(TreeWalkTest, CopyReproducesATreeOfSeveralLevels) {
  Build(HostPath("src"), kFourLevels);
  for (const char* source : {"C:\\src", "C:\\src\\"}) {
    fs::remove_all(HostPath("copy"));
    MakeFolder("copy");
    EXPECT_EQ(Walk(source, "C:\\copy\\"), 0) << source;
    EXPECT_EQ(console_, "");
    EXPECT_EQ(walked_, "C:\\src\\");
    EXPECT_EQ(SnapshotOf("copy"), SnapshotOf("src")) << source;
  }
  EXPECT_EQ(SnapshotOf("src").size(), kFourLevels.size() + 4);  // + folders
}

TEST_F(TreeWalkTest, ReadOnlyAndHiddenFilesAreCopiedAndEndUpNormal) {
  Build(HostPath("src"), {{"locked", "l"},
                          {".hidden", "h"},
                          {"sub/.hidden-locked", "hl"}});
  MakeReadOnly("src/locked");
  MakeReadOnly("src/sub/.hidden-locked");
  MakeFolder("copy");
  EXPECT_EQ(Walk("C:\\src", "C:\\copy\\"), 0);
  EXPECT_EQ(SnapshotOf("copy"), SnapshotOf("src"));
  for (const char* copy : {"copy/locked", "copy/sub/.hidden-locked"})
    EXPECT_TRUE(Writable(copy)) << copy;
  EXPECT_FALSE(Writable("src/locked"));
  // Hidden stays with the dot name, the only way the host shows it.
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA("C:\\copy\\sub\\.hidden-locked", &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  FindClose(search);
  EXPECT_EQ(found.dwFileAttributes,
            DWORD{FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN});
}

// Copying over a file of the copy's own would lose it: only a second
// entry of the same name can be there.
TEST_F(TreeWalkTest, FileAlreadyInTheCopyIsNeverReplaced) {
  Build(HostPath("src"), {{"a.txt", "new"}});
  Build(HostPath("copy"), {{"a.txt", "old and longer"}});
  EXPECT_EQ(Walk("C:\\src", "C:\\copy\\"), 1);
  EXPECT_EQ(console_, "Package holds two files named C:\\src\\a.txt\n");
  EXPECT_EQ(ReadFile("copy/a.txt"), "old and longer");
}

// Names as a double-byte code page has them, each ending in a character
// whose second byte is 0x5C, the byte of the backslash: the walk must not
// take them for folders that end in a separator.
struct CodePageNames {
  UINT code_page;
  const char* package;  // a name ending in such a character
  const char* folder;
  const char* inner;
};
const CodePageNames kDoubleByteNames[] = {
    {932, "pkg\x83\x5C", "\x95\x5C", "\x8F\x5C\x90\x5C"},  // ソ 表 十申
    {936, "pkg\x81\x5C", "\x81\x5C", "a\x81\x5C"},             // 乗
    {950, "pkg\xA5\x5C", "\xA5\x5C", "\xB3\x5C"},              // 功 許
};

TEST_F(TreeWalkTest, DoubleByteNamesEndingInByte5CAreCopiedAndRemovedWhole) {
  for (const CodePageNames& names : kDoubleByteNames) {
    SCOPED_TRACE(names.code_page);
    HostSetCodePage(names.code_page);
    std::string folder = names.folder, inner = names.inner;
    std::string copy = std::string("copy") + names.package;
    Build(HostPath(names.package),
          {{"top.txt", "top"},
           {folder + "/" + folder + ".txt", "in folder"},
           {folder + "/" + inner + "/deep.txt", "deep"},
           {folder + "/" + inner + "/" + inner, kFolder}});
    MakeFolder(copy);
    std::string source = std::string("C:\\") + names.package;
    EXPECT_EQ(Walk(source, ("C:\\" + copy + "\\").c_str()), 0);
    EXPECT_EQ(console_, "");
    EXPECT_EQ(walked_, source + "\\");
    EXPECT_EQ(SnapshotOf(copy), SnapshotOf(names.package));
    EXPECT_EQ(SnapshotOf(copy).size(), 6u);

    EXPECT_EQ(Walk("C:\\" + copy, nullptr), 0);
    EXPECT_EQ(console_, "");
    EXPECT_TRUE(SnapshotOf(copy).empty());
    EXPECT_FALSE(EndsWithBackslash(source.c_str()));
    std::string lower = "c:\\" + std::string(names.package).replace(0, 3, "PKG");
    EXPECT_TRUE(SameFolderName(source.c_str(), (lower + "\\").c_str()));
    // One character, not a letter in two cases.
    EXPECT_FALSE(SameFolderName("C:\\\x83\x41", "C:\\\x83\x61"));
    // Under a single-byte page the same bytes end in a backslash.
    HostSetCodePage(1252);
    EXPECT_TRUE(EndsWithBackslash(source.c_str()));
  }
}

// A name with no exact form in the ANSI code page is listed by its nearest
// letters, which lead nowhere or to another entry: the copy fails and says
// which, instead of leaving a hole or losing a file.
TEST_F(TreeWalkTest, NamesThatLeadNowhereOrTwiceFailTheCopyByName) {
  Build(HostPath("src"), {{"Čeština/driver.inf", "inf"},
                          {"Łódź", kFolder}});
  // As code page 1252 shows it: "š" is 0x9A there.
  HostSetNarrowName("Čeština", "Ce\x9A" "tina");
  MakeFolder("copy");
  EXPECT_EQ(Walk("C:\\src", "C:\\copy\\"), 1);
  EXPECT_EQ(console_, "Unable to read package sub-directory C:\\src\\Ce\x9A" "tina\\\n" +
                          std::string(kCascade));

  Build(HostPath("two"), {{"a.txt", "a"}, {"ā.txt", "a-macron"}});
  HostSetNarrowName("ā.txt", "a.txt");
  MakeFolder("copy2");
  EXPECT_EQ(Walk("C:\\two", "C:\\copy2\\"), 1);
  EXPECT_EQ(console_, "Package holds two files named C:\\two\\a.txt\n");

  fs::remove(HostPath("two/a.txt"));
  fs::remove_all(HostPath("copy2"));
  MakeFolder("copy2");
  EXPECT_EQ(Walk("C:\\two", "C:\\copy2\\"), 1);
  EXPECT_EQ(console_, "Unable to read package file C:\\two\\a.txt\n");
  EXPECT_TRUE(SnapshotOf("copy2").empty());
}

TEST_F(TreeWalkTest, ExistingSubDirectoryStopsTheCopy) {
  Build(HostPath("src"), {{"sub/a.txt", "a"}});
  MakeFolder("copy/sub");
  EXPECT_EQ(Walk("C:\\src", "C:\\copy\\"), 1);
  EXPECT_EQ(console_, kCannotCreateFolder);
  EXPECT_FALSE(Exists("copy/sub/a.txt"));
}

TEST_F(TreeWalkTest, FileThatCannotBeCopiedTwoLevelsDownCascades) {
  Build(HostPath("src"), {{"a/b/first", "1"}, {"a/b/second", "2"}});
  MakeFolder("copy");
  HostFailCall("CopyFileA", ERROR_ACCESS_DENIED, 1);
  EXPECT_EQ(Walk("C:\\src", "C:\\copy\\"), 1);
  EXPECT_EQ(console_, std::string(kCannotCopyFile) + kCascade + kCascade);
  EXPECT_EQ(SnapshotOf("copy"), (Tree{{"a", kFolder}, {"a/b", kFolder}}));
}

// A link in the source that leads to the destination (the host follows it
// as Windows follows a junction) is refused, not copied into itself; one
// that leads elsewhere is copied like a folder. Each source folder is
// looked at once, and only when copying.
TEST_F(TreeWalkTest, SourceFolderThatIsTheDestinationIsNotWalked) {
  Build(HostPath("src"), {{"a.txt", "a"}, {"sub/b.txt", "b"}});
  Build(HostPath("elsewhere"), {{"x", "x"}});
  MakeFolder("copy");
  fs::create_directory_symlink(HostPath("copy"), HostPath("src/sub/loop"));
  fs::create_directory_symlink(HostPath("elsewhere"), HostPath("src/link"));
  HostTakeCallCounts();
  EXPECT_EQ(Walk("C:\\src", "C:\\copy\\"), 1);
  EXPECT_EQ(console_,
            "Package directory holds the staging directory: "
            "C:\\src\\sub\\loop\n" + std::string(kCascade));
  EXPECT_EQ(SnapshotOf("copy"), (Tree{{"a.txt", "a"},
                                      {"link", kFolder},
                                      {"link/x", "x"},
                                      {"sub", kFolder},
                                      {"sub/b.txt", "b"}}));
  EXPECT_EQ(HostTakeCallCounts()["CreateFileA"], 4);  // copy, link, sub, loop

  EXPECT_EQ(Walk("C:\\copy", nullptr), 0);
  EXPECT_EQ(HostTakeCallCounts().count("CreateFileA"), 0u);
}

TEST_F(TreeWalkTest, SourcesWithNothingToWalkGiveZero) {
  MakeFolder("empty");
  MakeFolder("copy");
  for (const char* source : {"C:\\empty", "C:\\missing", "C:\\no\\such"}) {
    EXPECT_EQ(Walk(source, "C:\\copy\\"), 0) << source;
    EXPECT_EQ(console_, "") << source;
    EXPECT_EQ(Walk(source, nullptr), 0) << source;
    EXPECT_EQ(console_, "") << source;
  }
  EXPECT_TRUE(SnapshotOf("copy").empty());
  EXPECT_TRUE(Exists("empty"));
}

TEST_F(TreeWalkTest, SourceThatCannotBeReadFailsOnlyACopy) {
  Build(HostPath("src"), {{"a.txt", "a"}, {"b.txt", "b"}});
  MakeFolder("copy");
  HostFailCall("FindFirstFileA", ERROR_ACCESS_DENIED, 1);
  EXPECT_EQ(Walk("C:\\src", "C:\\copy\\"), 1);
  EXPECT_EQ(console_, kCannotCopyFile);
  HostFailCall("FindFirstFileA", ERROR_ACCESS_DENIED, 1);
  EXPECT_EQ(Walk("C:\\src", nullptr), 0);
  EXPECT_EQ(console_, "");
  // A listing that breaks off is no complete copy either.
  HostFailCall("FindNextFileA", ERROR_GEN_FAILURE, 1);
  EXPECT_EQ(Walk("C:\\src", "C:\\copy\\"), 1);
  EXPECT_EQ(console_, kCannotCopyFile);
  EXPECT_EQ(SnapshotOf("src").size(), 2u);
  // Nor is one that finds nothing the second time round, after the names
  // of 8.3 aliases: the folder listed once.
  HostFailNthCall("FindFirstFileA", ERROR_FILE_NOT_FOUND, 2);
  EXPECT_EQ(Walk("C:\\src", "C:\\copy\\"), 1);
  EXPECT_EQ(console_, "Unable to read package sub-directory C:\\src\\\n");
}

TEST_F(TreeWalkTest, DeleteEmptiesTheTreeButKeepsItsRoot) {
  Build(HostPath("stage"), kFourLevels);
  EXPECT_EQ(Walk("C:\\stage\\", nullptr), 0);
  EXPECT_EQ(console_, "");
  EXPECT_TRUE(fs::is_directory(HostPath("stage")));
  EXPECT_TRUE(SnapshotOf("stage").empty());
}

TEST_F(TreeWalkTest, FilesAndFoldersThatStayAreReportedAndTheWalkGoesOn) {
  Build(HostPath("stage"),
        {{"a.txt", "a"}, {"locked", "l"}, {"sub/x", "x"}, {"z.txt", "z"}});
  MakeReadOnly("stage/locked");
  HostFailCall("RemoveDirectoryA", ERROR_ACCESS_DENIED, 1);
  EXPECT_EQ(Walk("C:\\stage", nullptr), 1);
  EXPECT_EQ(console_, std::string("Unable to remove temp file C:\\stage\\locked\n") +
                          kCannotRemoveFolder);
  EXPECT_EQ(SnapshotOf("stage"), (Tree{{"locked", "l"}, {"sub", kFolder}}));
}

TEST_F(TreeWalkTest, EmptySourceIsNoDriveRoot) {
  EXPECT_EQ(Walk("", nullptr), 1);
  EXPECT_EQ(Walk("", "C:\\pkg\\"), 1);
  EXPECT_EQ(console_, kCannotCopyFile);
  EXPECT_TRUE(Exists("pkg"));
  EXPECT_TRUE(Exists("WINDOWS/system32/DRIVERS"));
}

// A source of 259 characters has no room for its backslash: it is not
// walked, and its buffer stays as it was. (Every other bound of the
// walker's paths is in tree-walk-bounds-test.cc.)
TEST_F(TreeWalkTest, SourceWithNoRoomForItsBackslashIsNotWalked) {
  std::string source = "C:\\" + std::string(200, 'a') + "\\" +
                       std::string(55, 'b');  // 259 characters
  MakeFolder(source.substr(3, 200) + "/" + source.substr(204));
  MakeFile(source.substr(3, 200) + "/" + source.substr(204) + "/f", "f");
  MakeFolder("copy");
  EXPECT_EQ(Walk(source, "C:\\copy\\"), 1);
  EXPECT_EQ(console_, kCannotCopyFile);
  EXPECT_EQ(walked_, source);
  EXPECT_EQ(Walk(source, nullptr), 1);
  EXPECT_EQ(console_, "");
  EXPECT_TRUE(SnapshotOf("copy").empty());
}

}  // namespace
