#include "app/run.h"

#include <gtest/gtest.h>

#include "platform/linux_platform.h"
#include "test_support.h"

namespace unclash {
namespace {

using testing::RecordingPlatform;
using testing::TempTree;

TEST(RunTest, ExitStatusTellsSuccessFailureAndUsage) {
  TempTree tree;
  tree.File("a");
  tree.Dir("d");
  tree.File("d/a");
  LinuxPlatform host;
  RecordingPlatform platform(host);
  const std::string root = tree.root();
  const char* one[] = {"unclash", root.c_str()};
  EXPECT_EQ(RunFromCommandLine(2, one, platform), kExitSuccess);
  EXPECT_EQ(platform.output, "Renamed a to a_n0\n\n\n(Done 1. Skipped 1.)\n\n");
  const std::string missing = tree.Path("missing");
  const char* bad[] = {"unclash", missing.c_str()};
  EXPECT_EQ(RunFromCommandLine(2, bad, platform), kExitFailed);
  const char* none[] = {"unclash"};
  EXPECT_EQ(RunFromCommandLine(1, none, platform), kExitUsage);
}

// A run whose report is lost is not a success, even when every rename
// before the loss worked: the user was never told about them.
TEST(RunTest, LostOutputFailsTheRun) {
  LinuxPlatform host;
  for (int writesThatWork : {0, 1}) {
    TempTree tree;
    tree.File("a");
    tree.Dir("d");
    tree.File("d/a");
    const std::string root = tree.root();
    const char* argv[] = {"unclash", root.c_str()};
    RecordingPlatform platform(host);
    int writes = 0;
    platform.beforeWrite = [&](std::string_view) { return writes++ < writesThatWork; };
    EXPECT_EQ(RunFromCommandLine(2, argv, platform), kExitFailed) << writesThatWork;
    EXPECT_EQ(writes, 2) << writesThatWork;  // the lost line, then the summary
  }
}

}  // namespace
}  // namespace unclash
