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
  bool ListDirectory(const std::string& directory, DirectoryId& id, EntrySink& sink) override;
  // Renames through a handle on the directory, opened at its first rename
  // and kept for the renames that follow in the same directory, so that a
  // rename costs no walk of the whole path.
  bool RenameNoReplace(const std::string& directory, std::string_view oldName,
                       std::string_view newName) override;
  bool Write(std::string_view text) override;

  LinuxPlatform() = default;
  ~LinuxPlatform() override;
  LinuxPlatform(const LinuxPlatform&) = delete;
  LinuxPlatform& operator=(const LinuxPlatform&) = delete;

 protected:
  // The system calls below, one each, so that a test can make one of them
  // fail the way a given file system would and forward the rest. Each
  // returns what the call returns and leaves errno as the call set it.
  virtual long GetDents64(int directory, char* buffer, std::size_t size);
  virtual int RenameAt2NoReplace(int directory, const char* oldName, const char* newName);
  virtual int Link(int directory, const char* oldName, const char* newName);
  virtual int Unlink(int directory, const char* name);

 private:
  // The handle renames in `renameDirectoryPath_` go through, or -1.
  int RenameDirectory(const std::string& directory);
  void CloseRenameDirectory();

  std::vector<char> listing_;  // kept from one listing to the next
  int renameDirectory_ = -1;
  std::string renameDirectoryPath_;
};

}  // namespace unclash

#endif  // UNCLASH_PLATFORM_LINUX_PLATFORM_H_
