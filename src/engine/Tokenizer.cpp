#include "engine/Tokenizer.h"

#include <locale.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

namespace {
// Data files are written with "." decimals whatever the player's locale.
locale_t CLocale() {
  static locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return loc;
}
}  // namespace

void Tokenizer::Init(const std::string& text, char separator) {
  text_ = text;
  token_.clear();
  token_.reserve(text.size() + 1);
  separator_ = separator;
  position_ = 0;
}

const char* Tokenizer::Next() {
  token_.clear();
  const int length = static_cast<int>(text_.size());
  if (position_ > length) return token_.c_str();
  bool quoted = false;
  for (;;) {
    if (position_ >= length) {
      ++position_;  // past the end: the token ends here
      break;
    }
    const char c = text_[position_++];
    if (c == '"') {
      quoted = !quoted;
      if (keepQuotes_) token_.push_back(c);
    } else if (!quoted && c == separator_) {
      break;
    } else {
      token_.push_back(c);
    }
  }
  return token_.c_str();
}

std::string Tokenizer::NextString() { return MakeString(Next()); }
int Tokenizer::NextInt() { return ParseInt(MakeString(Next())); }
float Tokenizer::NextFloat() { return static_cast<float>(ParseDouble(MakeString(Next()))); }

void Tokenizer::Free() {
  text_.clear();
  text_.shrink_to_fit();
  token_.clear();
  token_.shrink_to_fit();
  position_ = 0;
}

std::string MakeString(const char* text) {
  if (!text) return std::string();
  return MakeString(std::string(text));
}

std::string MakeString(const std::string& text) {
  std::string s = text;
  if (s.size() >= 1024) return s;
  while (s.size() > 1 && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) s.pop_back();
  return s;
}

double ParseDouble(const char* text) {
  if (!text) return 0.0;
  char* end = nullptr;
  const double v = strtod_l(text, &end, CLocale());
  if (end == text) return 0.0;
  return v;
}

int ParseInt(const char* text) {
  if (!text) return 0;
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(text, &end, 10);
  if (end == text) return 0;
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}

std::string FormatFloat(double value, const char* format) {
  char buffer[64];
  locale_t old = uselocale(CLocale());
  std::snprintf(buffer, sizeof buffer, format, value);
  uselocale(old);
  return buffer;
}

std::string TruncateWithEllipsis(const std::string& text, int n) {
  if (n < 0) n = 0;
  if (text.size() <= static_cast<size_t>(n)) return text;
  return text.substr(0, static_cast<size_t>(n)) + "...";
}

std::vector<std::string> SplitCommas(const std::string& text) {
  std::vector<std::string> cells;
  size_t start = 0;
  while (true) {
    size_t comma = text.find(',', start);
    cells.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return cells;
}

float CellNumber(const std::vector<std::string>& cells, size_t index, float fallback) {
  return index < cells.size() ? static_cast<float>(ParseDouble(cells[index])) : fallback;
}
