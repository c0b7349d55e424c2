#include "platform/linux_platform.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>

#include "platform/large_memory.h"

namespace unclash {

namespace {

// One record of a getdents64 listing.
struct LinuxDirent64 {
  std::uint64_t d_ino;
  std::int64_t d_off;
  unsigned short d_reclen;
  unsigned char d_type;
  char d_name[1];
};

constexpr std::size_t kListingBufferSize = std::size_t{1} << 16;

// Whether an entry of the open directory `directory` is a directory. The
// type the listing gives is trusted; only a link or an unknown type costs a
// stat, which follows links so that a link to a directory counts as one. An
// entry that cannot be resolved (a dangling link) is a file.
bool IsDirectoryEntry(int directory, const LinuxDirent64& entry) {
  if (entry.d_type == DT_DIR) return true;
  if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN) return false;
  struct stat status;
  if (fstatat(directory, entry.d_name, &status, 0) != 0) return false;
  return S_ISDIR(status.st_mode);
}

}  // namespace

bool LinuxPlatform::ListDirectory(const std::string& directory, DirectoryId& id, EntrySink& sink) {
  // The renames of the directory listed before are over.
  CloseRenameDirectory();
  const int descriptor = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY);
  if (descriptor < 0) return false;
  struct stat status;
  bool complete = fstat(descriptor, &status) == 0;
  if (complete) {
    id.volume = static_cast<std::uint64_t>(status.st_dev);
    id.index = static_cast<std::uint64_t>(status.st_ino);
  }
  listing_.resize(kListingBufferSize);
  while (complete) {
    const long filled = GetDents64(descriptor, listing_.data(), listing_.size());
    if (filled <= 0) {
      // 0 is the end of the listing; a failing step is not.
      complete = filled == 0;
      break;
    }
    for (long at = 0; at < filled;) {
      // The kernel aligns every record to 8 bytes.
      const auto* entry = reinterpret_cast<const LinuxDirent64*>(listing_.data() + at);
      sink.AddEntry(entry->d_name, IsDirectoryEntry(descriptor, *entry));
      at += entry->d_reclen;
    }
  }
  close(descriptor);
  return complete;
}

LinuxPlatform::~LinuxPlatform() { CloseRenameDirectory(); }

void LinuxPlatform::CloseRenameDirectory() {
  if (renameDirectory_ >= 0) close(renameDirectory_);
  renameDirectory_ = -1;
  renameDirectoryPath_.clear();
}

int LinuxPlatform::RenameDirectory(const std::string& directory) {
  if (renameDirectory_ < 0 || renameDirectoryPath_ != directory) {
    CloseRenameDirectory();
    renameDirectory_ = open(directory.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (renameDirectory_ >= 0) renameDirectoryPath_ = directory;
  }
  return renameDirectory_;
}

bool LinuxPlatform::RenameNoReplace(const std::string& directory, std::string_view oldName,
                                    std::string_view newName) {
  const int handle = RenameDirectory(directory);
  if (handle < 0) return false;
  const std::string from(oldName);
  const std::string to(newName);
  if (RenameAt2NoReplace(handle, from.c_str(), to.c_str()) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // The file system refuses the flag. A hard link can never replace an entry
  // either: it fails when the new name is taken. Only once the file stands
  // under both names is the old one removed.
  if (Link(handle, from.c_str(), to.c_str()) != 0) return false;
  if (Unlink(handle, from.c_str()) == 0) return true;
  const int unlinkError = errno;
  Unlink(handle, to.c_str());
  errno = unlinkError;
  return false;
}

bool LinuxPlatform::Write(std::string_view text) { return WriteToStandardOutput(text); }

long LinuxPlatform::GetDents64(int directory, char* buffer, std::size_t size) {
  return syscall(SYS_getdents64, directory, buffer, size);
}

int LinuxPlatform::RenameAt2NoReplace(int directory, const char* oldName, const char* newName) {
  return renameat2(directory, oldName, directory, newName, RENAME_NOREPLACE);
}

int LinuxPlatform::Link(int directory, const char* oldName, const char* newName) {
  // Without AT_SYMLINK_FOLLOW a symbolic link is linked, not its target.
  return linkat(directory, oldName, directory, newName, 0);
}

int LinuxPlatform::Unlink(int directory, const char* name) { return unlinkat(directory, name, 0); }

void* AllocateLargeZeroed(std::size_t bytes) {
  void* block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (block == MAP_FAILED) return nullptr;
  // Only a hint: without transparent huge pages the block works all the same.
  madvise(block, bytes, MADV_HUGEPAGE);
  return block;
}

void ReleaseLarge(void* block, std::size_t bytes) {
  if (block != nullptr) munmap(block, bytes);
}

std::unique_ptr<Platform> NewNativePlatform() {
  // A closed pipe on standard output must come back as a failed write the
  // run can act on, not as a signal that ends it between two renames.
  std::signal(SIGPIPE, SIG_IGN);
  return std::make_unique<LinuxPlatform>();
}

}  // namespace unclash
