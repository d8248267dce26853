#pragma once
// The process command line, split into words at commas (not spaces).
#include <string>
#include <vector>

class GCommandLine {
 public:
  GCommandLine() = default;
  virtual ~GCommandLine() = default;

  // Splits the text at "," (quotes removed, quoted commas kept); the first word is kept
  // apart, every later one is appended to the list; each is logged "Command Line: %s".
  void Parse(const std::string& text);
  void Clear();

  const std::string& FirstWord() const { return first_; }
  const std::vector<std::string>& Words() const { return words_; }
  // Whether the first word or any later word equals the text exactly.
  bool HasWord(const std::string& word) const;

 private:
  std::string first_;
  std::vector<std::string> words_;
};

GCommandLine& GetCommandLine();
// The raw command line as the game sees it: the arguments after the program name
// joined with spaces.
std::string JoinCommandLine(int argc, char** argv);
