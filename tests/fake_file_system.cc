#include "fake_file_system.h"

namespace unclash::testing {

void FakeFileSystem::AddRoot(const std::string& path) { directories[path]; }

void FakeFileSystem::AddFile(const std::string& directory, const std::string& name,
                             const std::string& content) {
  auto& entries = directories.at(directory);
  if (entries.count(name) == 0) entries[name] = Entry{false, content};
}

std::string FakeFileSystem::AddDirectory(const std::string& directory, const std::string& name) {
  const std::string path = ChildPath(directory, name);
  auto& entries = directories.at(directory);
  if (entries.count(name) == 0) {
    entries[name] = Entry{true, path};
    directories[path];
  }
  return entries[name].isDirectory ? path : directory;
}

bool FakeFileSystem::ListDirectory(const std::string& directory, DirectoryId& id, EntrySink& sink) {
  const auto found = directories.find(directory);
  if (found == directories.end() || failListing.count(directory) != 0) return false;
  id.volume = 1;
  id.index = static_cast<std::uint64_t>(std::distance(directories.begin(), found));
  sink.AddEntry(".", true);
  sink.AddEntry("..", true);
  // Backwards, so that nothing depends on the listing coming sorted.
  for (auto entry = found->second.rbegin(); entry != found->second.rend(); ++entry) {
    sink.AddEntry(entry->first, entry->second.isDirectory);
  }
  return true;
}

bool FakeFileSystem::RenameNoReplace(const std::string& directory, std::string_view oldName,
                                     std::string_view newName) {
  if (renameCalls++ >= renamesBeforeFailure) return false;
  const auto found = directories.find(directory);
  if (found == directories.end()) return false;
  auto& entries = found->second;
  const auto old = entries.find(std::string(oldName));
  if (old == entries.end() || old->second.isDirectory) return false;
  if (entries.count(std::string(newName)) != 0) return false;
  Entry moved = old->second;
  entries.erase(old);
  entries.emplace(std::string(newName), moved);
  return true;
}

bool FakeFileSystem::Write(std::string_view text) {
  if (writeCalls++ >= writesBeforeFailure) return false;
  output.append(text.data(), text.size());
  return true;
}

std::map<std::pair<std::string, std::string>, std::string> FakeFileSystem::Files() const {
  std::map<std::pair<std::string, std::string>, std::string> files;
  for (const auto& [path, entries] : directories) {
    for (const auto& [name, entry] : entries) {
      if (!entry.isDirectory) files[{path, name}] = entry.content;
    }
  }
  return files;
}

}  // namespace unclash::testing
