// printf-style messages, written through the platform the moment they
// happen. A name is always an argument, never part of the format.
#ifndef UNCLASH_RENAMER_REPORT_H_
#define UNCLASH_RENAMER_REPORT_H_

#include "platform/platform.h"

namespace unclash {

#if defined(__GNUC__)
#define UNCLASH_PRINTF_FORMAT(f, a) __attribute__((format(printf, f, a)))
#else
#define UNCLASH_PRINTF_FORMAT(f, a)
#endif

// Formats the message and writes it. Returns false when it could not be
// written.
bool Report(Platform& platform, const char* format, ...) UNCLASH_PRINTF_FORMAT(2, 3);

}  // namespace unclash

#endif  // UNCLASH_RENAMER_REPORT_H_
