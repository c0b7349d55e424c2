// What must hold after any run, checked from the outside: from where every
// file stood before, where it stands after, and what the run printed. None
// of it restates how names are chosen. Each file's content is unique, so a
// file is followed by its content.
#ifndef UNCLASH_TESTS_RUN_INVARIANTS_H_
#define UNCLASH_TESTS_RUN_INVARIANTS_H_

#include <map>
#include <string>
#include <utility>

namespace unclash::testing {

// (directory, name) of a file.
using Place = std::pair<std::string, std::string>;
// content -> place
using Placement = std::map<std::string, Place>;

// From (directory, name) -> content, as the trees report their files.
Placement ByContent(const std::map<Place, std::string>& files);

struct RunReport {
  bool complete = true;    // false for a run that was killed
  bool succeeded = false;  // it printed the success summary
  int done = -1;           // from the summary, when there is one
  int skipped = -1;
};

// Returns "" when the run kept every promise, or what it broke:
// - every file is still there, once, in its own directory;
// - every "Renamed a to b" line is true: a file once named a now stands as
//   b in some directory, and each renamed file has its line (a killed run
//   may have made one rename it could not report);
// - the summary counts the lines (done) and, after success, every file;
// - after success no two files of the tree share a name.
// Names in the output must not hold a line feed or " to ".
std::string CheckRun(const Placement& before, const Placement& after, const std::string& output,
                     const RunReport& report);

// Reads the counts and the form of the summary line, if there is one.
RunReport ParseSummary(const std::string& output);

}  // namespace unclash::testing

#endif  // UNCLASH_TESTS_RUN_INVARIANTS_H_
