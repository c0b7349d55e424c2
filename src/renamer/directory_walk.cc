#include "renamer/directory_walk.h"

#include "renamer/report.h"
#include "renamer/sorted_names.h"
#include "renamer/unique_name.h"

namespace unclash {

namespace {

// Sorts a listing into the files and the subdirectories of the directory.
class ListingSplitter : public EntrySink {
 public:
  ListingSplitter(SortedNames& files, SortedNames& directories)
      : files_(files), directories_(directories) {}

  void AddEntry(std::string_view name, bool isDirectory) override {
    if (!isDirectory) {
      files_.Add(name);
    } else if (name != "." && name != "..") {
      directories_.Add(name);
    }
  }

 private:
  SortedNames& files_;
  SortedNames& directories_;
};

bool Say(WalkContext& context, bool written) {
  if (!written) context.outputLost = true;
  return written;
}

}  // namespace

bool ProcessDirectory(const std::string& directory, NameRegistry& registry, std::int32_t& skipped,
                      std::int32_t& done, WalkContext& context) {
  bool result = true;
  SortedNames pendingFiles;
  SortedNames subdirectories;
  DirectoryId id;
  ListingSplitter splitter(pendingFiles, subdirectories);
  // The whole listing is read and closed before the first rename here, so a
  // renamed file is never listed again.
  if (!context.platform.ListDirectory(directory, id, splitter) || pendingFiles.Overflowed() ||
      subdirectories.Overflowed()) {
    const std::string listingPattern = ListingPattern(directory);
    Say(context, Report(context.platform, "ERROR scanning for %s\n", listingPattern.c_str()));
    return false;
  }
  if (!context.enteredDirectories.insert(id).second) return true;
  pendingFiles.Sort();
  subdirectories.Sort();

  // The registry is far larger than the caches: the slots of the next few
  // names are fetched while the current one is settled, and the bytes of
  // the names after those before they are hashed.
  constexpr std::size_t kSlotsAhead = 8;
  constexpr std::size_t kNamesAhead = 16;
  for (std::size_t k = 0; k < kSlotsAhead && k < pendingFiles.Size(); ++k) {
    registry.Prefetch(pendingFiles.Ahead(k));
  }
  std::string finalName;
  while (!pendingFiles.Empty()) {
    if (pendingFiles.Size() > kNamesAhead) pendingFiles.PrefetchAhead(kNamesAhead);
    if (pendingFiles.Size() > kSlotsAhead) {
      registry.Prefetch(pendingFiles.Ahead(kSlotsAhead));
    }
    const std::string_view oldName = pendingFiles.Smallest();
    pendingFiles.RemoveSmallest();
    if (!ChooseUniqueName(oldName, pendingFiles, registry, finalName)) {
      ++skipped;
      continue;
    }
    if (context.platform.RenameNoReplace(directory, oldName, finalName)) {
      ++done;
      if (!Say(context,
               Report(context.platform, "Renamed %s to %s\n", oldName.data(), finalName.c_str()))) {
        return false;
      }
    } else {
      // The files still pending are left as they are and counted nowhere.
      const std::string oldPath = ChildPath(directory, oldName);
      const std::string newPath = ChildPath(directory, finalName);
      Say(context, Report(context.platform, "\n\n*** Failed to rename: %s\n to %s\n\n",
                          oldPath.c_str(), newPath.c_str()));
      result = false;
      break;
    }
  }
  pendingFiles.Release();
  if (context.outputLost) return false;

  // A failed rename above still lets the subdirectories be walked; a failed
  // subdirectory ends the walk of its siblings.
  for (; !subdirectories.Empty(); subdirectories.RemoveSmallest()) {
    if (!ProcessDirectory(ChildPath(directory, subdirectories.Smallest()), registry, skipped, done,
                          context)) {
      return false;
    }
  }
  return result;
}

}  // namespace unclash
