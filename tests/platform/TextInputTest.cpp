// Typed text reaches the game as Windows-1252 bytes: characters without a Windows-1252
// form, and byte sequences that only pretend to be characters, are dropped whole.
#include <gtest/gtest.h>

#include <string>

#include "platform/Window.h"

namespace {

TEST(TextInputTest, OnlyRealWindows1252CharactersGetThrough) {
  struct Case {
    const char* utf8;
    std::string bytes;
  };
  const Case cases[] = {
      {"Tank-7", "Tank-7"},
      {"\xC2\xA3"
       "5",
       "\xA3"
       "5"},                       // pound
      {"\xE2\x82\xAC", "\x80"},    // euro
      {"\xC3\xBC", "\xFC"},        // u with diaeresis
      {"a\xD0\x96z", "az"},        // Cyrillic: no such character
      {"\xF0\x9F\x9A\x80!", "!"},  // rocket emoji
      {"\xC0\xAF"
       "etc",
       "etc"},                           // over-long "/" is not a slash
      {"\xE0\x80\xAE\xE0\x80\xAE", ""},  // over-long ".." (three bytes each)
      {"\xF0\x80\x80\xAF", ""},          // over-long "/" (four bytes)
      {"\xC1\x81", ""},                  // over-long "A"
      {"\xED\xA0\x80x", "x"},            // a lone surrogate
      {"\xF4\x90\x80\x80y", "y"},        // beyond the last code point
      {"\xE2\x82", ""},                  // cut short at the end
      {"\xE2\x82"
       "b",
       "b"},  // cut short before a plain byte
  };
  for (const Case& c : cases) EXPECT_EQ(platform::Utf8ToWindows1252(c.utf8), c.bytes) << c.utf8;
}

}  // namespace
