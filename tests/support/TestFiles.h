#pragma once
// Reading and writing whole test files.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/Files.h"
#include "support/TestSupport.h"

namespace zt_test {

// Writes the bytes as they are, making the file's folders first.
inline void WriteText(const std::string& path, const std::string& text) {
  const std::filesystem::path p(path);
  std::error_code ec;
  if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path(), ec);
  std::ofstream out(path, std::ios::binary);
  out << text;
}

// The whole file as bytes; empty when it cannot be read.
inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The game's debug and error logs in the running test's user folder.
inline std::string DebugLogPath() { return UserRoot() + "/debug/debug.txt"; }
inline std::string ErrorLogPath() { return UserRoot() + "/debug/errors.txt"; }

// While alive, saves cannot create their temporary file (a full or read-only disk).
struct BlockTemporaryFiles {
  BlockTemporaryFiles() { platform::SetTemporaryFileCreationBlocked(true); }
  ~BlockTemporaryFiles() { platform::SetTemporaryFileCreationBlocked(false); }
  BlockTemporaryFiles(const BlockTemporaryFiles&) = delete;
  BlockTemporaryFiles& operator=(const BlockTemporaryFiles&) = delete;
};

// Our temporary files (finished or not) directly inside the folder.
inline std::vector<std::string> TemporaryFilesIn(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder, ec)) {
    const std::string name = e.path().filename().string();
    if (platform::IsTemporaryFileName(name)) names.push_back(name);
  }
  return names;
}

}  // namespace zt_test
