#pragma once
// Zip archives for challenge packages: writing one from files on disk, and unpacking an
// archive that came from another player, which is treated as hostile.
#include <cstdint>
#include <functional>
#include <string>

namespace platform {

// Builds an archive entry by entry; the archive is complete once Close returns true.
class ZipWriter {
 public:
  ZipWriter() = default;
  ~ZipWriter();
  ZipWriter(const ZipWriter&) = delete;
  ZipWriter& operator=(const ZipWriter&) = delete;

  bool Create(const std::string& path);
  // Adds the file at sourcePath under the entry name; false when either fails.
  bool AddFile(const std::string& sourcePath, const std::string& entryName);
  bool Close();

 private:
  void* zip_ = nullptr;
};

struct ZipLimits {
  int maxEntries = 256;
  // Bytes actually inflated, counted as they come out (never the header's claim).
  uint64_t maxEntryBytes = 4u << 20;
  uint64_t maxTotalBytes = 16u << 20;
};

// Unpacks every entry into the folder, which must exist and be empty. An entry name
// must be relative and plain ('/'-separated parts, none empty, "." or "..", no '\\',
// no control characters), not a directory or a link, not a repeat, and allowed by the
// filter. Any refusal or failure stops the unpacking and returns false with the reason;
// the caller removes the folder.
bool ExtractZipSafely(const std::string& zipPath, const std::string& folder,
                      const std::function<bool(const std::string&)>& allowed, const ZipLimits& limits,
                      std::string* error);

}  // namespace platform
