#include <cstdio>

#include "platform/platform.h"

namespace unclash {

std::string ListingPattern(const std::string& directory) {
  std::string pattern;
  pattern.reserve(directory.size() + kListingPatternSuffix.size());
  pattern += directory;
  pattern += kListingPatternSuffix;
  return pattern;
}

std::string ChildPath(const std::string& directory, std::string_view name) {
  std::string path;
  path.reserve(directory.size() + 1 + name.size());
  path += directory;
  path += kPathSeparator;
  path += name;
  return path;
}

bool WriteToStandardOutput(std::string_view text) {
  if (std::ferror(stdout)) return false;
  if (!text.empty() && std::fwrite(text.data(), 1, text.size(), stdout) != text.size()) {
    return false;
  }
  return std::fflush(stdout) == 0 && !std::ferror(stdout);
}

}  // namespace unclash
