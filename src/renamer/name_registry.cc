#include "renamer/name_registry.h"

#include <cstdlib>
#include <cstring>
#include <limits>

namespace unclash {

namespace {

std::uint64_t Mix(std::uint64_t x) {
  x ^= x >> 30;
  x *= 0xbf58476d1ce4e5b9ULL;
  x ^= x >> 27;
  x *= 0x94d049bb133111ebULL;
  x ^= x >> 31;
  return x;
}

std::uint32_t HashName(std::string_view name) {
  const char* p = name.data();
  std::size_t left = name.size();
  std::uint64_t hash = 0x9e3779b97f4a7c15ULL ^ left;
  while (left >= 8) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    hash = Mix(hash ^ word);
    p += 8;
    left -= 8;
  }
  std::uint64_t tail = 0;
  std::memcpy(&tail, p, left);
  return static_cast<std::uint32_t>(Mix(hash ^ tail) >> 32);
}

constexpr std::uint64_t kHashMask = 0xffffffffULL;

}  // namespace

NameRegistry::NameRegistry() : slots_(std::size_t{1} << kInitialBits, 0) {}

std::uint32_t* NameRegistry::Record(std::uint64_t slot) const {
  const std::uint64_t unit = (slot >> 32) - 1;
  return chunks_[unit / kChunkUnits].get() + unit % kChunkUnits;
}

std::size_t NameRegistry::FindSlot(std::string_view name,
                                   std::uint32_t hash) const {
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = Home(hash);; i = (i + 1) & mask) {
    const std::uint64_t slot = slots_[i];
    if (slot == 0) return i;
    if ((slot & kHashMask) != hash) continue;
    const std::uint32_t* record = Record(slot);
    if (record[1] == name.size() &&
        std::memcmp(record + kHeaderUnits, name.data(), name.size()) == 0) {
      return i;
    }
  }
}

bool NameRegistry::Contains(std::string_view name) const {
  return slots_[FindSlot(name, HashName(name))] != 0;
}

bool NameRegistry::Claim(std::string_view name) {
  const std::uint32_t hash = HashName(name);
  const std::size_t i = FindSlot(name, hash);
  if (slots_[i] != 0) return false;
  slots_[i] = ((AppendRecord(name) + 1) << 32) | hash;
  ++count_;
  if (count_ * 10 > slots_.size() * 7) Grow();
  return true;
}

std::uint32_t NameRegistry::Note(std::string_view name) const {
  const std::uint64_t slot = slots_[FindSlot(name, HashName(name))];
  return slot == 0 ? 0 : Record(slot)[0];
}

void NameRegistry::SetNote(std::string_view name, std::uint32_t note) {
  const std::uint64_t slot = slots_[FindSlot(name, HashName(name))];
  if (slot != 0) Record(slot)[0] = note;
}

void NameRegistry::Prefetch(std::string_view name) const {
#if defined(__GNUC__)
  __builtin_prefetch(&slots_[Home(HashName(name))]);
#else
  (void)name;
#endif
}

std::uint64_t NameRegistry::AppendRecord(std::string_view name) {
  const std::size_t units = kHeaderUnits + (name.size() + kUnit - 1) / kUnit;
  // A record longer than a chunk (never a real file name) gets a block of
  // its own that takes up the numbers of as many chunks as it spans.
  const std::size_t spans = (units + kChunkUnits - 1) / kChunkUnits;
  if (chunks_.empty() || chunkUsed_ + units > kChunkUnits) {
    if ((chunks_.size() + spans) * kChunkUnits >= std::numeric_limits<std::uint32_t>::max()) {
      std::abort();  // 16 GiB of names: more than the memory of any host
    }
    chunks_.emplace_back(new std::uint32_t[spans * kChunkUnits]);
    chunks_.resize(chunks_.size() + spans - 1);
    chunkUsed_ = 0;
  }
  const std::size_t block = chunks_.size() - spans;
  std::uint32_t* record = chunks_[block].get() + chunkUsed_;
  record[0] = 0;
  record[1] = static_cast<std::uint32_t>(name.size());
  std::memcpy(record + kHeaderUnits, name.data(), name.size());
  const std::uint64_t unit = block * kChunkUnits + chunkUsed_;
  chunkUsed_ = spans > 1 ? kChunkUnits : chunkUsed_ + units;
  return unit;
}

void NameRegistry::Grow() {
  // Slots are placed by the top bits of the hash they hold, so the new
  // place of each follows from the slot alone, and a scan of the old table
  // in order fills the new one almost in order.
  std::vector<std::uint64_t> old(slots_.size() * 2, 0);
  old.swap(slots_);
  bits_ += 1;
  const std::size_t mask = slots_.size() - 1;
  for (const std::uint64_t slot : old) {
    if (slot == 0) continue;
    std::size_t i = Home(static_cast<std::uint32_t>(slot & kHashMask));
    while (slots_[i] != 0) i = (i + 1) & mask;
    slots_[i] = slot;
  }
}

}  // namespace unclash
