#pragma once
// Splits one line into values at a separator, keeping double-quoted runs together.
// Also the locale-independent number parsing and small text helpers the data files use.
#include <cstddef>
#include <string>
#include <vector>

class Tokenizer {
 public:
  Tokenizer() = default;
  Tokenizer(const std::string& text, char separator) { Init(text, separator); }
  virtual ~Tokenizer() = default;

  void Init(const std::string& text, char separator);
  // The next token; valid until the next call. Empty once past the end.
  const char* Next();
  std::string NextString();
  int NextInt();
  float NextFloat();
  void Free();

  // Callers stop when the position has reached the text length.
  bool AtEnd() const { return position_ >= static_cast<int>(text_.size()); }
  int Position() const { return position_; }
  int Length() const { return static_cast<int>(text_.size()); }
  void SetKeepQuotes(bool keep) { keepQuotes_ = keep; }

 private:
  int position_ = 0;
  std::string text_;
  std::string token_;
  char separator_ = ',';
  bool keepQuotes_ = false;
};

// A copy of the text; texts under 1024 characters lose trailing "\n", "\r" and spaces
// (one character always stays).
std::string MakeString(const char* text);
std::string MakeString(const std::string& text);

// atof/atoi semantics in the "C" locale whatever the process locale: leading white space
// skipped, the longest numeric prefix converted, 0 for no number; integers clamp to range.
double ParseDouble(const char* text);
int ParseInt(const char* text);
inline double ParseDouble(const std::string& text) { return ParseDouble(text.c_str()); }
inline int ParseInt(const std::string& text) { return ParseInt(text.c_str()); }
// "%g"-style float text with "." as the decimal point.
std::string FormatFloat(double value, const char* format = "%g");

// The text itself when it has at most n characters, else its first n and "...".
std::string TruncateWithEllipsis(const std::string& text, int n);

// The cells of a comma list, split at every comma (no quoting): "a,,b" gives three cells,
// "" gives one empty cell, so cells[0] always exists.
std::vector<std::string> SplitCommas(const std::string& text);
// Cell `index` read as a number, or `fallback` when the list is shorter.
float CellNumber(const std::vector<std::string>& cells, size_t index, float fallback = 0.0f);
