// Builds an in-memory tree from the input, walks it, perhaps with a rename
// or a write that fails, and checks what must hold after any run.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fake_file_system.h"
#include "run_invariants.h"
#include "test_support.h"

namespace {

const char* const kNames[] = {"a.txt", "a",        "a_n0.txt",  "a_n1.txt", "a_n0",  "x.",
                              ".x",    "_n0.x",    "b.c",       "b_n0.c",   "A.TXT", "a_n2.txt",
                              "...",   "a_na.txt", "a_n10.txt", "B.c"};

struct Input {
  const std::uint8_t* data;
  std::size_t size;
  std::uint8_t Next() {
    if (size == 0) return 0;
    --size;
    return *data++;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace unclash;
  Input input{data, size};
  testing::FakeFileSystem tree;
  tree.AddRoot("r");
  std::vector<std::string> directories = {"r"};
  int contents = 0;
  const int steps = input.Next() % 64;
  for (int i = 0; i < steps && input.size > 0; ++i) {
    const std::uint8_t what = input.Next();
    const std::string& in = directories[input.Next() % directories.size()];
    const char* name = kNames[what % 16];
    if ((what >> 4) % 4 == 0 && directories.size() < 12) {
      const std::string made = tree.AddDirectory(in, name);
      if (made != in) directories.push_back(made);
    } else {
      tree.AddFile(in, name, "c" + std::to_string(contents++));
    }
  }
  const std::uint8_t faults = input.Next();
  if (faults & 1) tree.renamesBeforeFailure = input.Next() % 8;
  if (faults & 2) tree.writesBeforeFailure = input.Next() % 8;
  if (faults & 4) tree.failListing.insert(directories[input.Next() % directories.size()]);

  const auto before = testing::ByContent(tree.Files());
  const testing::WalkOutcome walked = testing::WalkTree(tree, "r");
  // A run whose report broke off stops at once: it may have made one rename
  // it could not report, as a killed run may.
  testing::RunReport report{!walked.outputLost, walked.result, walked.done, walked.skipped};
  const std::string problems =
      testing::CheckRun(before, testing::ByContent(tree.Files()), tree.output, report);
  if (!problems.empty()) {
    std::fprintf(stderr, "%s\n--- output:\n%s\n", problems.c_str(), tree.output.c_str());
    std::abort();
  }
  if (walked.result) {
    // Once a run succeeded, a second one renames nothing.
    tree.renamesBeforeFailure = static_cast<std::size_t>(-1);
    tree.writesBeforeFailure = static_cast<std::size_t>(-1);
    tree.failListing.clear();
    const testing::WalkOutcome again = testing::WalkTree(tree, "r");
    if (!again.result || again.done != 0) std::abort();
  }
  return 0;
}
