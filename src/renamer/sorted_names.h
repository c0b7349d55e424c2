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
  // Puts the names in byte order and drops repeated ones.
  void Sort();
  // True when the names added do not fit this set (over 4 GiB of names).
  bool Overflowed() const { return overflowed_; }

  bool Empty() const { return next_ == offsets_.size(); }
  std::size_t Size() const { return offsets_.size() - next_; }
  // The smallest name not yet removed. Its bytes are followed by a NUL and
  // stay valid until the set is released, also after RemoveSmallest().
  std::string_view Smallest() const;
  void RemoveSmallest() { ++next_; }
  // The name `ahead` places after the smallest; ahead < Size().
  std::string_view Ahead(std::size_t ahead) const { return At(next_ + ahead); }
  // Whether `name` is among the names not yet removed.
  bool Contains(const std::string& name) const;
  // Gives back the memory of every name, removed or not.
  void Release();

 private:
  const char* At(std::size_t i) const { return bytes_.data() + offsets_[i]; }

  std::vector<char> bytes_;  // the names, each followed by a NUL
  std::vector<std::uint32_t> offsets_;
  std::size_t next_ = 0;
  bool overflowed_ = false;
};

}  // namespace unclash

#endif  // UNCLASH_RENAMER_SORTED_NAMES_H_
