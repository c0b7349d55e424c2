#include "platform/linux_platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>

namespace unclash {

namespace {

// Whether an entry of the open directory `stream` is a directory. The type
// the listing gives is trusted; only a link or an unknown type costs a stat,
// which follows links so that a link to a directory counts as one. An entry
// that cannot be resolved (a dangling link) is a file.
bool IsDirectoryEntry(DIR* stream, const struct dirent& entry) {
  if (entry.d_type == DT_DIR) return true;
  if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN) return false;
  struct stat status;
  if (fstatat(dirfd(stream), entry.d_name, &status, 0) != 0) return false;
  return S_ISDIR(status.st_mode);
}

}  // namespace

bool LinuxPlatform::ListDirectory(const std::string& directory, DirectoryId& id,
                                  EntrySink& sink) {
  int descriptor =
      open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY);
  if (descriptor < 0) return false;
  struct stat status;
  if (fstat(descriptor, &status) != 0) {
    close(descriptor);
    return false;
  }
  id.volume = static_cast<std::uint64_t>(status.st_dev);
  id.index = static_cast<std::uint64_t>(status.st_ino);
  DIR* stream = fdopendir(descriptor);
  if (stream == nullptr) {
    close(descriptor);
    return false;
  }
  bool complete = true;
  for (;;) {
    errno = 0;
    struct dirent* entry = ReadEntry(stream);
    if (entry == nullptr) {
      // The end of the listing leaves errno alone; a failing step sets it.
      complete = errno == 0;
      break;
    }
    sink.AddEntry(entry->d_name, IsDirectoryEntry(stream, *entry));
  }
  closedir(stream);
  return complete;
}

bool LinuxPlatform::RenameNoReplace(const std::string& oldPath,
                                    const std::string& newPath) {
  if (RenameAt2NoReplace(oldPath.c_str(), newPath.c_str()) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // The file system refuses the flag. A hard link can never replace an entry
  // either: it fails when the new name is taken. Only once the file stands
  // under both names is the old one removed.
  if (Link(oldPath.c_str(), newPath.c_str()) != 0) return false;
  if (Unlink(oldPath.c_str()) == 0) return true;
  const int unlinkError = errno;
  Unlink(newPath.c_str());
  errno = unlinkError;
  return false;
}

bool LinuxPlatform::Write(std::string_view text) {
  return WriteToStandardOutput(text);
}

struct dirent* LinuxPlatform::ReadEntry(DIR* stream) { return readdir(stream); }

int LinuxPlatform::RenameAt2NoReplace(const char* oldPath,
                                      const char* newPath) {
  return renameat2(AT_FDCWD, oldPath, AT_FDCWD, newPath, RENAME_NOREPLACE);
}

int LinuxPlatform::Link(const char* oldPath, const char* newPath) {
  // Without AT_SYMLINK_FOLLOW a symbolic link is linked, not its target.
  return linkat(AT_FDCWD, oldPath, AT_FDCWD, newPath, 0);
}

int LinuxPlatform::Unlink(const char* path) { return unlink(path); }

std::unique_ptr<Platform> NewNativePlatform() {
  // A closed pipe on standard output must come back as a failed write the
  // run can act on, not as a signal that ends it between two renames.
  std::signal(SIGPIPE, SIG_IGN);
  return std::make_unique<LinuxPlatform>();
}

}  // namespace unclash
