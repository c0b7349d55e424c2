// Random trees, real and in memory, checked against what must hold after any
// run rather than against a second copy of the algorithm.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "fake_file_system.h"
#include "platform/linux_platform.h"
#include "run_invariants.h"
#include "test_support.h"

namespace unclash {
namespace {

using testing::ByContent;
using testing::CheckRun;
using testing::RunReport;

// Names that collide, dotted names, names that are numbered variants of
// others, and letter case.
const char* const kFileNames[] = {"a.txt",    "a",           "a_n0.txt", "a_n1.txt",
                                  "a_n0",     "x.",          ".x",       "_n0.x",
                                  "b.tar.gz", "b.tar_n0.gz", "A.TXT",    "a_n10.txt"};
// Directory names, some of them a candidate a file will be offered.
const char* const kDirectoryNames[] = {"d", "a_n0.txt", "a_n0", "e", "a_n1.txt", "..."};

using Walked = testing::WalkOutcome;

Walked Walk(Platform& platform, const std::string& root) {
  return testing::WalkTree(platform, root);
}

TEST(PropertiesTest, RandomRealTreesKeepEveryPromise) {
  std::mt19937 random(2024);
  LinuxPlatform host;
  for (int round = 0; round < 60; ++round) {
    testing::TempTree tree;
    std::vector<std::string> directories = {""};
    int made = 0;
    const int directoryCount = static_cast<int>(random() % 6);
    for (int i = 0; i < directoryCount; ++i) {
      const std::string& parent = directories[random() % directories.size()];
      const std::string relative =
          (parent.empty() ? "" : parent + "/") + kDirectoryNames[random() % 6];
      if (std::count(directories.begin(), directories.end(), relative) != 0) continue;
      tree.Dir(relative);
      directories.push_back(relative);
    }
    std::set<std::string> taken(directories.begin(), directories.end());
    for (const auto& directory : directories) {
      const std::string prefix = directory.empty() ? "" : directory + "/";
      const int files = static_cast<int>(random() % 6);
      for (int i = 0; i < files; ++i) {
        const std::string path = prefix + kFileNames[random() % 12];
        if (!taken.insert(path).second) continue;
        switch (random() % 8) {
          case 0:  // a dangling link, unique by its target
            tree.Symlink(path, "nowhere-" + std::to_string(made++));
            break;
          case 1:  // a link back to the root: never walked twice
            tree.Symlink(path, tree.root());
            break;
          default:
            tree.File(path, "content-" + std::to_string(made++));
        }
      }
    }
    const auto before = ByContent(tree.FilesByPlace());
    testing::RecordingPlatform platform(host);
    const Walked first = Walk(platform, tree.root());
    RunReport report{true, first.result, first.done, first.skipped};
    const auto settled = tree.FilesByPlace();
    ASSERT_EQ(CheckRun(before, ByContent(settled), platform.output, report), "")
        << "round " << round;
    if (first.result) {
      testing::RecordingPlatform again(host);
      const Walked second = Walk(again, tree.root());
      EXPECT_TRUE(second.result) << "round " << round;
      EXPECT_EQ(second.done, 0) << "round " << round;
      EXPECT_EQ(tree.FilesByPlace(), settled) << "round " << round;
    }
  }
}

}  // namespace
}  // namespace unclash
