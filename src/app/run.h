// One run of the tool, from the command line to the summary.
#ifndef UNCLASH_APP_RUN_H_
#define UNCLASH_APP_RUN_H_

#include "platform/platform.h"

namespace unclash {

// Exit statuses of a run.
inline constexpr int kExitSuccess = 0;  // after the "(Done ...)" summary
inline constexpr int kExitFailed = 1;   // after the "***Failed***" summary
inline constexpr int kExitUsage = 2;    // after the usage line

// Checks the command line (exactly one argument, the directory), walks that
// directory with a fresh registry and counters, prints the summary and
// returns the exit status. The argument is used exactly as given.
int RunFromCommandLine(int argc, const char* const* argv, Platform& platform);

}  // namespace unclash

#endif  // UNCLASH_APP_RUN_H_
