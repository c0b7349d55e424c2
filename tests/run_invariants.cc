#include "run_invariants.h"

#include <cstdio>
#include <set>
#include <sstream>
#include <vector>

namespace unclash::testing {

Placement ByContent(const std::map<Place, std::string>& files) {
  Placement placement;
  for (const auto& [place, content] : files) placement[content] = place;
  return placement;
}

RunReport ParseSummary(const std::string& output) {
  RunReport report;
  int done = 0;
  int skipped = 0;
  const auto failed = output.rfind("***Failed*** (Done ");
  const auto good = output.rfind("\n(Done ");
  if (failed != std::string::npos &&
      std::sscanf(output.c_str() + failed, "***Failed*** (Done %d. Skipped %d.)", &done,
                  &skipped) == 2) {
    report.done = done;
    report.skipped = skipped;
  } else if (good != std::string::npos &&
             std::sscanf(output.c_str() + good, "\n(Done %d. Skipped %d.)", &done, &skipped) == 2) {
    report.succeeded = true;
    report.done = done;
    report.skipped = skipped;
  }
  return report;
}

std::string CheckRun(const Placement& before, const Placement& after, const std::string& output,
                     const RunReport& report) {
  std::ostringstream problems;
  for (const auto& [content, place] : before) {
    const auto now = after.find(content);
    if (now == after.end()) {
      problems << "lost: " << place.first << " " << place.second << "\n";
    } else if (now->second.first != place.first) {
      problems << "moved to another directory: " << content << "\n";
    }
  }
  if (after.size() != before.size()) problems << "file count changed\n";

  // Renamed lines against the files whose names changed.
  std::multiset<std::pair<std::string, std::string>> changed;
  for (const auto& [content, place] : before) {
    const auto now = after.find(content);
    if (now != after.end() && now->second.second != place.second) {
      changed.insert({place.second, now->second.second});
    }
  }
  std::istringstream lines(output);
  std::string line;
  int renamedLines = 0;
  while (std::getline(lines, line)) {
    if (line.rfind("Renamed ", 0) != 0) continue;
    if (lines.eof() && !report.complete) break;  // cut off by the kill
    const auto to = line.find(" to ");
    const auto pair = std::make_pair(line.substr(8, to - 8), line.substr(to + 4));
    const auto match = changed.find(pair);
    if (match == changed.end()) {
      problems << "untrue line: " << line << "\n";
    } else {
      changed.erase(match);
    }
    ++renamedLines;
  }
  if (changed.size() > (report.complete ? 0u : 1u)) {
    problems << changed.size() << " renames without their line\n";
  }
  if (report.complete) {
    if (report.done != renamedLines) problems << "Done is not the count of renames\n";
    if (report.succeeded && report.done + report.skipped != static_cast<int>(before.size())) {
      problems << "Done + Skipped is not the count of files\n";
    }
  }
  if (report.succeeded) {
    std::set<std::string> names;
    for (const auto& [content, place] : after) {
      if (!names.insert(place.second).second) problems << "name shared: " << place.second << "\n";
    }
  }
  return problems.str();
}

}  // namespace unclash::testing
