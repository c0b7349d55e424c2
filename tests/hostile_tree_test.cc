// The walk on trees made to break it: names of every byte, names at the
// length limit, paths longer than the system allows, special files, and a
// very large directory.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "platform/linux_platform.h"
#include "renamer/unique_name.h"
#include "test_support.h"

namespace unclash {
namespace {

using testing::RecordingPlatform;
using testing::TempTree;

using Walked = testing::WalkOutcome;

Walked Walk(Platform& platform, const std::string& root) {
  return testing::WalkTree(platform, root);
}

std::string Variant(const std::string& name) {
  std::string variant;
  BuildCandidate(name, 0, variant);
  return variant;
}

TEST(HostileTreeTest, NamesOfEveryByteAreRenamedAndPrintedAsTheyAre) {
  TempTree tree;
  std::vector<std::string> names = {"%s%n%x%%",          "-rf", "-",   "...", "\n", "\t", "\xff",
                                    "\xc3\x28.bad-utf8", " ",   "a b", "\\"};
  for (int byte = 1; byte < 256; ++byte) {
    if (byte == '/') continue;
    names.push_back(std::string("n") + static_cast<char>(byte) + "e");
  }
  tree.Dir("d");
  for (const auto& name : names) {
    tree.File(name, "top");
    tree.File("d/" + name, "mine " + name);
  }
  std::sort(names.begin(), names.end());
  LinuxPlatform host;
  RecordingPlatform platform(host);
  const Walked walked = Walk(platform, tree.root());
  ASSERT_TRUE(walked.result);
  std::string expected;
  for (const auto& name : names) expected += "Renamed " + name + " to " + Variant(name) + "\n";
  EXPECT_EQ(platform.output, expected);
  EXPECT_EQ(walked.done, static_cast<int>(names.size()));
  const auto files = tree.Files();
  for (const auto& name : names) {
    EXPECT_EQ(files.at("d/" + Variant(name)), "mine " + name);
    EXPECT_EQ(files.at(name), "top");
  }
}

// A 255-byte name has no room for a variant: its rename fails and the file
// stays; a 252-byte name takes "_n0" and reaches the limit exactly.
TEST(HostileTreeTest, NamesAtTheLengthLimit) {
  TempTree tree;
  const std::string longest = std::string(251, 'x') + ".txt";
  const std::string fits = std::string(248, 'y') + ".txt";
  ASSERT_EQ(longest.size(), 255u);
  tree.File(longest, "top");
  tree.File(fits, "top");
  tree.Dir("d");
  tree.File("d/" + fits, "mine");
  tree.Dir("e");
  tree.File("e/" + longest, "mine");
  LinuxPlatform host;
  RecordingPlatform platform(host);
  const Walked walked = Walk(platform, tree.root());
  EXPECT_FALSE(walked.result);
  EXPECT_EQ(platform.output, "Renamed " + fits + " to " + Variant(fits) +
                                 "\n\n\n*** Failed to rename: " + tree.Path("e/" + longest) +
                                 "\n to " + tree.Path("e/" + Variant(longest)) + "\n\n");
  EXPECT_EQ(tree.Files().at("e/" + longest), "mine");
  EXPECT_EQ(tree.Files().at("d/" + Variant(fits)), "mine");
}

// Directories nested until their path is longer than the system takes: the
// walk renames what it can reach and fails the run where the path gets too
// long to list, without running out of stack.
TEST(HostileTreeTest, TreeDeeperThanThePathLimit) {
  TempTree tree;
  const std::string level(250, 'd');
  int directory = open(tree.root().c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(directory, 0);
  std::string path = tree.root();
  std::string firstTooLong;
  for (int depth = 0; depth < 20; ++depth) {
    ASSERT_EQ(mkdirat(directory, level.c_str(), 0755), 0);
    const int child = openat(directory, level.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(child, 0);
    close(directory);
    directory = child;
    path += "/" + level;
    if (firstTooLong.empty() && path.size() >= PATH_MAX) firstTooLong = path;
    close(openat(directory, "a", O_CREAT | O_WRONLY, 0644));
  }
  close(directory);
  ASSERT_FALSE(firstTooLong.empty());
  LinuxPlatform host;
  RecordingPlatform platform(host);
  const Walked walked = Walk(platform, tree.root());
  EXPECT_FALSE(walked.result);
  const std::string error = "ERROR scanning for " + firstTooLong + "/*\n";
  ASSERT_GE(platform.output.size(), error.size());
  EXPECT_EQ(platform.output.substr(platform.output.size() - error.size()), error);
  EXPECT_EQ(platform.output.find("ERROR"), platform.output.size() - error.size());
  EXPECT_EQ(walked.done + walked.skipped, static_cast<int>(platform.listed.size()) - 2);
}

// FIFOs, sockets and devices are files to the walk: renamed, never opened
// (opening the FIFO would hang the test).
TEST(HostileTreeTest, SpecialFilesAreRenamedNeverOpened) {
  TempTree tree;
  tree.Dir("d");
  for (const char* name : {"fifo", "socket", "device"}) tree.File(name);
  ASSERT_EQ(mkfifo(tree.Path("d/fifo").c_str(), 0600), 0);
  const int server = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socketPath = tree.Path("d/socket");
  ASSERT_LT(socketPath.size(), sizeof address.sun_path);
  std::copy(socketPath.begin(), socketPath.end(), address.sun_path);
  ASSERT_EQ(bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  const bool device = mknod(tree.Path("d/device").c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0;
  LinuxPlatform host;
  RecordingPlatform platform(host);
  const Walked walked = Walk(platform, tree.root());
  close(server);
  EXPECT_TRUE(walked.result);
  EXPECT_EQ(walked.done, device ? 3 : 2);
  struct stat status;
  ASSERT_EQ(lstat(tree.Path("d/fifo_n0").c_str(), &status), 0);
  EXPECT_TRUE(S_ISFIFO(status.st_mode));
  ASSERT_EQ(lstat(tree.Path("d/socket_n0").c_str(), &status), 0);
  EXPECT_TRUE(S_ISSOCK(status.st_mode));
  if (device) {
    ASSERT_EQ(lstat(tree.Path("d/device_n0").c_str(), &status), 0);
    EXPECT_TRUE(S_ISCHR(status.st_mode));
  }
}

TEST(HostileTreeTest, DirectoryOfTwoHundredThousandEntries) {
  TempTree tree;
  const int directory = open(tree.root().c_str(), O_RDONLY | O_DIRECTORY);
  char name[32];
  for (int i = 0; i < 200000; ++i) {
    std::snprintf(name, sizeof name, "f%06d", i);
    close(openat(directory, name, O_CREAT | O_WRONLY, 0644));
  }
  close(directory);
  tree.Dir("sub");
  for (int i = 0; i < 200000; i += 2000) {
    std::snprintf(name, sizeof name, "f%06d", i);
    tree.File(std::string("sub/") + name);
  }
  LinuxPlatform host;
  RecordingPlatform platform(host);
  const Walked walked = Walk(platform, tree.root());
  EXPECT_TRUE(walked.result);
  EXPECT_EQ(walked.skipped, 200000);
  EXPECT_EQ(walked.done, 100);
  EXPECT_EQ(platform.output.rfind("Renamed f198000 to f198000_n0\n"), platform.output.size() - 30);
}

}  // namespace
}  // namespace unclash
