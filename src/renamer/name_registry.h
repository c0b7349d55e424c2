// The names claimed during one run: every name a file kept and every name
// chosen for a rename. A name is claimed once and stays claimed; nothing is
// ever removed. Equality is exact byte equality (letter case counts).
#ifndef UNCLASH_RENAMER_NAME_REGISTRY_H_
#define UNCLASH_RENAMER_NAME_REGISTRY_H_

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace unclash {

class NameRegistry {
 public:
  NameRegistry();
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

 private:
  // A record in the arena: the note (4 bytes), the length (4 bytes), the
  // name's bytes. A slot of the table holds (record offset + 1) above 24
  // bits of the name's hash; 0 marks an empty slot.
  static constexpr int kTagBits = 24;
  static constexpr std::size_t kChunkBits = 20;
  static constexpr std::size_t kHeaderSize = 8;

  // The slot holding `name`, or the empty slot where it would go.
  std::size_t FindSlot(std::string_view name, std::uint64_t hash) const;
  char* Record(std::uint64_t offset) const;
  std::uint64_t AppendRecord(std::string_view name);
  void Grow();
  void InsertSlot(std::uint64_t offset, std::uint64_t hash);

  std::vector<std::uint64_t> slots_;
  std::size_t count_ = 0;
  // Records are stored in chunks that never move; one never spans two.
  std::vector<std::unique_ptr<char[]>> chunks_;
  std::vector<std::size_t> chunkUsed_;
};

}  // namespace unclash

#endif  // UNCLASH_RENAMER_NAME_REGISTRY_H_
