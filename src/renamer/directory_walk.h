// The walk of a directory tree: in each directory every file first, in byte
// order of the names, each given its final name and renamed when that name
// differs; then each subdirectory with everything below it, in byte order.
#ifndef UNCLASH_RENAMER_DIRECTORY_WALK_H_
#define UNCLASH_RENAMER_DIRECTORY_WALK_H_

#include <cstdint>
#include <set>
#include <string>

#include "platform/platform.h"
#include "renamer/name_registry.h"

namespace unclash {

// What every level of one walk shares besides the registry and the counters.
struct WalkContext {
  explicit WalkContext(Platform& host) : platform(host) {}

  Platform& platform;
  // Every directory entered so far. One reached again, through a link or a
  // second link to it, is passed over in silence.
  std::set<DirectoryId> enteredDirectories;
  // Set once a report could not be written; no rename is made after that.
  bool outputLost = false;
};

// Processes `directory` and, through itself, every directory below it.
// Renames are counted in `done`, files that keep their names in `skipped`.
// Returns true when the listing could be read, every rename attempted
// succeeded and every subdirectory walked returned true. Each failure is
// reported where it happens; nothing is retried and no rename is undone.
bool ProcessDirectory(const std::string& directory, NameRegistry& registry, std::int32_t& skipped,
                      std::int32_t& done, WalkContext& context);

}  // namespace unclash

#endif  // UNCLASH_RENAMER_DIRECTORY_WALK_H_
