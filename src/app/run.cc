#include "app/run.h"

#include <cstdint>
#include <string>

#include "renamer/directory_walk.h"
#include "renamer/name_registry.h"
#include "renamer/report.h"

namespace unclash {

int RunFromCommandLine(int argc, const char* const* argv, Platform& platform) {
  if (argc != 2) {
    Report(platform, "Give directory path as argument.\n");
    return kExitUsage;
  }
  NameRegistry registry;
  std::int32_t skipped = 0;
  std::int32_t done = 0;
  WalkContext context(platform);
  const bool succeeded = ProcessDirectory(std::string(argv[1]), registry, skipped, done, context);
  if (succeeded) {
    // A summary that cannot be written leaves the run unconfirmed.
    return Report(platform, "\n\n(Done %d. Skipped %d.)\n\n", done, skipped) ? kExitSuccess
                                                                             : kExitFailed;
  }
  Report(platform, "\n\n***Failed*** (Done %d. Skipped %d.)\n\n", done, skipped);
  return kExitFailed;
}

}  // namespace unclash
