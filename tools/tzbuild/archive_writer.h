#pragma once
// Packs a folder into a 7z (LZMA2, solid) or zip archive in memory with the 7-Zip library.
// The archive depends only on the folder's names and contents and on the level: entries go in a
// fixed order, every entry gets the same time and normalised attributes, and the LZMA2 block size
// does not follow the thread count.
#include <windows.h>

#include <cstdint>
#include <string>

namespace tzbuild {

enum class ArchiveFormat { k7z, kZip };

struct PackOptions {
  int level = 5;     // 0..9, as 7-Zip's -mx
  int threads = 0;   // 0: one per processor
  FILETIME time{};   // given to every entry
};

struct PackResult {
  bool ok = false;
  std::string error;  // what failed, with the file when one is to blame
  uint64_t files = 0;
  uint64_t bytes_in = 0;
};

PackResult PackFolder(const std::wstring& folder, ArchiveFormat format, const PackOptions& options, std::string& archive);

}  // namespace tzbuild
