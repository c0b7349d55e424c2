#include "renamer/unique_name.h"

#include <limits>

namespace unclash {

void BuildCandidate(std::string_view oldName, std::uint64_t counter, std::string& candidate) {
  char digits[16];
  std::size_t count = 0;
  do {
    digits[count++] = "0123456789abcdef"[counter & 0xf];
    counter >>= 4;
  } while (counter != 0);
  const std::size_t dot = oldName.rfind('.');
  const std::size_t stemLength = dot == std::string_view::npos ? oldName.size() : dot;
  candidate.assign(oldName.data(), stemLength);
  candidate += "_n";
  while (count > 0) candidate += digits[--count];
  candidate.append(oldName.data() + stemLength, oldName.size() - stemLength);
}

bool ChooseUniqueName(std::string_view oldName, const SortedNames& pendingFiles,
                      NameRegistry& registry, std::string& finalName) {
  // oldName is never pending itself: it was taken out of pendingFiles.
  if (registry.Claim(oldName)) return false;

  // The registry only grows, so once every variant below some counter has
  // been found claimed, each later file of this name can start there: the
  // variants it skips would all be rejected again. A variant rejected only
  // for being a pending file here may be free for the next directory, so the
  // known-claimed run ends at the first such variant.
  std::uint64_t counter = registry.Note(oldName);
  std::uint64_t claimedBelow = counter;
  bool unbroken = true;
  for (;; ++counter) {
    BuildCandidate(oldName, counter, finalName);
    if (pendingFiles.Contains(finalName)) {
      unbroken = false;
    } else if (registry.Claim(finalName)) {
      break;
    }
    if (unbroken) claimedBelow = counter + 1;
  }
  if (unbroken) claimedBelow = counter + 1;
  if (claimedBelow <= std::numeric_limits<std::uint32_t>::max()) {
    registry.SetNote(oldName, static_cast<std::uint32_t>(claimedBelow));
  }
  return true;
}

}  // namespace unclash
