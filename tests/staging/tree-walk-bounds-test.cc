// Every path the walker forms, at 259, 260 and 261 characters, on disk:
// 259 is walked, a longer one fails the entry it names and is never cut
// short. Built for the host and for Windows (run under Wine, whose calls
// themselves take paths of up to 260 characters, so the limits met here
// are the walker's own), with the same assertions.
#include <gtest/gtest.h>
#include <string.h>

#include <filesystem>
#include <map>
#include <string>

#include "os/conformance.h"
#include "os/os.h"
#include "staging/copy-or-delete-tree.h"
#include "staging/path-limits.h"
#include "tree-snapshot.h"
#include "walker-lines.h"

namespace fs = std::filesystem;
using tree_snapshot::Console;
using tree_snapshot::kFolder;
using tree_snapshot::Snapshot;
using walker_lines::kCannotCopyFile;
using walker_lines::kCannotCreateFolder;
using walker_lines::kCannotEmptyFolder;

namespace {

const size_t kLengths[] = {259, 260, 261};
// Paths of up to 259 characters fit the walker's buffers of MAX_PATH.
const size_t kLongestPath = 259;

// The folders all cases start from: their paths end with a backslash and
// leave room for names of 4 to 11 characters up to the lengths above.
const size_t kFolderLength = 250;

using Tree = std::map<std::string, std::string>;

class TreeWalkBounds : public conformance::Win32 {
 protected:
  // A folder below the test's own, `tag` naming it apart from the others,
  // with nested folders down to a path of kFolderLength characters, its
  // final backslash included. Its path comes back; `host` gets its
  // relative host form.
  std::string LongFolder(const std::string& tag, std::string* host,
                         size_t length = kFolderLength) {
    std::string windows = here_ + "\\" + tag + "\\";
    *host = tag;
    while (windows.size() < length) {
      size_t n = length - windows.size() - 1;
      if (n > 50) n = 50;
      if (length - windows.size() - n - 1 == 1) --n;  // no "\\" alone
      windows += std::string(n, 'd') + "\\";
      *host += "/" + std::string(n, 'd');
    }
    EXPECT_EQ(windows.size(), length);
    fs::create_directories(*host);
    return windows;
  }

  // Walks `source`, given in a buffer of the walker's size.
  int Walk(const std::string& source, const char* destination) {
    char buffer[kTreePathSize];
    memset(buffer, 0, sizeof buffer);
    EXPECT_LT(source.size(), sizeof buffer);
    memcpy(buffer, source.c_str(), source.size());
    int result = -1;
    console_ = Console([&] { result = CopyOrDeleteTree(buffer, destination); });
    return result;
  }

  std::string Short(const std::string& name) { return here_ + "\\" + name; }

  std::string console_;
};

std::string Tag(const char* kind, size_t length) {
  return kind + std::to_string(length);
}

// source\name, the file copied from.
TEST_F(TreeWalkBounds, FileCopiedFrom) {
  for (size_t length : kLengths) {
    std::string host;
    std::string source = LongFolder(Tag("from", length), &host);
    std::string name(length - source.size(), 'f');
    tree_snapshot::Build(host, {{name, "data"}});
    std::string copy = Tag("from-copy", length);
    fs::create_directory(copy);
    int result = Walk(source, (Short(copy) + "\\").c_str());
    if (length <= kLongestPath) {
      EXPECT_EQ(result, 0) << length;
      EXPECT_EQ(console_, "") << length;
      EXPECT_EQ(Snapshot(copy), (Tree{{name, "data"}})) << length;
    } else {
      EXPECT_EQ(result, 1) << length;
      EXPECT_EQ(console_, kCannotCopyFile) << length;
      EXPECT_TRUE(Snapshot(copy).empty()) << length;
    }
  }
}

// destination\name, the file copied to.
TEST_F(TreeWalkBounds, FileCopiedTo) {
  for (size_t length : kLengths) {
    std::string host;
    std::string destination = LongFolder(Tag("to", length), &host);
    std::string name(length - destination.size(), 'f');
    std::string source = Tag("to-source", length);
    tree_snapshot::Build(source, {{name, "data"}});
    int result = Walk(Short(source), destination.c_str());
    if (length <= kLongestPath) {
      EXPECT_EQ(result, 0) << length;
      EXPECT_EQ(console_, "") << length;
      EXPECT_EQ(Snapshot(host), (Tree{{name, "data"}})) << length;
    } else {
      EXPECT_EQ(result, 1) << length;
      EXPECT_EQ(console_, kCannotCopyFile) << length;
      EXPECT_TRUE(Snapshot(host).empty()) << length;
    }
  }
}

// destination\name\, the folder made for a sub-directory: only one that
// CreateDirectoryA makes on Windows, below kFolderPathLimit characters
// without its backslash, which Wine would exceed.
TEST_F(TreeWalkBounds, FolderMade) {
  for (size_t length : {kFolderPathLimit, kFolderPathLimit + 1, 259u}) {
    std::string host;
    std::string destination = LongFolder(Tag("made", length), &host, 230);
    std::string name(length - destination.size() - 1, 's');
    std::string source = Tag("made-source", length);
    tree_snapshot::Build(source, {{name, kFolder}});
    int result = Walk(Short(source), destination.c_str());
    if (length <= kFolderPathLimit) {
      EXPECT_EQ(result, 0) << length;
      EXPECT_EQ(console_, "") << length;
      EXPECT_EQ(Snapshot(host), (Tree{{name, kFolder}})) << length;
    } else {
      EXPECT_EQ(result, 1) << length;
      EXPECT_EQ(console_, kCannotCreateFolder) << length;
      EXPECT_TRUE(Snapshot(host).empty()) << length;
    }
  }
}

// source\name\*.*, the search of a sub-directory, when copying and when
// removing.
TEST_F(TreeWalkBounds, SubDirectorySearched) {
  for (size_t length : kLengths) {
    std::string host;
    std::string source = LongFolder(Tag("searched", length), &host);
    std::string name(length - source.size() - strlen("\\*.*"), 's');
    const Tree tree = {{name, kFolder}, {name + "/f", "f"}};
    tree_snapshot::Build(host, tree);
    std::string copy = Tag("searched-copy", length);
    fs::create_directory(copy);
    int copied = Walk(source, (Short(copy) + "\\").c_str());
    std::string copy_console = console_;
    int removed = Walk(source, nullptr);
    if (length <= kLongestPath) {
      EXPECT_EQ(copied, 0) << length;
      EXPECT_EQ(copy_console, "") << length;
      EXPECT_EQ(Snapshot(copy), tree) << length;
      EXPECT_EQ(removed, 0) << length;
      EXPECT_EQ(console_, "") << length;
      EXPECT_TRUE(Snapshot(host).empty()) << length;
    } else {
      EXPECT_EQ(copied, 1) << length;
      EXPECT_EQ(copy_console, kCannotCreateFolder) << length;
      EXPECT_TRUE(Snapshot(copy).empty()) << length;
      EXPECT_EQ(removed, 1) << length;
      EXPECT_EQ(console_, kCannotEmptyFolder) << length;
      EXPECT_EQ(Snapshot(host), tree) << length;
    }
  }
}

// source\name, the file removed; one that cannot be is named in full.
TEST_F(TreeWalkBounds, FileRemoved) {
  for (size_t length : kLengths) {
    std::string host;
    std::string folder = LongFolder(Tag("removed", length), &host);
    std::string name(length - folder.size(), 'f');
    tree_snapshot::Build(host, {{name, "data"}});
    int result = Walk(folder, nullptr);
    if (length <= kLongestPath) {
      EXPECT_EQ(result, 0) << length;
      EXPECT_EQ(console_, "") << length;
      EXPECT_TRUE(Snapshot(host).empty()) << length;
    } else {
      EXPECT_EQ(result, 1) << length;
      EXPECT_EQ(console_, "Unable to remove temp file " + folder + name + "\n")
          << length;
      EXPECT_EQ(Snapshot(host), (Tree{{name, "data"}})) << length;
    }
  }
}

// source\*.*, the search of the folder the walk starts from, given
// without its final backslash and with it.
TEST_F(TreeWalkBounds, SourceSearched) {
  for (size_t length : kLengths) {
    for (const std::string end : {"", "\\"}) {
      std::string tag = Tag(end.empty() ? "top" : "topb", length);
      std::string host;
      std::string folder = LongFolder(tag, &host);
      std::string name(length - folder.size() - strlen("\\*.*"), 's');
      tree_snapshot::Build(host, {{name + "/f", "f"}});
      std::string copy = tag + "-copy";
      fs::create_directory(copy);
      int copied = Walk(folder + name + end, (Short(copy) + "\\").c_str());
      std::string copy_console = console_;
      int removed = Walk(folder + name + end, nullptr);
      if (length <= kLongestPath) {
        EXPECT_EQ(copied, 0) << length << end;
        EXPECT_EQ(copy_console, "") << length << end;
        EXPECT_EQ(Snapshot(copy), (Tree{{"f", "f"}})) << length << end;
        EXPECT_EQ(removed, 0) << length << end;
        EXPECT_EQ(Snapshot(host), (Tree{{name, kFolder}})) << length << end;
      } else {
        EXPECT_EQ(copied, 1) << length << end;
        EXPECT_EQ(copy_console, kCannotCopyFile) << length << end;
        EXPECT_TRUE(Snapshot(copy).empty()) << length << end;
        // Not walked: nothing under it is removed, and nothing said.
        EXPECT_EQ(removed, 1) << length << end;
        EXPECT_EQ(Snapshot(host), (Tree{{name, kFolder}, {name + "/f", "f"}}))
            << length << end;
      }
      EXPECT_EQ(console_, "") << length << end;
    }
  }
}

}  // namespace
