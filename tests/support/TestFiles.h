#pragma once
// Reading and writing whole test files.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

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

}  // namespace zt_test
