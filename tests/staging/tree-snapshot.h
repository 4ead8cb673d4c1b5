// Trees on disk as plain values, for comparing them, and the console lines
// of a call; for the walker's tests on both builds.
#ifndef ZODERUDO_TESTS_STAGING_TREE_SNAPSHOT_H_
#define ZODERUDO_TESTS_STAGING_TREE_SNAPSHOT_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace tree_snapshot {

// Marks a folder in a snapshot; files map to their contents.
const char kFolder[] = "<folder>";

// Every entry below `root`, by its path relative to `root` ("/"
// separated).
inline std::map<std::string, std::string> Snapshot(
    const std::filesystem::path& root) {
  std::map<std::string, std::string> entries;
  for (const auto& entry :
       std::filesystem::recursive_directory_iterator(root)) {
    std::string name = entry.path().lexically_relative(root).generic_string();
    if (entry.is_directory()) {
      entries[name] = kFolder;
    } else {
      std::ostringstream text;
      text << std::ifstream(entry.path(), std::ios::binary).rdbuf();
      entries[name] = text.str();
    }
  }
  return entries;
}

// Writes `entries` below `root`.
inline void Build(const std::filesystem::path& root,
                  const std::map<std::string, std::string>& entries) {
  std::filesystem::create_directories(root);
  for (const auto& [name, content] : entries) {
    std::filesystem::path path = root / name;
    std::filesystem::create_directories(path.parent_path());
    if (content == kFolder)
      std::filesystem::create_directories(path);
    else
      std::ofstream(path, std::ios::binary) << content;
  }
}

// What `call` wrote to standard output, with line ends as "\n".
template <typename Call>
std::string Console(Call call) {
  testing::internal::CaptureStdout();
  call();
  std::string text = testing::internal::GetCapturedStdout();
  std::string lines;
  for (char c : text) {
    if (c != '\r')
      lines += c;
  }
  return lines;
}

}  // namespace tree_snapshot

#endif  // ZODERUDO_TESTS_STAGING_TREE_SNAPSHOT_H_
