#include "simdata/MapSquare.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "engine/Log.h"
#include "engine/Tokenizer.h"
#include "simdata/ScenarioRouteThreat.h"

namespace {

// Strict integer parse of a whole token (surrounding blanks allowed).
bool ParseWholeInt(const std::string& token, int32_t& out) {
  size_t begin = token.find_first_not_of(" \t");
  if (begin == std::string::npos) return false;
  size_t end = token.find_last_not_of(" \t");
  std::string digits = token.substr(begin, end - begin + 1);
  char* stop = nullptr;
  errno = 0;
  long value = std::strtol(digits.c_str(), &stop, 10);
  if (stop == digits.c_str() || *stop != '\0' || errno == ERANGE) return false;
  if (value < INT32_MIN || value > INT32_MAX) return false;
  out = static_cast<int32_t>(value);
  return true;
}

}  // namespace

SIM_MapSquare::SIM_MapSquare() = default;
SIM_MapSquare::~SIM_MapSquare() = default;

void SIM_MapSquare::Read(const std::string& line, int column, int row) {
  this->column = column;
  this->row = row;
  centreX = static_cast<float>(column) * 200.0f + 100.0f;
  centreY = static_cast<float>(row) * 200.0f + 100.0f;

  Tokenizer cells(line, ',');
  std::string cell[8];
  for (int i = 0; i < 8; ++i) cell[i] = cells.NextString();

  number = ParseInt(cell[0]);

  // Every number is written followed by a comma; tolerate a list without the last one.
  std::string linkText = cell[1];
  if (!linkText.empty() && linkText.back() == ',') linkText.pop_back();
  links.clear();
  if (!linkText.empty()) {
    Tokenizer tokens(linkText, ',');
    while (!tokens.AtEnd()) {
      std::string token = tokens.NextString();
      if (token.empty()) continue;
      int32_t link = 0;
      if (!ParseWholeInt(token, link)) {
        DebugLogF("Map square %d: ignoring link [%s]", number, token.c_str());
        continue;
      }
      if (link != -1) AddLink(link);
    }
  }

  attackerFlag = ParseInt(cell[2]) != 0;
  defenderFlag = ParseInt(cell[3]) != 0;
  text = cell[4];

  object.clear();
  angle = 0.0f;
  if (!cell[5].empty()) {
    Tokenizer parts(cell[5], ',');
    object = parts.NextString();
    angle = static_cast<float>(ParseDouble(parts.NextString()));
  }

  if (cell[6] == "EMPLACEMENT") {
    kind = KIND_EMPLACEMENT;
  } else if (cell[6] == "SUPPORT") {
    kind = KIND_SUPPORT;
  } else {
    kind = KIND_OTHER;
  }
  notExit = cell[7] != "EXIT";
}

std::string SIM_MapSquare::ToLine() const {
  std::string linkCell = "\"";
  char buffer[64];
  for (int32_t link : links) {
    std::snprintf(buffer, sizeof buffer, "%d,", link);
    linkCell += buffer;
  }
  linkCell += "\"";

  std::string objectCell;
  if (!object.empty()) {
    std::snprintf(buffer, sizeof buffer, ",%.0f\"", static_cast<double>(angle));
    objectCell = "\"" + object + buffer;
  }

  const char* kindCell = kind == KIND_EMPLACEMENT ? "EMPLACEMENT" : kind == KIND_SUPPORT ? "SUPPORT" : "";
  std::snprintf(buffer, sizeof buffer, "%d,", number);
  std::string line = buffer;
  line += linkCell;
  line += attackerFlag ? ",1" : ",0";
  line += defenderFlag ? ",1," : ",0,";
  if (text.find(',') != std::string::npos) {
    // A comma would split the cell and shift every later one; quotes keep it whole
    // (a quote inside could not be kept, so it is dropped).
    line += "\"";
    for (char c : text)
      if (c != '"') line += c;
    line += "\"";
  } else {
    line += text;
  }
  line += ",";
  line += objectCell;
  line += ",";
  line += kindCell;
  line += ",";
  line += notExit ? "" : "EXIT";
  return line;
}

bool SIM_MapSquare::HasLink(int32_t link) const {
  return std::find(links.begin(), links.end(), link) != links.end();
}

void SIM_MapSquare::AddLink(int32_t link) {
  if (!HasLink(link)) links.push_back(link);
}

void SIM_MapSquare::ToggleLink(int32_t link) {
  auto it = std::find(links.begin(), links.end(), link);
  if (it != links.end()) {
    links.erase(it);
  } else {
    links.push_back(link);
  }
}
