#pragma once
// The header-keyed table format of the module and hull catalogues: only lines starting
// with "#" count, the first of them names the columns, every further one is a record
// whose non-empty cells are stored under their column names.
#include <functional>
#include <string>

class SettingsFile;

// Calls newRecord for each row (the record is created and listed before its cells are
// read), stores the row's cells into the SettingsFile it returns, then calls rowDone.
// Returns the number of rows. Cells past the header are logged and ignored.
int ReadHeaderKeyedTable(const std::string& file, const std::function<SettingsFile&()>& newRecord,
                         const std::function<void()>& rowDone);
