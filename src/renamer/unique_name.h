// The name each file stands under after the run. The first file met keeps its
// name; a later file whose name is taken gets the first numbered variant of
// it that is neither claimed in the run nor the name of a file of its own
// directory still waiting for its turn.
#ifndef UNCLASH_RENAMER_UNIQUE_NAME_H_
#define UNCLASH_RENAMER_UNIQUE_NAME_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "renamer/name_registry.h"
#include "renamer/sorted_names.h"

namespace unclash {

// The variant of `oldName` with counter `counter`: "_n" and the counter in
// lowercase hexadecimal inserted in front of the last ".", or appended when
// there is no dot ("photo.jpg", 10 -> "photo_na.jpg"; "Makefile", 0 ->
// "Makefile_n0"). Written into `candidate`.
void BuildCandidate(std::string_view oldName, std::uint64_t counter, std::string& candidate);

// Settles the final name of the file `oldName` and claims it in `registry`,
// where it stays claimed whatever becomes of the rename. Returns false when
// the file keeps its name (`finalName` is then left as it was), true when it
// must be renamed to the name now in `finalName`. `pendingFiles` holds the
// files of the same directory not yet processed, `oldName` no longer among
// them.
bool ChooseUniqueName(std::string_view oldName, const SortedNames& pendingFiles,
                      NameRegistry& registry, std::string& finalName);

}  // namespace unclash

#endif  // UNCLASH_RENAMER_UNIQUE_NAME_H_
