#include "platform/linux_platform.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <string>

#include "test_support.h"

namespace unclash {
namespace {

using testing::TempTree;
using Files = std::map<std::string, std::string>;

class CollectingSink : public EntrySink {
 public:
  void AddEntry(std::string_view name, bool isDirectory) override {
    entries[std::string(name)] = isDirectory;
  }
  std::map<std::string, bool> entries;
};

TEST(LinuxPlatformTest, ListsEveryEntryAndTellsDirectoriesByWhereTheyLead) {
  TempTree tree;
  tree.Dir("dir");
  tree.File("file");
  tree.Symlink("to-dir", "dir");
  tree.Symlink("to-file", "file");
  tree.Symlink("dangling", "none");
  tree.Symlink("loop", "loop");
  ASSERT_EQ(mkfifo(tree.Path("fifo").c_str(), 0600), 0);
  LinuxPlatform platform;
  CollectingSink sink;
  DirectoryId id;
  ASSERT_TRUE(platform.ListDirectory(tree.root(), id, sink));
  EXPECT_EQ(sink.entries, (std::map<std::string, bool>{{".", true},
                                                       {"..", true},
                                                       {"dangling", false},
                                                       {"dir", true},
                                                       {"fifo", false},
                                                       {"file", false},
                                                       {"loop", false},
                                                       {"to-dir", true},
                                                       {"to-file", false}}));
  DirectoryId throughLink;
  CollectingSink again;
  ASSERT_TRUE(platform.ListDirectory(tree.Path("to-dir"), throughLink, again));
  DirectoryId direct;
  ASSERT_TRUE(platform.ListDirectory(tree.Path("dir"), direct, again));
  EXPECT_EQ(throughLink, direct);
  EXPECT_FALSE(id == direct);
  EXPECT_FALSE(platform.ListDirectory(tree.Path("file"), id, again));
  EXPECT_FALSE(platform.ListDirectory(tree.Path("none"), id, again));
}

TEST(LinuxPlatformTest, RenameNeverReplacesAnyKindOfEntry) {
  TempTree tree;
  tree.File("from", "mine");
  tree.File("file", "theirs");
  tree.Dir("dir");
  tree.Symlink("dangling", "none");
  ASSERT_EQ(mkfifo(tree.Path("fifo").c_str(), 0600), 0);
  const Files before = tree.Files();
  LinuxPlatform platform;
  for (const char* taken : {"file", "dir", "dangling", "fifo"}) {
    EXPECT_FALSE(platform.RenameNoReplace(tree.root(), "from", taken)) << taken;
  }
  EXPECT_EQ(tree.Files(), before);
  EXPECT_TRUE(platform.RenameNoReplace(tree.root(), "from", "to"));
  EXPECT_EQ(tree.Files().at("to"), "mine");
  EXPECT_EQ(tree.Files().count("from"), 0u);
}

// A file system that refuses RENAME_NOREPLACE, and optionally hard links or
// the removal of the old name.
class RefusingFileSystem : public LinuxPlatform {
 public:
  int linkError = 0;
  bool unlinkFails = false;
  int unlinks = 0;

 protected:
  int RenameAt2NoReplace(int, const char*, const char*) override {
    errno = EINVAL;
    return -1;
  }
  int Link(int directory, const char* oldName, const char* newName) override {
    if (linkError != 0) {
      errno = linkError;
      return -1;
    }
    return LinuxPlatform::Link(directory, oldName, newName);
  }
  int Unlink(int directory, const char* name) override {
    if (unlinkFails && unlinks++ == 0) {
      errno = EBUSY;
      return -1;
    }
    return LinuxPlatform::Unlink(directory, name);
  }
};

TEST(LinuxPlatformTest, FallbackRenamesThroughALinkAndNeverReplaces) {
  TempTree tree;
  tree.File("a", "mine");
  tree.File("taken", "theirs");
  tree.Symlink("link", "a");
  RefusingFileSystem platform;
  EXPECT_FALSE(platform.RenameNoReplace(tree.root(), "a", "taken"));
  EXPECT_EQ(tree.Files(), (Files{{"a", "mine"}, {"link", "->a"}, {"taken", "theirs"}}));
  EXPECT_TRUE(platform.RenameNoReplace(tree.root(), "a", "b"));
  EXPECT_TRUE(platform.RenameNoReplace(tree.root(), "link", "link2"));
  EXPECT_EQ(tree.Files(), (Files{{"b", "mine"}, {"link2", "->a"}, {"taken", "theirs"}}));
}

TEST(LinuxPlatformTest, FallbackFailureLeavesTheOldNameAlone) {
  TempTree tree;
  tree.File("a", "mine");
  RefusingFileSystem noLinks;
  noLinks.linkError = EPERM;
  EXPECT_FALSE(noLinks.RenameNoReplace(tree.root(), "a", "b"));
  EXPECT_EQ(tree.Files(), (Files{{"a", "mine"}}));
  RefusingFileSystem stuck;
  stuck.unlinkFails = true;
  EXPECT_FALSE(stuck.RenameNoReplace(tree.root(), "a", "b"));
  EXPECT_EQ(tree.Files(), (Files{{"a", "mine"}}));
}

}  // namespace
}  // namespace unclash
