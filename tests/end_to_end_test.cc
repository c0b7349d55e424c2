// Runs the built tool as a user would and compares every byte it prints and
// its exit status. The same cases run against the Linux binary and, when
// UNCLASH_HOST=windows, against the Windows executable under Wine, whose
// paths use "\" and whose line feeds reach the output as CR LF.
// UNCLASH_TOOL names the executable and UNCLASH_RUNNER the Wine loader.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

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

Outcome RunTool(const Host& host, const std::vector<std::string>& arguments) {
  std::vector<std::string> words = host.command;
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  char outName[] = "/tmp/unclash-out-XXXXXX";
  char errName[] = "/tmp/unclash-err-XXXXXX";
  const int outFile = mkstemp(outName);
  const int errFile = mkstemp(errName);
  unlink(outName);
  unlink(errName);
  const pid_t child = fork();
  if (child == 0) {
    dup2(outFile, 1);
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
  outcome.out = Slurp(outFile);
  outcome.err = Slurp(errFile);
  close(outFile);
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
  EXPECT_EQ(outcome.out, host.Output("ERROR scanning for " + Printed("missing") +
                                     host.pattern() +
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
                        Printed("P/k_n0") +
                        "\n\n\n\n***Failed*** (Done 0. Skipped 2.)\n\n"));
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
  EXPECT_EQ(outcome.out,
            host.Output("\n\n*** Failed to rename: " + root + "d" + host.separator() + "x\n to " +
                        root + "d" + host.separator() + "x_n0\n\n" +
                        "\n\n***Failed*** (Done 0. Skipped 1.)\n\n"));
  EXPECT_EQ(outcome.status, 1);
}

// Names are bytes: a "%" is no format, a line feed or a byte that is not
// UTF-8 is printed as it stands.
TEST_F(EndToEndTest, NamesArePrintedAsTheyAre) {
  const std::vector<std::string> names = {"%s%n%x", "-rf", "tab\there", "line\nfeed",
                                          "\xff\xfe.\x80", "..."};
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
    const std::string renamed = dot == std::string::npos
                                    ? name + "_n0"
                                    : name.substr(0, dot) + "_n0" + name.substr(dot);
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
    EXPECT_EQ(outcome.out,
              host.Output("Renamed a.txt to a_n0.txt\n\n\n(Done 1. Skipped 2.)\n\n"));
    EXPECT_EQ(outcome.status, 0);
  }
}

}  // namespace
}  // namespace unclash
