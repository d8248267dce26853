#pragma once
// Table files: only lines that begin with "#" are rows; everything else is commentary.
#include <string>
#include <vector>

// The file's lines that begin with "#" ("#" kept, line ends and a trailing "\r" removed).
// A name of one character or less, or a missing file, gives an empty list.
std::vector<std::string> LoadSpreadsheet(const std::string& fileName);
