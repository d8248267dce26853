#include "engine/CommandLine.h"

#include <memory>

#include "engine/Log.h"
#include "engine/Singletons.h"
#include "engine/Tokenizer.h"

void GCommandLine::Parse(const std::string& text) {
  Clear();
  Tokenizer tokens(text, ',');
  bool first = true;
  while (!tokens.AtEnd()) {
    const std::string word = tokens.Next();
    DebugLogF("Command Line: %s", word.c_str());
    if (first) {
      first_ = word;
      first = false;
    } else {
      words_.push_back(word);
    }
  }
}

void GCommandLine::Clear() {
  first_.clear();
  words_.clear();
}

bool GCommandLine::HasWord(const std::string& word) const {
  if (first_ == word) return true;
  for (const std::string& w : words_)
    if (w == word) return true;
  return false;
}

GCommandLine& GetCommandLine() {
  static std::unique_ptr<GCommandLine> s;
  static bool registered = (RegisterSingletonReset([] { s.reset(); }), true);
  (void)registered;
  if (!s) s = std::make_unique<GCommandLine>();
  return *s;
}

std::string JoinCommandLine(int argc, char** argv) {
  std::string text;
  for (int i = 1; i < argc; ++i) {
    if (!argv[i]) continue;
    if (!text.empty()) text += ' ';
    text += argv[i];
  }
  return text;
}
