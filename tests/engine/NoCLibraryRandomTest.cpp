// The game's random numbers all come from the engine's 15-bit generator: the C
// library's rand has a different range on this platform and a hidden shared
// state, so no source file may call it (or its relatives).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "support/TestFiles.h"
#include "support/TestSupport.h"

namespace {

// Drops // and /* */ comments and the contents of string and character
// literals, so only code is searched.
std::string CodeOnly(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  enum { kCode, kLine, kBlock, kString, kChar } state = kCode;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const char next = i + 1 < text.size() ? text[i + 1] : '\0';
    switch (state) {
      case kCode:
        if (c == '/' && next == '/') {
          state = kLine;
          ++i;
        } else if (c == '/' && next == '*') {
          state = kBlock;
          ++i;
        } else if (c == '"') {
          state = kString;
          out += c;
        } else if (c == '\'') {
          state = kChar;
          out += c;
        } else {
          out += c;
        }
        break;
      case kLine:
        if (c == '\n') {
          state = kCode;
          out += c;
        }
        break;
      case kBlock:
        if (c == '*' && next == '/') {
          state = kCode;
          ++i;
        } else if (c == '\n') {
          out += c;
        }
        break;
      case kString:
      case kChar:
        if (c == '\\') {
          ++i;
        } else if ((state == kString && c == '"') || (state == kChar && c == '\'')) {
          state = kCode;
          out += c;
        } else if (c == '\n') {
          out += c;
        }
        break;
    }
  }
  return out;
}

// A call of rand, srand, rand_r, random, srandom or the *rand48 family, bare or
// through std:: or ::, but not a member or a longer name ending in them.
const std::regex& ForbiddenCall() {
  static const std::regex re(std::string("(^|[^A-Za-z0-9_.>:])(std::|::)?") +
                             "(s?ra"
                             "nd|ra"
                             "nd_r|s?ra"
                             "ndom|[delmns]ra"
                             "nd48)\\s*\\(");
  return re;
}

TEST(NoCLibraryRandom, TheCheckFindsRealCallsOnly) {
  struct Case {
    const char* code;
    bool flagged;
  } cases[] = {
      {"int x = ra"
       "nd();",
       true},
      {"x = std::ra"
       "nd() % 6;",
       true},
      {"::sra"
       "nd(42);",
       true},
      {"if (ra"
       "nd_r(&s) > 3)",
       true},
      {"long v = ra"
       "ndom ();",
       true},
      {"double d = dra"
       "nd48();",
       true},
      {"x = EngineRand();", false},
      {"x = RandomInt(6);", false},
      {"operand(1)", false},
      {"dice.ra"
       "nd()",
       false},
      {"// ra"
       "nd() in a comment",
       false},
      {"s = \"ra"
       "nd()\";",
       false},
      {"/* sra"
       "nd(1) */ int y;",
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(std::regex_search(CodeOnly(c.code), ForbiddenCall()), c.flagged);
  }
}

TEST(NoCLibraryRandom, NoSourceFileCallsIt) {
  namespace fs = std::filesystem;
  const fs::path root = zt_test::SourceDir();
  std::vector<std::string> offenders;
  int scanned = 0;
  for (const char* folder : {"src", "tests", "bench", "tools"}) {
    const fs::path dir = root / folder;
    if (!fs::is_directory(dir)) continue;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
      if (!entry.is_regular_file()) continue;
      const std::string ext = entry.path().extension().string();
      if (ext != ".cpp" && ext != ".h" && ext != ".c" && ext != ".hpp" && ext != ".cc") continue;
      ++scanned;
      const std::string code = CodeOnly(zt_test::ReadText(entry.path().string()));
      std::smatch m;
      if (std::regex_search(code, m, ForbiddenCall())) {
        const auto line = std::count(code.begin(), code.begin() + m.position(0), '\n') + 1;
        offenders.push_back(fs::relative(entry.path(), root).string() + ":" + std::to_string(line));
      }
    }
  }
  EXPECT_GT(scanned, 10);
  EXPECT_TRUE(offenders.empty()) << "use EngineRand / the random tables instead of the C library in:\n"
                                 << ::testing::PrintToString(offenders);
}

}  // namespace
