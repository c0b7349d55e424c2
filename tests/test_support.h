// Fixtures shared by the tests: a scoped temporary tree on the real file
// system, and a platform that forwards to another one while recording what
// the walk writes and letting a test interfere with single calls.
#ifndef UNCLASH_TESTS_TEST_SUPPORT_H_
#define UNCLASH_TESTS_TEST_SUPPORT_H_

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "renamer/name_registry.h"

namespace unclash::testing {

// A fresh directory below the system's temporary directory, removed with
// everything in it when the object goes.
class TempTree {
 public:
  TempTree();
  ~TempTree();
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  const std::string& root() const { return root_; }
  // Path of `relative` (written with "/") below the root.
  std::string Path(const std::string& relative) const;

  // Each creates `relative` below the root; parents must exist. A file's
  // content defaults to its own relative path, so that where a file went
  // can be read back from the tree.
  void File(const std::string& relative);
  void File(const std::string& relative, const std::string& content);
  void Dir(const std::string& relative);
  void Symlink(const std::string& relative, const std::string& target);

  // Every entry below the root that a walk takes for a file (links to
  // directories are not; links are not followed), by relative path, with
  // its content ("->target" for a link, "<special>" for a FIFO and such).
  std::map<std::string, std::string> Files() const;
  // The same by (directory, name), the directory relative ("" for the root).
  std::map<std::pair<std::string, std::string>, std::string> FilesByPlace() const;

 private:
  std::string root_;
};

// Forwards every call to `base`, records what is written, and calls the
// optional hooks first: a hook that returns false makes the call fail
// without reaching `base`.
class RecordingPlatform : public Platform {
 public:
  explicit RecordingPlatform(Platform& base) : base_(base) {}

  bool ListDirectory(const std::string& directory, DirectoryId& id, EntrySink& sink) override;
  bool RenameNoReplace(const std::string& directory, std::string_view oldName,
                       std::string_view newName) override;
  bool Write(std::string_view text) override;

  std::string output;
  std::vector<std::string> listed;
  std::vector<std::pair<std::string, std::string>> renames;  // full paths
  std::function<bool(const std::string&, const std::string&)> beforeRename;
  std::function<bool(std::string_view)> beforeWrite;

 private:
  Platform& base_;
};

// The name selection as plainly stated, to check the real one against: the
// old name if free, else every numbered variant from counter 0 on until one
// is neither pending nor claimed; claims it in `registry`.
std::string PlainChoice(const std::string& oldName, const std::set<std::string>& pending,
                        std::set<std::string>& registry);

// Settles the files of one directory, named `names`, both with
// ChooseUniqueName and with PlainChoice. Returns "" when each file got the
// same final name from both, or else what differed.
std::string SettleBothWays(const std::set<std::string>& names, NameRegistry& registry,
                           std::set<std::string>& plainRegistry);

// Each of `bases` and its numbered variants with the given counters: names
// that meet the variants other files are offered.
std::vector<std::string> NamesWithVariants(const std::vector<std::string>& bases,
                                           const std::vector<std::uint64_t>& counters);

// One walk of `root` with a fresh registry and counters, as a run makes it.
struct WalkOutcome {
  bool result = false;
  std::int32_t done = 0;
  std::int32_t skipped = 0;
  bool outputLost = false;
};
WalkOutcome WalkTree(Platform& platform, const std::string& root);

// The bytes of a file, or "" when it cannot be read.
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& content);

}  // namespace unclash::testing

#endif  // UNCLASH_TESTS_TEST_SUPPORT_H_
