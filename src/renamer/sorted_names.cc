#include "renamer/sorted_names.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace unclash {

// strcmp compares as unsigned bytes and puts a prefix first: the names' order.

void SortedNames::Add(std::string_view name) {
  if (bytes_.size() + name.size() + 1 > std::numeric_limits<std::uint32_t>::max()) {
    overflowed_ = true;
    return;
  }
  offsets_.push_back(static_cast<std::uint32_t>(bytes_.size()));
  bytes_.insert(bytes_.end(), name.begin(), name.end());
  bytes_.push_back('\0');
}

void SortedNames::Sort() {
  const char* base = bytes_.data();
  std::sort(offsets_.begin(), offsets_.end(),
            [base](std::uint32_t a, std::uint32_t b) {
              return std::strcmp(base + a, base + b) < 0;
            });
  offsets_.erase(std::unique(offsets_.begin(), offsets_.end(),
                             [base](std::uint32_t a, std::uint32_t b) {
                               return std::strcmp(base + a, base + b) == 0;
                             }),
                 offsets_.end());
  next_ = 0;
}

std::string_view SortedNames::Smallest() const { return At(next_); }

bool SortedNames::Contains(const std::string& name) const {
  if (Empty()) return false;
  const char* wanted = name.c_str();
  // Most questions are about names below the smallest or above the largest
  // remaining one: answer those without a search.
  const int low = std::strcmp(wanted, At(next_));
  if (low <= 0) return low == 0;
  const int high = std::strcmp(wanted, At(offsets_.size() - 1));
  if (high >= 0) return high == 0;
  // Strictly between the first and the last remaining name.
  std::size_t first = next_ + 1;
  std::size_t last = offsets_.size() - 1;
  while (first < last) {
    const std::size_t middle = first + (last - first) / 2;
    const int order = std::strcmp(wanted, At(middle));
    if (order == 0) return true;
    if (order < 0) {
      last = middle;
    } else {
      first = middle + 1;
    }
  }
  return false;
}

void SortedNames::Release() {
  std::vector<char>().swap(bytes_);
  std::vector<std::uint32_t>().swap(offsets_);
  next_ = 0;
}

}  // namespace unclash
