// The Win32 host: the directory search FindFirstFileA / FindNextFileA /
// FindClose on "DIR\*.*", and MoveFileA, which never replaces an entry.
#ifndef UNCLASH_PLATFORM_WINDOWS_PLATFORM_H_
#define UNCLASH_PLATFORM_WINDOWS_PLATFORM_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace unclash {

class WindowsPlatform : public Platform {
 public:
  bool ListDirectory(const std::string& directory, DirectoryId& id, EntrySink& sink) override;
  bool RenameNoReplace(const std::string& directory, std::string_view oldName,
                       std::string_view newName) override;
  bool Write(std::string_view text) override;

 private:
  // Gives out identities that match no directory, for directories whose
  // own identity the system does not tell.
  std::uint64_t unknownDirectories_ = 0;
};

}  // namespace unclash

#endif  // UNCLASH_PLATFORM_WINDOWS_PLATFORM_H_
