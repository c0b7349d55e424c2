#include "renamer/report.h"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace unclash {

bool Report(Platform& platform, const char* format, ...) {
  char small[512];
  std::va_list arguments;
  va_start(arguments, format);
  const int length = std::vsnprintf(small, sizeof small, format, arguments);
  va_end(arguments);
  if (length < 0) return false;
  if (static_cast<std::size_t>(length) < sizeof small) {
    return platform.Write(std::string_view(small, static_cast<std::size_t>(length)));
  }
  std::string large(static_cast<std::size_t>(length) + 1, '\0');
  va_start(arguments, format);
  std::vsnprintf(large.data(), large.size(), format, arguments);
  va_end(arguments);
  large.pop_back();
  return platform.Write(large);
}

}  // namespace unclash
