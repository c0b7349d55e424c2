#include "test_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "renamer/directory_walk.h"
#include "renamer/sorted_names.h"
#include "renamer/unique_name.h"

namespace unclash::testing {

namespace {

void Check(bool ok, const std::string& what) {
  if (!ok) throw std::runtime_error(what);
}

// Removes `name` in the directory `parent` with everything below it, by
// descriptor, so that trees deeper than any path can hold go too.
void RemoveAt(int parent, const char* name) {
  if (unlinkat(parent, name, 0) == 0) return;
  const int directory = openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (directory < 0) {
    // Perhaps a directory its owner may not read: let the test's user in.
    fchmodat(parent, name, 0700, 0);
    const int retry = openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (retry < 0) return;
    close(retry);
    RemoveAt(parent, name);
    return;
  }
  fchmod(directory, 0700);
  if (DIR* stream = fdopendir(dup(directory))) {
    std::vector<std::string> names;
    while (struct dirent* entry = readdir(stream)) {
      const std::string child = entry->d_name;
      if (child != "." && child != "..") names.push_back(child);
    }
    closedir(stream);
    for (const auto& child : names) RemoveAt(directory, child.c_str());
  }
  close(directory);
  unlinkat(parent, name, AT_REMOVEDIR);
}

void RemoveAll(const std::string& path) { RemoveAt(AT_FDCWD, path.c_str()); }

void Collect(const std::string& root, const std::string& relative,
             std::map<std::string, std::string>& files) {
  const std::string path = relative.empty() ? root : root + "/" + relative;
  DIR* stream = opendir(path.c_str());
  if (stream == nullptr) return;
  std::vector<std::string> names;
  while (struct dirent* entry = readdir(stream)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(stream);
  for (const auto& name : names) {
    const std::string childRelative = relative.empty() ? name : relative + "/" + name;
    const std::string child = root + "/" + childRelative;
    struct stat status;
    if (lstat(child.c_str(), &status) != 0) continue;
    if (S_ISDIR(status.st_mode)) {
      Collect(root, childRelative, files);
    } else if (S_ISLNK(status.st_mode)) {
      struct stat resolved;
      if (stat(child.c_str(), &resolved) == 0 && S_ISDIR(resolved.st_mode)) continue;
      char target[4096];
      const ssize_t length = readlink(child.c_str(), target, sizeof target);
      files[childRelative] =
          "->" + std::string(target, length > 0 ? static_cast<std::size_t>(length) : 0);
    } else if (S_ISREG(status.st_mode)) {
      files[childRelative] = ReadFile(child);
    } else {
      files[childRelative] = "<special>";
    }
  }
}

}  // namespace

TempTree::TempTree() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/unclash-test-XXXXXX";
  Check(mkdtemp(pattern.data()) != nullptr, "mkdtemp");
  root_ = pattern;
}

TempTree::~TempTree() { RemoveAll(root_); }

std::string TempTree::Path(const std::string& relative) const {
  return relative.empty() ? root_ : root_ + "/" + relative;
}

void TempTree::File(const std::string& relative) { File(relative, relative); }

void TempTree::File(const std::string& relative, const std::string& content) {
  WriteFile(Path(relative), content);
}

void TempTree::Dir(const std::string& relative) {
  Check(mkdir(Path(relative).c_str(), 0755) == 0, "mkdir " + relative);
}

void TempTree::Symlink(const std::string& relative, const std::string& target) {
  Check(symlink(target.c_str(), Path(relative).c_str()) == 0, "symlink " + relative);
}

std::map<std::string, std::string> TempTree::Files() const {
  std::map<std::string, std::string> files;
  Collect(root_, "", files);
  return files;
}

std::map<std::pair<std::string, std::string>, std::string> TempTree::FilesByPlace() const {
  std::map<std::pair<std::string, std::string>, std::string> files;
  for (const auto& [relative, content] : Files()) {
    const auto slash = relative.rfind('/');
    if (slash == std::string::npos) {
      files[{"", relative}] = content;
    } else {
      files[{relative.substr(0, slash), relative.substr(slash + 1)}] = content;
    }
  }
  return files;
}

bool RecordingPlatform::ListDirectory(const std::string& directory, DirectoryId& id,
                                      EntrySink& sink) {
  listed.push_back(directory);
  return base_.ListDirectory(directory, id, sink);
}

bool RecordingPlatform::RenameNoReplace(const std::string& directory, std::string_view oldName,
                                        std::string_view newName) {
  renames.emplace_back(ChildPath(directory, oldName), ChildPath(directory, newName));
  if (beforeRename && !beforeRename(renames.back().first, renames.back().second)) {
    return false;
  }
  return base_.RenameNoReplace(directory, oldName, newName);
}

bool RecordingPlatform::Write(std::string_view text) {
  if (beforeWrite && !beforeWrite(text)) return false;
  output.append(text.data(), text.size());
  return true;
}

std::string PlainChoice(const std::string& oldName, const std::set<std::string>& pending,
                        std::set<std::string>& registry) {
  if (registry.insert(oldName).second) return oldName;
  std::string candidate;
  for (std::uint64_t counter = 0;; ++counter) {
    BuildCandidate(oldName, counter, candidate);
    if (pending.count(candidate) == 0 && registry.insert(candidate).second) return candidate;
  }
}

std::string SettleBothWays(const std::set<std::string>& names, NameRegistry& registry,
                           std::set<std::string>& plainRegistry) {
  SortedNames pending;
  for (const auto& name : names) pending.Add(name);
  pending.Sort();
  std::set<std::string> plainPending = names;
  std::string finalName;
  while (!pending.Empty()) {
    const std::string oldName(pending.Smallest());
    pending.RemoveSmallest();
    plainPending.erase(oldName);
    const std::string expected = PlainChoice(oldName, plainPending, plainRegistry);
    const bool changed = ChooseUniqueName(oldName, pending, registry, finalName);
    const std::string chosen = changed ? finalName : oldName;
    if (chosen != expected) return oldName + ": chose " + chosen + ", not " + expected;
  }
  return "";
}

std::vector<std::string> NamesWithVariants(const std::vector<std::string>& bases,
                                           const std::vector<std::uint64_t>& counters) {
  std::vector<std::string> names;
  std::string variant;
  for (const auto& base : bases) {
    names.push_back(base);
    for (const std::uint64_t counter : counters) {
      BuildCandidate(base, counter, variant);
      names.push_back(variant);
    }
  }
  return names;
}

WalkOutcome WalkTree(Platform& platform, const std::string& root) {
  NameRegistry registry;
  WalkContext context(platform);
  WalkOutcome outcome;
  outcome.result = ProcessDirectory(root, registry, outcome.skipped, outcome.done, context);
  outcome.outputLost = context.outputLost;
  return outcome;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary);
  Check(static_cast<bool>(out), "create " + path);
  out << content;
}

}  // namespace unclash::testing
