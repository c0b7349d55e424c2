// The operating-system calls the walk needs: list one directory, rename one
// file without ever replacing anything, and write the report. One
// implementation per host sits beside this header; tests substitute their own.
#ifndef UNCLASH_PLATFORM_PLATFORM_H_
#define UNCLASH_PLATFORM_PLATFORM_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace unclash {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
inline constexpr std::string_view kListingPatternSuffix = "\\*.*";
#else
inline constexpr char kPathSeparator = '/';
inline constexpr std::string_view kListingPatternSuffix = "/*";
#endif

// The pattern a listing of `directory` is reported under: the directory as
// given, then the host's "all entries" suffix. Never normalised.
std::string ListingPattern(const std::string& directory);

// `directory`, one separator, `name`. Never normalised: "dir/" gives "dir//x".
std::string ChildPath(const std::string& directory, std::string_view name);

// What makes a directory the same directory however it was reached: device
// and inode on POSIX, volume serial number and file index on Windows.
struct DirectoryId {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  friend bool operator<(const DirectoryId& a, const DirectoryId& b) {
    return a.volume != b.volume ? a.volume < b.volume : a.index < b.index;
  }
  friend bool operator==(const DirectoryId& a, const DirectoryId& b) {
    return a.volume == b.volume && a.index == b.index;
  }
};

// Receives the entries of one listing, in the order the system gives them.
class EntrySink {
 public:
  virtual ~EntrySink() = default;
  // `isDirectory` is true for a directory and for anything that resolves to
  // one (a symbolic link, a junction); everything else is a file.
  virtual void AddEntry(std::string_view name, bool isDirectory) = 0;
};

class Platform {
 public:
  virtual ~Platform() = default;

  // Reads the whole listing of `directory` and closes it before returning.
  // On success fills `id` with the directory's identity, passes every entry
  // (the host's "." and ".." included, where it lists them) to `sink`, and
  // returns true. On failure, to start or at any step, returns false; entries
  // already passed to `sink` must then be disregarded.
  virtual bool ListDirectory(const std::string& directory, DirectoryId& id, EntrySink& sink) = 0;

  // Gives the entry `oldName` of `directory` the name `newName` in one
  // step; both names are bare names in that directory. On success returns
  // true. On failure returns false and leaves both names as they were; in
  // particular it fails whenever anything already stands at `newName`, and
  // never replaces it.
  virtual bool RenameNoReplace(const std::string& directory, std::string_view oldName,
                               std::string_view newName) = 0;

  // Writes `text` to standard output and flushes it. Returns true when it
  // was written, false when the output has failed (a full disk, a closed
  // pipe): what the run reports from then on is lost.
  virtual bool Write(std::string_view text) = 0;
};

// The implementation for the host this program was built for.
std::unique_ptr<Platform> NewNativePlatform();

// Standard output through the C runtime (text mode, so a line feed reaches a
// Windows console as its line end), flushed at once. Shared by the hosts.
bool WriteToStandardOutput(std::string_view text);

}  // namespace unclash

#endif  // UNCLASH_PLATFORM_PLATFORM_H_
