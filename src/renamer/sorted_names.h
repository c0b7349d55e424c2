// An ordered set of the names of one directory: filled while the directory is
// listed, sorted once, then taken from the smallest name on. Names are byte
// strings compared byte by byte as unsigned values, a shorter prefix first.
#ifndef UNCLASH_RENAMER_SORTED_NAMES_H_
#define UNCLASH_RENAMER_SORTED_NAMES_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace unclash {

class SortedNames {
 public:
  // Adds a name. Names hold no NUL byte. Call Sort() before anything else.
  void Add(std::string_view name);
  // Puts the names in byte order. A name added twice is taken only once.
  void Sort();
  // True when the names added do not fit this set (over 4 GiB of names).
  bool Overflowed() const { return overflowed_; }

  bool Empty() const { return next_ == entries_.size(); }
  std::size_t Size() const { return entries_.size() - next_; }
  // The smallest name not yet removed. Its bytes are followed by a NUL and
  // stay valid until the set is released, also after RemoveSmallest().
  std::string_view Smallest() const { return At(next_); }
  void RemoveSmallest();
  // The name `ahead` places after the smallest; ahead < Size(). A name
  // added twice may be seen twice here.
  std::string_view Ahead(std::size_t ahead) const { return At(next_ + ahead); }
  // Asks for the bytes of that name to be brought into the cache.
  void PrefetchAhead(std::size_t ahead) const;
  // Whether `name` is among the names not yet removed.
  bool Contains(std::string_view name) const;
  // Gives back the memory of every name, removed or not.
  void Release();

 private:
  // A name's place in bytes_, with its first 8 bytes as a big-endian number
  // (zeros after the end), so that most comparisons never touch the bytes.
  struct Entry {
    std::uint64_t key;
    std::uint32_t offset;
    std::uint32_t length;
  };
  // The order of two names given with their keys: <0, 0 or >0.
  static int Order(std::uint64_t keyA, std::string_view a, std::uint64_t keyB, std::string_view b);
  static int Compare(const char* base, const Entry& a, const Entry& b);
  static Entry MakeEntry(std::string_view name, std::uint32_t offset);

  std::string_view At(std::size_t i) const {
    return std::string_view(bytes_.data() + entries_[i].offset, entries_[i].length);
  }

  std::vector<char> bytes_;  // the names, each followed by a NUL
  std::vector<Entry> entries_;
  std::size_t next_ = 0;
  bool overflowed_ = false;
};

}  // namespace unclash

#endif  // UNCLASH_RENAMER_SORTED_NAMES_H_
