#include "renamer/directory_walk.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <string>

#include "platform/linux_platform.h"
#include "test_support.h"

namespace unclash {
namespace {

using testing::RecordingPlatform;
using testing::TempTree;
using Files = std::map<std::string, std::string>;

using WalkResult = testing::WalkOutcome;

class DirectoryWalkTest : public ::testing::Test {
 protected:
  WalkResult Walk(const std::string& directory) { return testing::WalkTree(platform, directory); }
  WalkResult Walk() { return Walk(tree.root()); }

  TempTree tree;
  LinuxPlatform host;
  RecordingPlatform platform{host};
};

TEST_F(DirectoryWalkTest, SettlesNamesInWalkOrder) {
  tree.File("a.txt");
  tree.File("b");
  tree.Dir("sub1");
  tree.File("sub1/a.txt");
  tree.File("sub1/a_n0.txt");
  tree.Dir("sub2");
  tree.File("sub2/a.txt");
  tree.File("sub2/B");
  const WalkResult r = Walk();
  EXPECT_TRUE(r.result);
  EXPECT_EQ(platform.output, "Renamed a.txt to a_n1.txt\nRenamed a.txt to a_n2.txt\n");
  EXPECT_EQ(r.done, 2);
  EXPECT_EQ(r.skipped, 4);
  EXPECT_EQ(tree.Files(), (Files{{"a.txt", "a.txt"},
                                 {"b", "b"},
                                 {"sub1/a_n0.txt", "sub1/a_n0.txt"},
                                 {"sub1/a_n1.txt", "sub1/a.txt"},
                                 {"sub2/B", "sub2/B"},
                                 {"sub2/a_n2.txt", "sub2/a.txt"}}));
}

TEST_F(DirectoryWalkTest, SecondRunRenamesNothing) {
  tree.File("x.c");
  tree.Dir("d");
  tree.File("d/x.c");
  tree.Dir("d/e");
  tree.File("d/e/x.c");
  ASSERT_EQ(Walk().done, 2);
  const Files after = tree.Files();
  platform.output.clear();
  const WalkResult again = Walk();
  EXPECT_TRUE(again.result);
  EXPECT_EQ(again.done, 0);
  EXPECT_EQ(again.skipped, 3);
  EXPECT_EQ(platform.output, "");
  EXPECT_EQ(tree.Files(), after);
}

// A rename onto a subdirectory fails; the directory's remaining files are
// left alone, its subdirectories are still walked, and no further sibling
// of any directory above is entered.
TEST_F(DirectoryWalkTest, FailedRenameStopsFilesThenFailedSubtreeStopsSiblings) {
  tree.File("k");
  tree.Dir("P");
  tree.File("P/k");
  tree.File("P/m");
  tree.Dir("P/k_n0");
  tree.Dir("P/S");
  tree.File("P/S/q");
  tree.Dir("Q");
  tree.File("Q/q");
  const Files before = tree.Files();
  const WalkResult r = Walk();
  EXPECT_FALSE(r.result);
  EXPECT_EQ(platform.output, "\n\n*** Failed to rename: " + tree.Path("P/k") + "\n to " +
                                 tree.Path("P/k_n0") + "\n\n");
  EXPECT_EQ(r.done, 0);
  EXPECT_EQ(r.skipped, 2);
  EXPECT_EQ(platform.listed, (std::vector<std::string>{tree.root(), tree.Path("P"),
                                                       tree.Path("P/S"), tree.Path("P/k_n0")}));
  EXPECT_EQ(tree.Files(), before);
}

TEST_F(DirectoryWalkTest, NameOfFailedRenameStaysClaimed) {
  tree.File("k");
  tree.Dir("P");
  tree.File("P/k");
  tree.Dir("P/S");
  tree.File("P/S/k");
  platform.beforeRename = [&](const std::string& from, const std::string&) {
    return from != tree.Path("P/k");
  };
  const WalkResult r = Walk();
  EXPECT_FALSE(r.result);
  EXPECT_EQ(platform.output, "\n\n*** Failed to rename: " + tree.Path("P/k") + "\n to " +
                                 tree.Path("P/k_n0") + "\n\nRenamed k to k_n1\n");
  EXPECT_EQ(r.done, 1);
  EXPECT_EQ(r.skipped, 1);
}

TEST_F(DirectoryWalkTest, UnlistableDirectoryIsReportedWithItsPattern) {
  tree.File("plain");
  for (const std::string& path : {tree.Path("missing"), tree.Path("plain")}) {
    platform.output.clear();
    const WalkResult r = Walk(path);
    EXPECT_FALSE(r.result);
    EXPECT_EQ(platform.output, "ERROR scanning for " + path + "/*\n");
    EXPECT_EQ(r.done + r.skipped, 0);
  }
}

TEST_F(DirectoryWalkTest, EmptyDirectoryPrintsNothing) {
  const WalkResult r = Walk();
  EXPECT_TRUE(r.result);
  EXPECT_EQ(platform.output, "");
  EXPECT_EQ(r.done + r.skipped, 0);
}

TEST_F(DirectoryWalkTest, PathIsUsedAsGiven) {
  tree.File("a");
  tree.Dir("sub");
  tree.File("sub/a");
  tree.Dir("...");
  tree.File(".../b");
  tree.File("sub/b");
  const WalkResult r = Walk(tree.root() + "/");
  EXPECT_TRUE(r.result);
  EXPECT_EQ(platform.output, "Renamed a to a_n0\nRenamed b to b_n0\n");
  EXPECT_EQ(r.skipped, 2);  // "a" at the top and ".../b", walked first
  EXPECT_EQ(platform.renames, (std::vector<std::pair<std::string, std::string>>{
                                  {tree.root() + "//sub/a", tree.root() + "//sub/a_n0"},
                                  {tree.root() + "//sub/b", tree.root() + "//sub/b_n0"}}));
}

TEST_F(DirectoryWalkTest, LinksToDirectoriesAreWalkedOnceAndOthersAreFiles) {
  TempTree outside;
  outside.File("o.txt");
  tree.File("o.txt");
  tree.Dir("d");
  tree.File("d/f");
  tree.Symlink("d/up", "..");            // an ancestor
  tree.Symlink("d/self", ".");           // itself
  tree.Symlink("e1", "d");               // a second way into d, met first
  tree.Symlink("e2", "d");               // and a third
  tree.Symlink("f", "d/f");              // a link to a file
  tree.Symlink("gone", "nothing here");  // dangling
  tree.Symlink("out", outside.root());   // a directory outside the tree
  tree.Dir("z");
  tree.Symlink("z/gone", "nowhere");  // dangling, named like a file met before
  const WalkResult r = Walk();
  EXPECT_TRUE(r.result);
  EXPECT_EQ(platform.output,
            "Renamed f to f_n0\nRenamed o.txt to o_n0.txt\nRenamed gone to gone_n0\n");
  EXPECT_EQ(r.done, 3);
  EXPECT_EQ(r.skipped, 3);  // o.txt, f, gone at the top
  EXPECT_EQ(platform.listed,
            (std::vector<std::string>{tree.root(), tree.Path("d"), tree.Path("d/self"),
                                      tree.Path("d/up"), tree.Path("e1"), tree.Path("e2"),
                                      tree.Path("out"), tree.Path("z")}));
  EXPECT_EQ(outside.Files(), (Files{{"o_n0.txt", "o.txt"}}));
  EXPECT_EQ(tree.Files().at("z/gone_n0"), "->nowhere");
}

TEST_F(DirectoryWalkTest, SpecialFilesAreRenamedLikeFiles) {
  tree.File("fifo");
  tree.Dir("d");
  ASSERT_EQ(mkfifo(tree.Path("d/fifo").c_str(), 0600), 0);
  const WalkResult r = Walk();
  EXPECT_TRUE(r.result);
  EXPECT_EQ(platform.output, "Renamed fifo to fifo_n0\n");
  EXPECT_EQ(tree.Files().at("d/fifo_n0"), "<special>");
}

TEST_F(DirectoryWalkTest, EntryThatAppearsAtTheNewNameIsNeverReplaced) {
  tree.File("a");
  tree.Dir("d");
  tree.File("d/a");
  platform.beforeRename = [](const std::string&, const std::string& to) {
    testing::WriteFile(to, "theirs");
    return true;  // and now let the real rename try
  };
  const WalkResult r = Walk();
  EXPECT_FALSE(r.result);
  EXPECT_EQ(platform.output, "\n\n*** Failed to rename: " + tree.Path("d/a") + "\n to " +
                                 tree.Path("d/a_n0") + "\n\n");
  EXPECT_EQ(tree.Files(), (Files{{"a", "a"}, {"d/a", "d/a"}, {"d/a_n0", "theirs"}}));
}

// A directory whose listing breaks off after some entries fails as a whole:
// nothing of it is renamed, counted or walked.
class BreakingListing : public LinuxPlatform {
 public:
  std::string breakIn;

  bool ListDirectory(const std::string& directory, DirectoryId& id, EntrySink& sink) override {
    breaking_ = directory == breakIn;
    return LinuxPlatform::ListDirectory(directory, id, sink);
  }

 protected:
  // Hands out the first entries of the directory, then fails.
  long GetDents64(int directory, char* buffer, std::size_t) override {
    if (!breaking_) return LinuxPlatform::GetDents64(directory, buffer, 1 << 16);
    if (called_) {
      errno = EIO;
      return -1;
    }
    called_ = true;
    return LinuxPlatform::GetDents64(directory, buffer, 120);  // a few records
  }

 private:
  bool breaking_ = false;
  bool called_ = false;
};

TEST_F(DirectoryWalkTest, ListingThatFailsMidwayIsAScanningFailure) {
  tree.File("a");
  tree.Dir("d");
  for (const char* name : {"d/a", "d/b", "d/c", "d/e"}) tree.File(name);
  tree.Dir("d/sub");
  tree.File("d/sub/a");
  tree.Dir("later");
  const Files before = tree.Files();
  BreakingListing breaking;
  breaking.breakIn = tree.Path("d");
  RecordingPlatform recording(breaking);
  const WalkResult r = testing::WalkTree(recording, tree.root());
  EXPECT_FALSE(r.result);
  EXPECT_EQ(recording.output, "ERROR scanning for " + tree.Path("d") + "/*\n");
  EXPECT_EQ(r.done, 0);
  EXPECT_EQ(r.skipped, 1);
  EXPECT_EQ(recording.listed, (std::vector<std::string>{tree.root(), tree.Path("d")}));
  EXPECT_EQ(tree.Files(), before);
}

// Once a report cannot be written, no further rename is made anywhere.
TEST_F(DirectoryWalkTest, StopsBeforeTheNextRenameOnceOutputFails) {
  tree.File("a");
  for (const char* dir : {"d1", "d2", "d3"}) {
    tree.Dir(dir);
    tree.File(std::string(dir) + "/a");
    tree.File(std::string(dir) + "/z");
  }
  platform.beforeWrite = [](std::string_view) { return false; };
  const WalkResult r = Walk();
  EXPECT_FALSE(r.result);
  EXPECT_EQ(platform.renames.size(), 1u);
  EXPECT_EQ(platform.listed.size(), 2u);
  EXPECT_EQ(r.done, 1);
}

}  // namespace
}  // namespace unclash
