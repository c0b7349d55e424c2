// The names claimed during one run: every name a file kept and every name
// chosen for a rename. A name is claimed once and stays claimed; nothing is
// ever removed. Equality is exact byte equality (letter case counts).
#ifndef UNCLASH_RENAMER_NAME_REGISTRY_H_
#define UNCLASH_RENAMER_NAME_REGISTRY_H_

#include <cstdint>
#include <string_view>
#include <vector>

namespace unclash {

class NameRegistry {
 public:
  NameRegistry();
  ~NameRegistry();
  NameRegistry(const NameRegistry&) = delete;
  NameRegistry& operator=(const NameRegistry&) = delete;

  // Claims `name`. Returns true when it was free and is now claimed, false
  // when it had been claimed before (the registry is then unchanged).
  bool Claim(std::string_view name);
  bool Contains(std::string_view name) const;
  std::size_t Size() const { return count_; }

  // A number kept with each claimed name, 0 until set. The name selection
  // keeps there how far the numbered variants of the name are known to be
  // claimed. Setting it on a name that is not claimed does nothing.
  std::uint32_t Note(std::string_view name) const;
  void SetNote(std::string_view name, std::uint32_t note);

  // Starts loading the part of the table where `name` would be, so that a
  // Claim() of it soon after does not wait for memory.
  void Prefetch(std::string_view name) const;

 private:
  // Names are stored once, in an arena of chunks that never move, as
  // records of 4-byte units: the note, the length, the bytes. A slot of the
  // open-addressing table holds a record's unit number + 1 (high 32 bits)
  // and the top 32 bits of the name's hash (low 32 bits); 0 is empty.
  static constexpr std::size_t kUnit = 4;
  static constexpr std::size_t kHeaderUnits = 2;
  static constexpr std::size_t kChunkUnits = std::size_t{1} << 19;  // 2 MiB
  static constexpr int kInitialBits = 10;

  // The slot holding `name`, or the empty slot where it would go.
  std::size_t FindSlot(std::string_view name, std::uint32_t hash) const;
  std::size_t Home(std::uint32_t hash) const { return hash >> (32 - bits_); }
  std::uint32_t* Record(std::uint64_t slot) const;
  std::uint64_t AppendRecord(std::string_view name);
  void Grow();

  std::size_t SlotCount() const { return std::size_t{1} << bits_; }

  std::uint64_t* slots_ = nullptr;  // SlotCount() of them
  int bits_ = kInitialBits;
  std::size_t count_ = 0;
  // A block spanning several chunks is at its first; the others are null.
  std::vector<std::uint32_t*> chunks_;
  std::vector<std::size_t> chunkSpans_;
  std::size_t chunkUsed_ = 0;  // units used in the last chunk
};

}  // namespace unclash

#endif  // UNCLASH_RENAMER_NAME_REGISTRY_H_
