#include "engine/Spreadsheet.h"

#include "engine/BufferedFile.h"
#include "engine/Log.h"

std::vector<std::string> LoadSpreadsheet(const std::string& fileName) {
  std::vector<std::string> rows;
  if (fileName.size() <= 1) return rows;
  GBufferedFile file;
  if (!file.Open(fileName)) {
    DebugLogF("Failed to find spreadsheet: %s", fileName.c_str());
    return rows;
  }
  std::string line;
  while (file.ReadLine(line)) {
    if (!line.empty() && line[0] == '#') rows.push_back(line);
  }
  return rows;
}
