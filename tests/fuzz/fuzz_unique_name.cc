// Name selection against the plain search that tries every counter from 0:
// the input is a run of directories, each a set of names from a pool that
// holds numbered variants too, and both must choose the same final names.
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "renamer/name_registry.h"
#include "renamer/sorted_names.h"
#include "renamer/unique_name.h"
#include "test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace unclash;
  static const std::vector<std::string> pool = [] {
    std::vector<std::string> names;
    for (const char* base : {"a.txt", "a", ".x", "b.tar.gz", "c."}) {
      names.push_back(base);
      std::string variant;
      for (std::uint64_t k : {0, 1, 2, 9, 10, 15, 16, 17}) {
        BuildCandidate(base, k, variant);
        names.push_back(variant);
      }
    }
    return names;
  }();
  NameRegistry registry;
  std::set<std::string> plainRegistry;
  std::size_t at = 0;
  while (at < size) {
    const std::size_t count = data[at++] % 12;
    std::set<std::string> names;
    for (std::size_t i = 0; i < count && at < size; ++i) names.insert(pool[data[at++] % pool.size()]);
    SortedNames pending;
    for (const auto& name : names) pending.Add(name);
    pending.Sort();
    std::string finalName;
    while (!pending.Empty()) {
      const std::string oldName(pending.Smallest());
      pending.RemoveSmallest();
      names.erase(oldName);
      const std::string expected = testing::PlainChoice(oldName, names, plainRegistry);
      const bool changed = ChooseUniqueName(oldName, pending, registry, finalName);
      if ((changed ? finalName : oldName) != expected) std::abort();
    }
  }
  if (registry.Size() != plainRegistry.size()) std::abort();
  return 0;
}
