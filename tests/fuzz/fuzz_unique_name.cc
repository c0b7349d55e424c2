// Name selection against the plain search that tries every counter from 0:
// the input is a run of directories, each a set of names from a pool that
// holds numbered variants too, and both must choose the same final names.
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "renamer/name_registry.h"
#include "test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace unclash;
  static const std::vector<std::string> pool = testing::NamesWithVariants(
      {"a.txt", "a", ".x", "b.tar.gz", "c."}, {0, 1, 2, 9, 10, 15, 16, 17});
  NameRegistry registry;
  std::set<std::string> plainRegistry;
  std::size_t at = 0;
  while (at < size) {
    const std::size_t count = data[at++] % 12;
    std::set<std::string> names;
    for (std::size_t i = 0; i < count && at < size; ++i) {
      names.insert(pool[data[at++] % pool.size()]);
    }
    if (!testing::SettleBothWays(names, registry, plainRegistry).empty()) std::abort();
  }
  if (registry.Size() != plainRegistry.size()) std::abort();
  return 0;
}
