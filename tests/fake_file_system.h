// An in-memory tree behind the platform interface, for the fuzzers and for
// tests that need a failure no real file system can be made to produce. It
// keeps every rename's promise: a rename onto any existing entry fails.
#ifndef UNCLASH_TESTS_FAKE_FILE_SYSTEM_H_
#define UNCLASH_TESTS_FAKE_FILE_SYSTEM_H_

#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace unclash::testing {

class FakeFileSystem : public Platform {
 public:
  struct Entry {
    bool isDirectory = false;
    std::string content;  // a file's; a directory's own path
  };

  // Each adds to an existing directory (the root is made with AddRoot).
  void AddRoot(const std::string& path);
  void AddFile(const std::string& directory, const std::string& name, const std::string& content);
  // Returns the new directory's path.
  std::string AddDirectory(const std::string& directory, const std::string& name);

  bool ListDirectory(const std::string& directory, DirectoryId& id, EntrySink& sink) override;
  bool RenameNoReplace(const std::string& directory, std::string_view oldName,
                       std::string_view newName) override;
  bool Write(std::string_view text) override;

  // Every file: (directory, name) -> content.
  std::map<std::pair<std::string, std::string>, std::string> Files() const;

  std::map<std::string, std::map<std::string, Entry>> directories;
  std::string output;
  std::set<std::string> failListing;  // directories whose listing fails
  std::size_t renamesBeforeFailure = static_cast<std::size_t>(-1);
  std::size_t writesBeforeFailure = static_cast<std::size_t>(-1);
  std::size_t renameCalls = 0;
  std::size_t writeCalls = 0;
};

}  // namespace unclash::testing

#endif  // UNCLASH_TESTS_FAKE_FILE_SYSTEM_H_
