#pragma once
// Small helpers shared by the foundation tests.
#include <fstream>
#include <string>
#include <vector>

#include "support/TestFiles.h"

namespace ft {

using zt_test::ReadText;
using zt_test::WriteText;

inline std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

}  // namespace ft
