// The system-call floor of a walk: what any tool that lists every directory
// of a tree completely (and renames files) must pay, with nothing else.
//   floor DIR      open + getdents64 on every directory
//   floor -r DIR   also renames every file NAME to NAME_x with
//                  renameat2(RENAME_NOREPLACE), relative to its directory
// No sorting, no sets, no path strings. Prints what it counted.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Dirent64 {
  std::uint64_t ino;
  std::int64_t off;
  unsigned short reclen;
  unsigned char type;
  char name[1];
};

struct Counts {
  long directories = 0;
  long files = 0;
  long renamed = 0;
  long failed = 0;
};

bool IsDot(const char* name) {
  return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

void Walk(int directory, bool rename, Counts& counts) {
  std::vector<char> listing(1 << 16);
  std::size_t used = 0;
  for (;;) {
    if (listing.size() - used < (1 << 15)) listing.resize(listing.size() * 2);
    const long n = syscall(SYS_getdents64, directory, listing.data() + used, listing.size() - used);
    if (n <= 0) break;
    used += static_cast<std::size_t>(n);
  }
  std::vector<std::size_t> subdirectories;
  std::string newName;
  for (std::size_t at = 0; at < used;) {
    const auto* entry = reinterpret_cast<const Dirent64*>(listing.data() + at);
    const std::size_t here = at;
    at += entry->reclen;
    if (IsDot(entry->name)) continue;
    bool isDirectory = entry->type == DT_DIR;
    if (entry->type == DT_UNKNOWN) {
      struct stat status;
      isDirectory = fstatat(directory, entry->name, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
                    S_ISDIR(status.st_mode);
    }
    if (isDirectory) {
      subdirectories.push_back(here);
      continue;
    }
    ++counts.files;
    if (!rename) continue;
    newName.assign(entry->name);
    newName += "_x";
    if (syscall(SYS_renameat2, directory, entry->name, directory, newName.c_str(),
                1 /* RENAME_NOREPLACE */) == 0) {
      ++counts.renamed;
    } else {
      ++counts.failed;
    }
  }
  for (const std::size_t here : subdirectories) {
    const auto* entry = reinterpret_cast<const Dirent64*>(listing.data() + here);
    const int child =
        openat(directory, entry->name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (child < 0) continue;
    ++counts.directories;
    Walk(child, rename, counts);
    close(child);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const bool rename = argc == 3 && std::strcmp(argv[1], "-r") == 0;
  if (argc != (rename ? 3 : 2)) {
    std::fprintf(stderr, "usage: floor [-r] DIR\n");
    return 2;
  }
  const int root = open(argv[argc - 1], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (root < 0) {
    std::perror(argv[argc - 1]);
    return 2;
  }
  Counts counts;
  Walk(root, rename, counts);
  close(root);
  std::printf("floor%s: directories=%ld files=%ld renamed=%ld failed=%ld\n", rename ? " -r" : "",
              counts.directories, counts.files, counts.renamed, counts.failed);
  return counts.failed == 0 ? 0 : 1;
}
