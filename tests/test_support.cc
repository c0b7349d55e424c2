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

namespace unclash::testing {

namespace {

void Check(bool ok, const std::string& what) {
  if (!ok) throw std::runtime_error(what);
}

void RemoveAll(const std::string& path) {
  struct stat status;
  if (lstat(path.c_str(), &status) != 0) return;
  if (S_ISDIR(status.st_mode)) {
    chmod(path.c_str(), 0700);
    if (DIR* stream = opendir(path.c_str())) {
      std::vector<std::string> names;
      while (struct dirent* entry = readdir(stream)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
      }
      closedir(stream);
      for (const auto& name : names) RemoveAll(path + "/" + name);
    }
    rmdir(path.c_str());
  } else {
    unlink(path.c_str());
  }
}

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
      char target[4096];
      const ssize_t length = readlink(child.c_str(), target, sizeof target);
      files[childRelative] = "->" + std::string(target, length > 0 ? static_cast<std::size_t>(length) : 0);
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

bool RecordingPlatform::ListDirectory(const std::string& directory,
                                      DirectoryId& id, EntrySink& sink) {
  listed.push_back(directory);
  if (beforeList && !beforeList(directory)) return false;
  return base_.ListDirectory(directory, id, sink);
}

bool RecordingPlatform::RenameNoReplace(const std::string& directory,
                                        std::string_view oldName,
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
