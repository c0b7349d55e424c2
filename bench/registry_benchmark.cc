// The registry and the name selection on their own, without the file system.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "renamer/name_registry.h"
#include "renamer/sorted_names.h"
#include "renamer/unique_name.h"

namespace unclash {
namespace {

std::vector<std::string> DistinctNames(std::size_t count) {
  std::vector<std::string> names;
  names.reserve(count);
  char buffer[32];
  for (std::size_t i = 0; i < count; ++i) {
    std::snprintf(buffer, sizeof buffer, "IMG_%zx.jpg", i * 2654435761u % 1000003);
    names.emplace_back(buffer);
  }
  return names;
}

// Claiming names never seen before: the cost per file of a tree whose names
// are already unique.
void BM_ClaimDistinct(benchmark::State& state) {
  const auto names = DistinctNames(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    NameRegistry registry;
    for (const auto& name : names) benchmark::DoNotOptimize(registry.Claim(name));
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ClaimDistinct)->Arg(1 << 10)->Arg(1 << 20);

// The k-th file of one name: linear in the number of files, not quadratic.
void BM_ChooseSameName(benchmark::State& state) {
  const SortedNames none;
  std::string finalName;
  for (auto _ : state) {
    NameRegistry registry;
    for (int64_t i = 0; i < state.range(0); ++i) {
      benchmark::DoNotOptimize(ChooseUniqueName("a.txt", none, registry, finalName));
    }
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ChooseSameName)->Arg(5000)->Arg(50000);

// Sorting one directory's listing.
void BM_SortListing(benchmark::State& state) {
  const auto names = DistinctNames(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    SortedNames set;
    for (const auto& name : names) set.Add(name);
    set.Sort();
    benchmark::DoNotOptimize(set.Smallest());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SortListing)->Arg(100)->Arg(1 << 20);

}  // namespace
}  // namespace unclash

BENCHMARK_MAIN();
