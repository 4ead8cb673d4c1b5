// Random trees, copied and then removed by the walker; after each step the
// trees on disk must be what the step promises.
#include <gtest/gtest.h>
#include <stdio.h>
#include <strings.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "os/posix/host-control.h"
#include "staging/copy-or-delete-tree.h"
#include "support/host-machine.h"
#include "tree-snapshot.h"

namespace {

namespace fs = std::filesystem;
using tree_snapshot::kFolder;
using tree_snapshot::Snapshot;
using Tree = std::map<std::string, std::string>;

// Names that only look special: dots in every place but the end (where
// Windows takes them off, and with them a name that only a host can
// make), and plain ones.
const char* const kNames[] = {"...x",   ".x",       ".hidden.txt", "a.b.c",
                              "readme", "Data.TXT", "x.y",         "..more",
                              "tail..x", "name with blank", "UPPER", "d"};

struct RandomTree {
  Tree entries;
  std::set<std::string> read_only;  // files
};

// Up to `depth` more levels below `folder` ("" for the top).
void Grow(std::mt19937* random, const std::string& folder, int depth,
          RandomTree* tree) {
  std::uniform_int_distribution<int> count(folder.empty() ? 2 : 0, 5);
  std::uniform_int_distribution<size_t> pick(0, std::size(kNames) - 1);
  std::uniform_int_distribution<int> percent(0, 99);
  std::set<std::string> used;  // regardless of case, as Windows names are
  int n = count(*random);
  for (int i = 0; i < n; ++i) {
    std::string name = kNames[pick(*random)];
    std::string lower = name;
    for (char& c : lower) c = static_cast<char>(tolower(c));
    if (!used.insert(lower).second) continue;
    std::string path = folder.empty() ? name : folder + "/" + name;
    if (depth > 0 && percent(*random) < 40) {
      tree->entries[path] = kFolder;
      Grow(random, path, depth - 1, tree);
    } else {
      std::string content(static_cast<size_t>(percent(*random)) * 37, '\0');
      for (char& c : content) c = static_cast<char>((*random)());
      tree->entries[path] = content;
      if (percent(*random) < 20) tree->read_only.insert(path);
    }
  }
}

// What removing `tree` must leave: its read-only files and the folders
// that hold them.
Tree Survivors(const RandomTree& tree) {
  Tree left;
  for (const std::string& path : tree.read_only) {
    left[path] = tree.entries.at(path);
    for (size_t slash = path.find('/'); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
      left[path.substr(0, slash)] = kFolder;
    }
  }
  return left;
}

bool Writable(const fs::path& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && (st.st_mode & S_IWUSR);
}

class TreeWalkProperty : public HostMachineTest,
                         public ::testing::WithParamInterface<unsigned> {
 protected:
  int Walk(const char* source, const char* destination) {
    char buffer[kTreePathSize] = {};
    snprintf(buffer, sizeof buffer, "%s", source);
    size_t handles = HostOpenHandleCount();
    int result = -1;
    console_ = tree_snapshot::Console(
        [&] { result = CopyOrDeleteTree(buffer, destination); });
    EXPECT_EQ(HostOpenHandleCount(), handles);
    return result;
  }

  std::string console_;
};

TEST_P(TreeWalkProperty, CopyThenRemove) {
  std::mt19937 random(GetParam());
  RandomTree tree;
  Grow(&random, "", 4, &tree);
  tree_snapshot::Build(HostPath("src"), tree.entries);
  for (const std::string& path : tree.read_only)
    fs::permissions(HostPath("src/" + path), fs::perms::owner_read);
  MakeFolder("copy");

  // The copy is the source again, with nothing read-only in it.
  ASSERT_EQ(Walk("C:\\src", "C:\\copy\\"), 0) << console_;
  EXPECT_EQ(console_, "");
  EXPECT_EQ(Snapshot(HostPath("src")), tree.entries);
  EXPECT_EQ(Snapshot(HostPath("copy")), tree.entries);
  for (const auto& entry : fs::recursive_directory_iterator(HostPath("copy")))
    EXPECT_TRUE(Writable(entry.path())) << entry.path();

  // The copy goes entirely; the source keeps what is read-only.
  EXPECT_EQ(Walk("C:\\copy\\", nullptr), 0) << console_;
  EXPECT_EQ(console_, "");
  EXPECT_TRUE(Snapshot(HostPath("copy")).empty());
  EXPECT_EQ(Walk("C:\\src", nullptr), tree.read_only.empty() ? 0 : 1);
  EXPECT_EQ(Snapshot(HostPath("src")), Survivors(tree));
  for (const std::string& path : tree.read_only) {
    std::string line = "Unable to remove temp file C:\\src\\" + path + "\n";
    for (char& c : line) c = c == '/' ? '\\' : c;
    EXPECT_NE(console_.find(line), std::string::npos) << line;
  }
}

INSTANTIATE_TEST_SUITE_P(Seeds, TreeWalkProperty, ::testing::Range(1u, 41u));

}  // namespace
