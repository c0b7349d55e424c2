#include "platform/windows_platform.h"

#include <windows.h>

#include "platform/large_memory.h"

namespace unclash {

namespace {

// The volume serial number and file index of a directory, through a handle
// opened for its attributes alone (backup semantics let it open a
// directory). False when the system does not tell them.
bool IdentifyDirectory(const std::string& directory, DirectoryId& id) {
  const HANDLE handle = CreateFileA(directory.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION information;
  const bool known = GetFileInformationByHandle(handle, &information) != 0;
  CloseHandle(handle);
  if (!known) return false;
  id.volume = information.dwVolumeSerialNumber;
  id.index =
      (static_cast<std::uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
  return true;
}

}  // namespace

bool WindowsPlatform::ListDirectory(const std::string& directory, DirectoryId& id,
                                    EntrySink& sink) {
  const std::string listingPattern = ListingPattern(directory);
  WIN32_FIND_DATAA entry;
  const HANDLE search = FindFirstFileA(listingPattern.c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return false;
  bool complete = true;
  for (;;) {
    // A link or junction to a directory carries the directory bit too.
    sink.AddEntry(entry.cFileName, (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
    if (FindNextFileA(search, &entry) == 0) {
      // The end of the listing, or a step that failed.
      complete = GetLastError() == ERROR_NO_MORE_FILES;
      break;
    }
  }
  FindClose(search);
  if (!complete) return false;
  if (!IdentifyDirectory(directory, id)) {
    // Walked like any directory, never taken for one met before.
    id.volume = ~std::uint64_t{0};
    id.index = unknownDirectories_++;
  }
  return true;
}

bool WindowsPlatform::RenameNoReplace(const std::string& directory, std::string_view oldName,
                                      std::string_view newName) {
  return MoveFileA(ChildPath(directory, oldName).c_str(), ChildPath(directory, newName).c_str()) !=
         0;
}

bool WindowsPlatform::Write(std::string_view text) { return WriteToStandardOutput(text); }

void* AllocateLargeZeroed(std::size_t bytes) {
  return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void ReleaseLarge(void* block, std::size_t) {
  if (block != nullptr) VirtualFree(block, 0, MEM_RELEASE);
}

std::unique_ptr<Platform> NewNativePlatform() { return std::make_unique<WindowsPlatform>(); }

}  // namespace unclash
