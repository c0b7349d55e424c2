#include "renamer/name_registry.h"

#include <cstring>

namespace unclash {

namespace {

constexpr std::size_t kInitialSlots = 1024;

std::uint64_t Mix(std::uint64_t x) {
  x ^= x >> 30;
  x *= 0xbf58476d1ce4e5b9ULL;
  x ^= x >> 27;
  x *= 0x94d049bb133111ebULL;
  x ^= x >> 31;
  return x;
}

std::uint64_t HashName(std::string_view name) {
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
  return Mix(hash ^ tail ^ (static_cast<std::uint64_t>(left) << 59));
}

std::uint32_t ReadU32(const char* p) {
  std::uint32_t value;
  std::memcpy(&value, p, 4);
  return value;
}

}  // namespace

NameRegistry::NameRegistry() : slots_(kInitialSlots, 0) {}

char* NameRegistry::Record(std::uint64_t offset) const {
  return chunks_[offset >> kChunkBits].get() +
         (offset & ((std::uint64_t{1} << kChunkBits) - 1));
}

std::size_t NameRegistry::FindSlot(std::string_view name,
                                   std::uint64_t hash) const {
  const std::size_t mask = slots_.size() - 1;
  const std::uint64_t tag = hash >> (64 - kTagBits);
  for (std::size_t i = static_cast<std::size_t>(hash) & mask;; i = (i + 1) & mask) {
    const std::uint64_t slot = slots_[i];
    if (slot == 0) return i;
    if ((slot & ((std::uint64_t{1} << kTagBits) - 1)) != tag) continue;
    const char* record = Record((slot >> kTagBits) - 1);
    if (ReadU32(record + 4) == name.size() &&
        std::memcmp(record + kHeaderSize, name.data(), name.size()) == 0) {
      return i;
    }
  }
}

bool NameRegistry::Contains(std::string_view name) const {
  return slots_[FindSlot(name, HashName(name))] != 0;
}

bool NameRegistry::Claim(std::string_view name) {
  const std::uint64_t hash = HashName(name);
  std::size_t i = FindSlot(name, hash);
  if (slots_[i] != 0) return false;
  const std::uint64_t offset = AppendRecord(name);
  ++count_;
  if (count_ * 10 > slots_.size() * 7) {
    Grow();
  } else {
    slots_[i] = ((offset + 1) << kTagBits) | (hash >> (64 - kTagBits));
  }
  return true;
}

std::uint32_t NameRegistry::Note(std::string_view name) const {
  const std::uint64_t slot = slots_[FindSlot(name, HashName(name))];
  return slot == 0 ? 0 : ReadU32(Record((slot >> kTagBits) - 1));
}

void NameRegistry::SetNote(std::string_view name, std::uint32_t note) {
  const std::uint64_t slot = slots_[FindSlot(name, HashName(name))];
  if (slot != 0) std::memcpy(Record((slot >> kTagBits) - 1), &note, 4);
}

std::uint64_t NameRegistry::AppendRecord(std::string_view name) {
  const std::size_t size = kHeaderSize + name.size();
  const std::size_t chunkSize = std::size_t{1} << kChunkBits;
  if (chunks_.empty() || chunkUsed_.back() + size > chunkSize) {
    // A name too long for a chunk of the usual size gets one of its own.
    chunks_.emplace_back(new char[size > chunkSize ? size : chunkSize]);
    chunkUsed_.push_back(0);
  }
  const std::uint64_t offset =
      (static_cast<std::uint64_t>(chunks_.size() - 1) << kChunkBits) |
      chunkUsed_.back();
  char* record = Record(offset);
  const std::uint32_t note = 0;
  const auto length = static_cast<std::uint32_t>(name.size());
  std::memcpy(record, &note, 4);
  std::memcpy(record + 4, &length, 4);
  std::memcpy(record + kHeaderSize, name.data(), name.size());
  chunkUsed_.back() += size;
  return offset;
}

void NameRegistry::InsertSlot(std::uint64_t offset, std::uint64_t hash) {
  const std::size_t mask = slots_.size() - 1;
  std::size_t i = static_cast<std::size_t>(hash) & mask;
  while (slots_[i] != 0) i = (i + 1) & mask;
  slots_[i] = ((offset + 1) << kTagBits) | (hash >> (64 - kTagBits));
}

void NameRegistry::Grow() {
  // Every record, the one just appended included, is put into a table of
  // twice the size by reading the arena in order; the old table is given
  // back first so that the two never stand in memory together.
  const std::size_t newSize = slots_.size() * 2;
  std::vector<std::uint64_t>().swap(slots_);
  slots_.assign(newSize, 0);
  for (std::size_t c = 0; c < chunks_.size(); ++c) {
    for (std::size_t at = 0; at < chunkUsed_[c];) {
      const std::uint64_t offset = (static_cast<std::uint64_t>(c) << kChunkBits) | at;
      const char* record = Record(offset);
      const std::uint32_t length = ReadU32(record + 4);
      InsertSlot(offset, HashName(std::string_view(record + kHeaderSize, length)));
      at += kHeaderSize + length;
    }
  }
}

}  // namespace unclash
