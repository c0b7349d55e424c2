// Runs the built tool as a user would and compares every byte it prints and
// its exit status. The same cases run against the Linux binary and, when
// UNCLASH_HOST=windows, against the Windows executable under Wine, whose
// paths use "\" and whose line feeds reach the output as CR LF.
// UNCLASH_TOOL names the executable and UNCLASH_RUNNER the Wine loader.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "run_invariants.h"
#include "test_support.h"

namespace unclash {
namespace {

using testing::TempTree;
using Files = std::map<std::string, std::string>;

struct Host {
  bool windows = false;
  std::vector<std::string> command;  // the tool, possibly behind a runner

  static Host FromEnvironment() {
    Host host;
    const char* kind = std::getenv("UNCLASH_HOST");
    host.windows = kind != nullptr && std::string(kind) == "windows";
    const char* tool = std::getenv("UNCLASH_TOOL");
    const char* runner = std::getenv("UNCLASH_RUNNER");
    if (host.windows) host.command.push_back(runner != nullptr ? runner : "wine");
    host.command.push_back(tool != nullptr ? tool : UNCLASH_TOOL_DEFAULT);
    return host;
  }
  // The argument that names `path` (a Linux path) to the tool.
  std::string Argument(const std::string& path) const {
    if (!windows) return path;
    std::string argument = "Z:" + path;
    for (char& c : argument) {
      if (c == '/') c = '\\';
    }
    return argument;
  }
  char separator() const { return windows ? '\\' : '/'; }
  std::string pattern() const { return windows ? "\\*.*" : "/*"; }
  // `text` as it reaches the output: line feeds become the host's line end.
  std::string Output(const std::string& text) const {
    if (!windows) return text;
    std::string out;
    for (char c : text) {
      if (c == '\n') out += '\r';
      out += c;
    }
    return out;
  }
};

struct Outcome {
  std::string out;
  std::string err;
  int status = -1;
};

std::string Slurp(int descriptor) {
  std::string text;
  char buffer[4096];
  lseek(descriptor, 0, SEEK_SET);
  ssize_t n;
  while ((n = read(descriptor, buffer, sizeof buffer)) > 0) {
    text.append(buffer, static_cast<std::size_t>(n));
  }
  return text;
}

// Runs the tool (behind `prefix`, a command such as setpriv) with standard
// output going to `out`, a descriptor the caller owns, or by default to a
// file that is read back.
Outcome RunTool(const Host& host, const std::vector<std::string>& arguments, int out = -1,
                const std::vector<std::string>& prefix = {}) {
  std::vector<std::string> words = prefix;
  words.insert(words.end(), host.command.begin(), host.command.end());
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  char outName[] = "/tmp/unclash-out-XXXXXX";
  char errName[] = "/tmp/unclash-err-XXXXXX";
  const int outFile = out >= 0 ? -1 : mkstemp(outName);
  const int errFile = mkstemp(errName);
  if (outFile >= 0) unlink(outName);
  unlink(errName);
  const pid_t child = fork();
  if (child == 0) {
    dup2(out >= 0 ? out : outFile, 1);
    dup2(errFile, 2);
    const int nothing = open("/dev/null", O_RDONLY);
    dup2(nothing, 0);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  Outcome outcome;
  int status = 0;
  waitpid(child, &status, 0);
  outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  if (outFile >= 0) {
    outcome.out = Slurp(outFile);
    close(outFile);
  }
  outcome.err = Slurp(errFile);
  close(errFile);
  return outcome;
}

class EndToEndTest : public ::testing::Test {
 protected:
  Outcome RunOn(const std::string& path) { return RunTool(host, {host.Argument(path)}); }
  // The tool's name for `relative` below the tree, as it prints it.
  std::string Printed(const std::string& relative) const {
    std::string path = host.Argument(tree.root());
    for (char c : "/" + relative) path += c == '/' ? host.separator() : c;
    return path;
  }

  Host host = Host::FromEnvironment();
  TempTree tree;
};

TEST_F(EndToEndTest, WrongArgumentCountPrintsUsageAlone) {
  tree.File("a");
  for (const auto& arguments :
       {std::vector<std::string>{}, {host.Argument(tree.root()), host.Argument(tree.root())}}) {
    const Outcome outcome = RunTool(host, arguments);
    EXPECT_EQ(outcome.out, host.Output("Give directory path as argument.\n"));
    EXPECT_EQ(outcome.err, "");
    EXPECT_EQ(outcome.status, 2);
  }
  EXPECT_EQ(tree.Files(), (Files{{"a", "a"}}));
}

TEST_F(EndToEndTest, EmptyDirectoryGivesTheBareSummary) {
  const Outcome outcome = RunOn(tree.root());
  EXPECT_EQ(outcome.out, host.Output("\n\n(Done 0. Skipped 0.)\n\n"));
  EXPECT_EQ(outcome.err, "");
  EXPECT_EQ(outcome.status, 0);
}

TEST_F(EndToEndTest, MissingDirectoryFailsTheRun) {
  const Outcome outcome = RunOn(tree.Path("missing"));
  EXPECT_EQ(outcome.out, host.Output("ERROR scanning for " + Printed("missing") + host.pattern() +
                                     "\n\n\n***Failed*** (Done 0. Skipped 0.)\n\n"));
  EXPECT_EQ(outcome.err, "");
  EXPECT_EQ(outcome.status, 1);
}

TEST_F(EndToEndTest, RenamesCollidingFilesAndCountsTheWholeTree) {
  tree.File("a.txt");
  tree.File("b");
  tree.Dir("sub1");
  tree.File("sub1/a.txt");
  tree.File("sub1/a_n0.txt");
  tree.Dir("sub2");
  tree.File("sub2/a.txt");
  tree.File("sub2/c");
  const Outcome outcome = RunOn(tree.root());
  EXPECT_EQ(outcome.out, host.Output("Renamed a.txt to a_n1.txt\nRenamed a.txt to a_n2.txt\n"
                                     "\n\n(Done 2. Skipped 4.)\n\n"));
  EXPECT_EQ(outcome.err, "");
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(tree.Files(), (Files{{"a.txt", "a.txt"},
                                 {"b", "b"},
                                 {"sub1/a_n0.txt", "sub1/a_n0.txt"},
                                 {"sub1/a_n1.txt", "sub1/a.txt"},
                                 {"sub2/a_n2.txt", "sub2/a.txt"},
                                 {"sub2/c", "sub2/c"}}));
  const Outcome again = RunOn(tree.root());
  EXPECT_EQ(again.out, host.Output("\n\n(Done 0. Skipped 6.)\n\n"));
  EXPECT_EQ(again.status, 0);
}

TEST_F(EndToEndTest, FailedRenameCascadesToTheSummary) {
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
  const Outcome outcome = RunOn(tree.root());
  EXPECT_EQ(outcome.out,
            host.Output("\n\n*** Failed to rename: " + Printed("P/k") + "\n to " +
                        Printed("P/k_n0") + "\n\n\n\n***Failed*** (Done 0. Skipped 2.)\n\n"));
  EXPECT_EQ(outcome.err, "");
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(tree.Files(), before);
}

TEST_F(EndToEndTest, TrailingSeparatorIsKeptInEveryPath) {
  tree.File("x");
  tree.Dir("d");
  tree.File("d/x");
  tree.Dir("d/x_n0");
  const Outcome outcome = RunTool(host, {host.Argument(tree.root()) + host.separator()});
  const std::string root = host.Argument(tree.root()) + host.separator() + host.separator();
  EXPECT_EQ(outcome.out, host.Output("\n\n*** Failed to rename: " + root + "d" + host.separator() +
                                     "x\n to " + root + "d" + host.separator() + "x_n0\n\n" +
                                     "\n\n***Failed*** (Done 0. Skipped 1.)\n\n"));
  EXPECT_EQ(outcome.status, 1);
}

// Names are bytes: a "%" is no format, a line feed or a byte that is not
// UTF-8 is printed as it stands.
TEST_F(EndToEndTest, NamesArePrintedAsTheyAre) {
  const std::vector<std::string> names = {"%s%n%x",     "-rf",           "tab\there",
                                          "line\nfeed", "\xff\xfe.\x80", "..."};
  std::vector<std::string> portable;
  for (const auto& name : names) {
    // Win32 paths hold no control characters, and lose a trailing dot.
    const bool windowsCanHoldIt =
        name.find_first_of("\t\n\x80\xfe\xff") == std::string::npos && name.back() != '.';
    if (!host.windows || windowsCanHoldIt) portable.push_back(name);
  }
  tree.Dir("d");
  std::string expected;
  for (const auto& name : portable) {
    tree.File(name);
    tree.File("d/" + name);
  }
  std::vector<std::string> sorted = portable;
  std::sort(sorted.begin(), sorted.end());
  for (const auto& name : sorted) {
    const auto dot = name.rfind('.');
    const std::string renamed =
        dot == std::string::npos ? name + "_n0" : name.substr(0, dot) + "_n0" + name.substr(dot);
    expected += "Renamed " + name + " to " + renamed + "\n";
  }
  const Outcome outcome = RunOn(tree.root());
  EXPECT_EQ(outcome.out, host.Output(expected + "\n\n(Done " + std::to_string(sorted.size()) +
                                     ". Skipped " + std::to_string(sorted.size()) + ".)\n\n"));
  EXPECT_EQ(outcome.err, "");
  EXPECT_EQ(outcome.status, 0);
}

// Where the file system ignores letter case, a name that differs only in
// case from an entry present is refused by the rename, never merged into it.
TEST_F(EndToEndTest, NamesDifferingInCaseOnlyAreDifferentNames) {
  tree.File("a.txt");
  tree.Dir("sub");
  tree.File("sub/A_n0.txt");
  tree.File("sub/a.txt");
  const Outcome outcome = RunOn(tree.root());
  if (host.windows) {
    EXPECT_EQ(outcome.out, host.Output("\n\n*** Failed to rename: " + Printed("sub/a.txt") +
                                       "\n to " + Printed("sub/a_n0.txt") +
                                       "\n\n\n\n***Failed*** (Done 0. Skipped 2.)\n\n"));
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(tree.Files().size(), 3u);
  } else {
    EXPECT_EQ(outcome.out, host.Output("Renamed a.txt to a_n0.txt\n\n\n(Done 1. Skipped 2.)\n\n"));
    EXPECT_EQ(outcome.status, 0);
  }
}

// The rest holds on the Linux host, where the suite can take away
// permissions, break the output and kill the tool.

// A tree whose every directory holds the same names: a run renames most of
// what it meets. Contents name the files' first places.
void CollidingTree(TempTree& tree, int directories, int files) {
  for (int d = 0; d < directories; ++d) {
    const std::string directory = "d" + std::to_string(d);
    tree.Dir(directory);
    for (int f = 0; f < files; ++f) tree.File(directory + "/f" + std::to_string(f) + ".txt");
  }
}

TEST_F(EndToEndTest, LostOutputStopsTheRenamesAndFailsTheRun) {
  if (host.windows) GTEST_SKIP() << "Linux only";
  for (const std::string sink : {"full disk", "closed pipe"}) {
    TempTree one;
    CollidingTree(one, 3, 1);
    const auto before = one.Files();
    int out = -1;
    int pipeEnds[2] = {-1, -1};
    if (sink == "full disk") {
      out = open("/dev/full", O_WRONLY);
    } else {
      ASSERT_EQ(pipe(pipeEnds), 0);
      close(pipeEnds[0]);
      out = pipeEnds[1];
    }
    const Outcome outcome = RunTool(host, {one.root()}, out);
    close(out);
    EXPECT_EQ(outcome.status, 1) << sink;
    EXPECT_EQ(outcome.err, "") << sink;
    // d0/f0.txt keeps its name; d1/f0.txt is renamed and its line is lost;
    // d2/f0.txt is never touched.
    const auto after = one.Files();
    EXPECT_EQ(after.count("d1/f0_n0.txt"), 1u) << sink;
    EXPECT_EQ(after.count("d2/f0.txt"), 1u) << sink;
    EXPECT_EQ(after.size(), before.size()) << sink;
  }
}

// Permissions hold for an unprivileged user even though the suite runs as
// root: a directory it may not list, and one whose entries it may not rename.
TEST_F(EndToEndTest, PermissionsRefusedAreFailures) {
  if (host.windows) GTEST_SKIP() << "Linux only";
  if (geteuid() != 0) GTEST_SKIP() << "needs root to hand the tree to another user";
  const std::vector<std::string> asNobody = {"setpriv", "--reuid=65534", "--regid=65534",
                                             "--clear-groups"};
  const auto handOver = [](TempTree& t) {
    for (const auto& [relative, content] : t.Files()) {
      ASSERT_EQ(lchown(t.Path(relative).c_str(), 65534, 65534), 0);
    }
  };
  {
    TempTree locked;
    locked.File("a");
    locked.Dir("locked");
    locked.File("locked/a");
    handOver(locked);
    ASSERT_EQ(chown(locked.root().c_str(), 65534, 65534), 0);
    ASSERT_EQ(chown(locked.Path("locked").c_str(), 65534, 65534), 0);
    ASSERT_EQ(chmod(locked.Path("locked").c_str(), 0), 0);
    const Outcome outcome = RunTool(host, {locked.root()}, -1, asNobody);
    EXPECT_EQ(outcome.out, "ERROR scanning for " + locked.Path("locked") +
                               "/*\n\n\n***Failed*** (Done 0. Skipped 1.)\n\n");
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, "");
  }
  {
    TempTree frozen;
    frozen.File("a");
    frozen.Dir("frozen");
    frozen.File("frozen/a");
    frozen.File("frozen/b");
    handOver(frozen);
    ASSERT_EQ(chown(frozen.root().c_str(), 65534, 65534), 0);
    ASSERT_EQ(chown(frozen.Path("frozen").c_str(), 65534, 65534), 0);
    ASSERT_EQ(chmod(frozen.Path("frozen").c_str(), 0555), 0);
    const Outcome outcome = RunTool(host, {frozen.root()}, -1, asNobody);
    EXPECT_EQ(outcome.out, "\n\n*** Failed to rename: " + frozen.Path("frozen/a") + "\n to " +
                               frozen.Path("frozen/a_n0") +
                               "\n\n\n\n***Failed*** (Done 0. Skipped 1.)\n\n");
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(frozen.Files().count("frozen/a"), 1u);
  }
}

// Killed at random moments of a rename-heavy run, the tool leaves every file
// once, under its old or its new name, and every line it printed true; a
// second run finishes the job.
TEST_F(EndToEndTest, KilledRunsLoseNothing) {
  if (host.windows) GTEST_SKIP() << "Linux only";
  std::mt19937 random(77);
  int killedMidway = 0;
  for (int round = 0; round < 12; ++round) {
    TempTree killed;
    CollidingTree(killed, 30, 40);
    const auto before = testing::ByContent(killed.FilesByPlace());
    char outName[] = "/tmp/unclash-killed-XXXXXX";
    const int out = mkstemp(outName);
    unlink(outName);
    std::string root = killed.root();
    std::vector<char*> argv = {host.command[0].data(), root.data(), nullptr};
    const pid_t child = fork();
    if (child == 0) {
      dup2(out, 1);
      execv(argv[0], argv.data());
      _exit(127);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 20000));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    const std::string printed = Slurp(out);
    close(out);
    testing::RunReport report = testing::ParseSummary(printed);
    report.complete = WIFEXITED(status);
    if (!report.complete) ++killedMidway;
    const auto after = testing::ByContent(killed.FilesByPlace());
    ASSERT_EQ(testing::CheckRun(before, after, printed, report), "") << "round " << round;
    const Outcome second = RunOn(killed.root());
    EXPECT_EQ(second.status, 0) << "round " << round;
    ASSERT_EQ(testing::CheckRun(after, testing::ByContent(killed.FilesByPlace()), second.out,
                                testing::ParseSummary(second.out)),
              "")
        << "round " << round;
  }
  std::printf("killed %d of 12 runs before they finished\n", killedMidway);
  EXPECT_GT(killedMidway, 0);
}

// Another thread creates the very names the tool is about to give, as fast
// as it can, all through the run: whoever wins, nothing is replaced, and
// what the tool says of the rival's files (it may meet and rename them too)
// is as true as what it says of its own.
TEST_F(EndToEndTest, RaceForTheNewNamesReplacesNothing) {
  if (host.windows) GTEST_SKIP() << "Linux only";
  int lost = 0;
  for (int round = 0; round < 3; ++round) {
    TempTree raced;
    CollidingTree(raced, 20, 30);
    auto before = testing::ByContent(raced.FilesByPlace());
    std::atomic<bool> running{true};
    std::vector<testing::Place> created;
    std::thread rival([&] {
      // In directory dK, the tool gives f.txt the variant numbered K-1.
      for (int sweep = 0; running; ++sweep) {
        for (int d = 1 + sweep % 2; d < 20 && running; d += 2) {
          for (int f = 0; f < 30; ++f) {
            const testing::Place place{"d" + std::to_string(d), "f" + std::to_string(f) + "_n" +
                                                                    std::to_string(d - 1) + ".txt"};
            const std::string path = raced.Path(place.first + "/" + place.second);
            const int made = open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY, 0644);
            if (made < 0) continue;
            const std::string content = "theirs " + path;
            if (write(made, content.data(), content.size()) ==
                static_cast<ssize_t>(content.size())) {
              created.push_back(place);
            }
            close(made);
          }
        }
      }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(round * 2));
    const Outcome outcome = RunOn(raced.root());
    running = false;
    rival.join();
    // The rival's files count as if they had been there from the start.
    for (const auto& place : created) {
      before["theirs " + raced.Path(place.first + "/" + place.second)] = place;
    }
    testing::RunReport report = testing::ParseSummary(outcome.out);
    EXPECT_EQ(outcome.status, report.succeeded ? 0 : 1);
    if (outcome.out.find("*** Failed to rename") != std::string::npos) ++lost;
    // Files created after their directory was listed were never reached:
    // the totals and the uniqueness of names are not for this run to keep.
    report.succeeded = false;
    EXPECT_EQ(
        testing::CheckRun(before, testing::ByContent(raced.FilesByPlace()), outcome.out, report),
        "")
        << "round " << round;
  }
  std::printf("the rival took a name first in %d of 3 runs\n", lost);
}

}  // namespace
}  // namespace unclash
