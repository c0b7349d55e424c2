#include "renamer/sorted_names.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace unclash {

SortedNames::Entry SortedNames::MakeEntry(std::string_view name, std::uint32_t offset) {
  std::uint64_t key = 0;
  const std::size_t head = name.size() < 8 ? name.size() : 8;
  for (std::size_t i = 0; i < head; ++i) {
    key |= static_cast<std::uint64_t>(static_cast<unsigned char>(name[i])) << (56 - 8 * i);
  }
  return Entry{key, offset, static_cast<std::uint32_t>(name.size())};
}

int SortedNames::Order(std::uint64_t keyA, std::string_view a, std::uint64_t keyB,
                       std::string_view b) {
  if (keyA != keyB) return keyA < keyB ? -1 : 1;
  // Names hold no NUL, so equal keys mean equal first min(8, length) bytes
  // and, for names of up to 8 bytes, equal names.
  return a.compare(b);
}

int SortedNames::Compare(const char* base, const Entry& a, const Entry& b) {
  return Order(a.key, std::string_view(base + a.offset, a.length), b.key,
               std::string_view(base + b.offset, b.length));
}

void SortedNames::Add(std::string_view name) {
  if (bytes_.size() + name.size() + 1 > std::numeric_limits<std::uint32_t>::max()) {
    overflowed_ = true;
    return;
  }
  entries_.push_back(MakeEntry(name, static_cast<std::uint32_t>(bytes_.size())));
  bytes_.insert(bytes_.end(), name.begin(), name.end());
  bytes_.push_back('\0');
}

void SortedNames::Sort() {
  const char* base = bytes_.data();
  // First by the keys alone, which touches no name; then each run of equal
  // keys by the bytes, a few names at a time that stay in the cache.
  std::sort(entries_.begin(), entries_.end(),
            [](const Entry& a, const Entry& b) { return a.key < b.key; });
  for (auto run = entries_.begin(); run != entries_.end();) {
    auto end = run + 1;
    while (end != entries_.end() && end->key == run->key) ++end;
    if (end - run > 1) {
      std::sort(run, end,
                [base](const Entry& a, const Entry& b) { return Compare(base, a, b) < 0; });
    }
    run = end;
  }
  next_ = 0;
}

void SortedNames::RemoveSmallest() {
  // Repeats stand together once sorted; they go with the first. Comparing
  // here, where both names are wanted soon anyway, costs no extra pass.
  const Entry& removed = entries_[next_++];
  while (next_ < entries_.size() && Compare(bytes_.data(), removed, entries_[next_]) == 0) {
    ++next_;
  }
}

void SortedNames::PrefetchAhead(std::size_t ahead) const {
#if defined(__GNUC__)
  __builtin_prefetch(bytes_.data() + entries_[next_ + ahead].offset);
#else
  (void)ahead;
#endif
}

bool SortedNames::Contains(std::string_view name) const {
  if (Empty()) return false;
  const std::uint64_t key = MakeEntry(name, 0).key;
  const auto compare = [&](std::size_t i) { return Order(key, name, entries_[i].key, At(i)); };
  // Most questions are about names below the smallest or above the largest
  // remaining one: answer those without a search.
  const int low = compare(next_);
  if (low <= 0) return low == 0;
  const int high = compare(entries_.size() - 1);
  if (high >= 0) return high == 0;
  // Strictly between the first and the last remaining name.
  std::size_t first = next_ + 1;
  std::size_t last = entries_.size() - 1;
  while (first < last) {
    const std::size_t middle = first + (last - first) / 2;
    const int order = compare(middle);
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
  std::vector<Entry>().swap(entries_);
  next_ = 0;
}

}  // namespace unclash
