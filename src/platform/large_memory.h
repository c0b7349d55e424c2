// Large zero-filled blocks straight from the system, for the run's biggest
// structures: they start zeroed without a pass over them, and where the
// host can, they are backed by huge pages, which saves most page faults and
// TLB misses on tables that are far larger than the caches.
#ifndef UNCLASH_PLATFORM_LARGE_MEMORY_H_
#define UNCLASH_PLATFORM_LARGE_MEMORY_H_

#include <cstddef>

namespace unclash {

// On success returns a zero-filled block of `bytes` bytes; on failure
// returns nullptr.
void* AllocateLargeZeroed(std::size_t bytes);
// Gives back a block from AllocateLargeZeroed() of the same size.
void ReleaseLarge(void* block, std::size_t bytes);

}  // namespace unclash

#endif  // UNCLASH_PLATFORM_LARGE_MEMORY_H_
