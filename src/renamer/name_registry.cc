#include "renamer/name_registry.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "platform/large_memory.h"

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

template <typename T>
T* AllocateZeroed(std::size_t count) {
  void* block = AllocateLargeZeroed(count * sizeof(T));
  if (block == nullptr) throw std::bad_alloc();
  return static_cast<T*>(block);
}

}  // namespace

NameRegistry::NameRegistry()
    : slots_(AllocateZeroed<std::uint64_t>(std::size_t{1} << kInitialBits)) {}

NameRegistry::~NameRegistry() {
  ReleaseLarge(slots_, SlotCount() * sizeof(std::uint64_t));
  for (std::size_t c = 0; c < chunks_.size(); ++c) {
    ReleaseLarge(chunks_[c], chunkSpans_[c] * kChunkUnits * kUnit);
  }
}

std::uint32_t* NameRegistry::Record(std::uint64_t slot) const {
  const std::uint64_t unit = (slot >> 32) - 1;
  return chunks_[unit / kChunkUnits] + unit % kChunkUnits;
}

std::size_t NameRegistry::FindSlot(std::string_view name, std::uint32_t hash) const {
  const std::size_t mask = SlotCount() - 1;
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
  if (count_ * 10 > SlotCount() * 7) Grow();
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
    chunks_.push_back(AllocateZeroed<std::uint32_t>(spans * kChunkUnits));
    chunkSpans_.push_back(spans);
    chunks_.resize(chunks_.size() + spans - 1, nullptr);
    chunkSpans_.resize(chunks_.size(), 0);
    chunkUsed_ = 0;
  }
  const std::size_t block = chunks_.size() - spans;
  std::uint32_t* record = chunks_[block] + chunkUsed_;
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
  std::uint64_t* old = slots_;
  const std::size_t oldCount = SlotCount();
  slots_ = AllocateZeroed<std::uint64_t>(oldCount * 2);
  bits_ += 1;
  const std::size_t mask = SlotCount() - 1;
  for (std::size_t o = 0; o < oldCount; ++o) {
    const std::uint64_t slot = old[o];
    if (slot == 0) continue;
    std::size_t i = Home(static_cast<std::uint32_t>(slot & kHashMask));
    while (slots_[i] != 0) i = (i + 1) & mask;
    slots_[i] = slot;
  }
  ReleaseLarge(old, oldCount * sizeof(std::uint64_t));
}

}  // namespace unclash
