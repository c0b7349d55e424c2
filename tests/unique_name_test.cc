#include "renamer/unique_name.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "renamer/name_registry.h"
#include "renamer/sorted_names.h"
#include "test_support.h"

namespace unclash {
namespace {

SortedNames MakeSet(const std::vector<std::string>& names) {
  SortedNames set;
  for (const auto& name : names) set.Add(name);
  set.Sort();
  return set;
}

TEST(BuildCandidateTest, InsertsMarkerAndHexCounterBeforeLastDot) {
  struct Case {
    const char* oldName;
    std::uint64_t counter;
    const char* expected;
  };
  const Case cases[] = {
      {"photo.jpg", 0, "photo_n0.jpg"},
      {"photo.jpg", 9, "photo_n9.jpg"},
      {"photo.jpg", 10, "photo_na.jpg"},
      {"photo.jpg", 15, "photo_nf.jpg"},
      {"photo.jpg", 16, "photo_n10.jpg"},
      {"photo.jpg", 0x7fffffff, "photo_n7fffffff.jpg"},
      {"Makefile", 0, "Makefile_n0"},
      {".profile", 0, "_n0.profile"},
      {"archive.tar.gz", 0, "archive.tar_n0.gz"},
      {"notes.", 0, "notes_n0."},
      {"...", 1, ".._n1."},
      {"", 0, "_n0"},
      {"\xff\x80.%s", 171, "\xff\x80_nab.%s"},
  };
  std::string candidate = "left over";
  for (const Case& c : cases) {
    BuildCandidate(c.oldName, c.counter, candidate);
    EXPECT_EQ(candidate, c.expected) << c.oldName << " " << c.counter;
  }
}

TEST(ChooseUniqueNameTest, SettlesNamesAgainstClaimedAndPendingNames) {
  struct Case {
    const char* what;
    std::vector<std::string> claimed;
    std::vector<std::string> pending;
    std::string oldName;
    std::string expected;  // the old name itself when it is kept
  };
  const Case cases[] = {
      {"free name is kept", {}, {}, "a.txt", "a.txt"},
      {"taken name gets counter 0", {"report.txt"}, {}, "report.txt", "report_n0.txt"},
      {"next counter when 0 is taken",
       {"report.txt", "report_n0.txt"},
       {},
       "report.txt",
       "report_n1.txt"},
      {"pending file's name is passed over", {"a.txt"}, {"a_n0.txt"}, "a.txt", "a_n1.txt"},
      {"letter case counts", {"readme.txt"}, {}, "README.TXT", "README.TXT"},
      {"a pending name alone does not block keeping", {}, {"b.txt"}, "a.txt", "a.txt"},
      {"past 9",
       {"a.txt", "a_n0.txt", "a_n1.txt", "a_n2.txt", "a_n3.txt", "a_n4.txt", "a_n5.txt", "a_n6.txt",
        "a_n7.txt", "a_n8.txt", "a_n9.txt"},
       {},
       "a.txt",
       "a_na.txt"},
      {"past f",
       {"a", "a_n0", "a_n1", "a_n2", "a_n3", "a_n4", "a_n5", "a_n6", "a_n7", "a_n8", "a_n9", "a_na",
        "a_nb", "a_nc", "a_nd", "a_ne", "a_nf"},
       {},
       "a",
       "a_n10"},
  };
  for (const Case& c : cases) {
    NameRegistry registry;
    for (const auto& name : c.claimed) ASSERT_TRUE(registry.Claim(name));
    const SortedNames pending = MakeSet(c.pending);
    std::string finalName = "untouched";
    const bool changed = ChooseUniqueName(c.oldName, pending, registry, finalName);
    EXPECT_EQ(changed, c.expected != c.oldName) << c.what;
    EXPECT_EQ(changed ? finalName : c.oldName, c.expected) << c.what;
    if (!changed) {
      EXPECT_EQ(finalName, "untouched") << c.what;
    }
    EXPECT_TRUE(registry.Contains(c.expected)) << c.what;
    EXPECT_EQ(registry.Size(), c.claimed.size() + 1) << c.what;
    for (const auto& name : c.pending) {
      EXPECT_FALSE(registry.Contains(name)) << c.what << ": " << name;
    }
  }
}

// Directories of random names drawn from a small pool that holds numbered
// variants too ("a_n5.txt" can be met before "a_n0.txt" is ever given), so
// that claimed, pending and free variants interleave in every way.
TEST(ChooseUniqueNameTest, RemembersClaimedVariantsWithoutChangingAnyChoice) {
  const std::vector<std::string> pool =
      testing::NamesWithVariants({"a.txt", "a", "b.txt", "b"}, {0, 1, 2, 5, 9, 10, 11, 16});
  std::mt19937 random(12345);
  for (int run = 0; run < 200; ++run) {
    NameRegistry registry;
    std::set<std::string> plainRegistry;
    for (int directory = 0; directory < 30; ++directory) {
      std::set<std::string> names;
      const int count = static_cast<int>(random() % 8);
      for (int i = 0; i < count; ++i) names.insert(pool[random() % pool.size()]);
      ASSERT_EQ(testing::SettleBothWays(names, registry, plainRegistry), "")
          << "run " << run << " directory " << directory;
    }
    ASSERT_EQ(registry.Size(), plainRegistry.size());
  }
}

TEST(ChooseUniqueNameTest, ManyFilesOfOneNameTakeSuccessiveCounters) {
  NameRegistry registry;
  const SortedNames none;
  std::string finalName;
  EXPECT_FALSE(ChooseUniqueName("a.txt", none, registry, finalName));
  std::string expected;
  for (std::uint64_t k = 0; k < 5000; ++k) {
    ASSERT_TRUE(ChooseUniqueName("a.txt", none, registry, finalName));
    BuildCandidate("a.txt", k, expected);
    ASSERT_EQ(finalName, expected);
  }
}

TEST(NameRegistryTest, ClaimsEachNameOnceThroughGrowth) {
  NameRegistry registry;
  EXPECT_FALSE(registry.Contains(""));
  EXPECT_TRUE(registry.Claim(""));
  EXPECT_FALSE(registry.Claim(""));
  const std::string longName(3 << 20, 'x');  // larger than a storage chunk
  EXPECT_TRUE(registry.Claim(longName));
  for (int i = 0; i < 200000; ++i) {
    ASSERT_TRUE(registry.Claim("name" + std::to_string(i)));
  }
  registry.SetNote("name7", 42);
  registry.SetNote("never claimed", 9);
  for (int i = 0; i < 200000; ++i) {
    ASSERT_FALSE(registry.Claim("name" + std::to_string(i)));
  }
  EXPECT_TRUE(registry.Contains(longName));
  EXPECT_FALSE(registry.Contains(longName.substr(1)));
  EXPECT_FALSE(registry.Contains("Name7"));
  EXPECT_FALSE(registry.Contains("never claimed"));
  EXPECT_EQ(registry.Note("name7"), 42u);
  EXPECT_EQ(registry.Note("name8"), 0u);
  EXPECT_EQ(registry.Size(), 200002u);
}

TEST(SortedNamesTest, OrdersBytesUnsignedWithPrefixFirstAndDropsRepeats) {
  SortedNames names = MakeSet({"b", "\xff", "a.txt", "B", "a", "a", "a_n0.txt", "\x01"});
  std::vector<std::string> order;
  for (; !names.Empty(); names.RemoveSmallest()) order.emplace_back(names.Smallest());
  EXPECT_EQ(order, (std::vector<std::string>{"\x01", "B", "a", "a.txt", "a_n0.txt", "b", "\xff"}));
}

TEST(SortedNamesTest, ContainsOnlyNamesNotYetRemoved) {
  SortedNames names = MakeSet({"a", "c", "e", "g", "i"});
  names.RemoveSmallest();
  for (const char* present : {"c", "e", "g", "i"}) EXPECT_TRUE(names.Contains(present));
  for (const char* absent : {"a", "b", "d", "h", "j", "", "cc"}) {
    EXPECT_FALSE(names.Contains(absent)) << absent;
  }
}

}  // namespace
}  // namespace unclash
