#include "simdata/HeaderTable.h"

#include <vector>

#include "engine/SettingsFile.h"
#include "engine/Spreadsheet.h"
#include "engine/Tokenizer.h"
#include "simdata/CatalogueLog.h"

namespace {
std::vector<std::string> SplitCells(const std::string& line) {
  std::vector<std::string> cells;
  Tokenizer tokenizer(line, ',');
  tokenizer.SetKeepQuotes(false);
  // A separator at the very end adds no cell: reading stops at the text's end.
  while (!tokenizer.AtEnd()) cells.push_back(tokenizer.NextString());
  return cells;
}
}  // namespace

int ReadHeaderKeyedTable(const std::string& file, const std::function<SettingsFile&()>& newRecord,
                         const std::function<void()>& rowDone) {
  std::vector<std::string> lines = LoadSpreadsheet(file);
  if (lines.empty()) return 0;
  const std::vector<std::string> columns = SplitCells(lines[0]);
  int rows = 0;
  for (size_t i = 1; i < lines.size(); ++i) {
    SettingsFile& record = newRecord();
    const std::vector<std::string> cells = SplitCells(lines[i]);
    for (size_t c = 0; c < cells.size(); ++c) {
      const std::string& cell = cells[c];
      if (cell.empty() || cell[0] == '#') continue;
      if (c >= columns.size()) {
        // No column name to store it under: the row is wider than the header.
        ZT_DATA_PROBLEM(file + ": row " + std::to_string(i) +
                        " has more cells than the header; extra cells ignored");
        break;
      }
      const std::string& column = columns[c];
      if (column.empty() || column[0] == '/') continue;
      record.AddValue(column, cell);
    }
    rowDone();
    ++rows;
  }
  return rows;
}
