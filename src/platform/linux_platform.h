// The Linux host: directory listing with getdents64, renames with
// renameat2(RENAME_NOREPLACE), falling back to link + unlink on file systems
// that refuse the flag.
#ifndef UNCLASH_PLATFORM_LINUX_PLATFORM_H_
#define UNCLASH_PLATFORM_LINUX_PLATFORM_H_

#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace unclash {

class LinuxPlatform : public Platform {
 public:
  bool ListDirectory(const std::string& directory, DirectoryId& id,
                     EntrySink& sink) override;
  bool RenameNoReplace(const std::string& oldPath,
                       const std::string& newPath) override;
  bool Write(std::string_view text) override;

 protected:
  // The system calls below, one each, so that a test can make one of them
  // fail the way a given file system would and forward the rest. Each
  // returns what the call returns and leaves errno as the call set it.
  virtual long GetDents64(int directory, char* buffer, std::size_t size);
  virtual int RenameAt2NoReplace(const char* oldPath, const char* newPath);
  virtual int Link(const char* oldPath, const char* newPath);
  virtual int Unlink(const char* path);

 private:
  std::vector<char> listing_;  // kept from one listing to the next
};

}  // namespace unclash

#endif  // UNCLASH_PLATFORM_LINUX_PLATFORM_H_
