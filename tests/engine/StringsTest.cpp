#include <gtest/gtest.h>

#include <set>
#include <string>

#include "engine/Log.h"
#include "engine/SettingsFile.h"
#include "engine/Strings.h"
#include "support/TestFiles.h"
#include "support/TestSupport.h"

namespace {

std::string WriteFile(const std::string& name, const std::string& text) {
  const std::string path = zt_test::UserDir() + "/" + name;
  zt_test::WriteText(path, text);
  return path;
}

int CountOccurrences(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1)) ++n;
  return n;
}

struct LineCase {
  const char* line;
  bool accepted;
  const char* key;
  const char* value;
};

// One line of the section as written in the file, and the entry it must give.
const LineCase kLineCases[] = {
    {"PLAIN=Deploy units", true, "PLAIN", "Deploy units"},
    {"MY KEY=x", true, "MYKEY", "x"},
    {" \tPADDED_KEY\t =text", true, "PADDED_KEY", "text"},
    {"LEADING= kept space", true, "LEADING", " kept space"},
    {"ESCAPED_QUOTES=He said \\\"hi\\\"", true, "ESCAPED_QUOTES", "He said \"hi\""},
    {"BARE_QUOTES=He said \"hi\"", true, "BARE_QUOTES", "He said hi"},
    {"ESCAPED_EQUALS=a\\=b", true, "ESCAPED_EQUALS", "a=b"},
    {"BARE_EQUALS=a=b=c", true, "BARE_EQUALS", "abc"},
    {"BACKSLASH=c:\\\\games", true, "BACKSLASH", "c:\\games"},
    {"OTHER_ESCAPE=\\n stays n", true, "OTHER_ESCAPE", "n stays n"},
    {"TRAILING_BACKSLASH=end\\", true, "TRAILING_BACKSLASH", "end"},
    {"EMPTY=", true, "EMPTY", ""},
    {"POUND=Cost \xA3"
     "5",
     true, "POUND",
     "Cost \xA3"
     "5"},
    {"no equals sign here", false, "", ""},
    {"=value without key", false, "", ""},
    {"   =also no key", false, "", ""},
};

TEST(StringsTable, ParsesEachLineByTheTableRules) {
  for (const LineCase& c : kLineCases) {
    SCOPED_TRACE(c.line);
    GHashTable table;
    EXPECT_EQ(table.AddLine(c.line), c.accepted);
    if (!c.accepted) {
      EXPECT_EQ(table.Count(), 0u);
      continue;
    }
    ASSERT_EQ(table.Count(), 1u);
    EXPECT_EQ(table.Lookup(c.key), c.value);
  }
}

TEST(StringsTable, LongKeysAndTextsAreCutNotOverflowed) {
  GHashTable table;
  const std::string key(400, 'K');
  const std::string value(5000, 'v');
  ASSERT_TRUE(table.AddLine(key + "=" + value));
  const std::string cutKey = key.substr(0, GHashTable::kMaxKeyLength);
  EXPECT_EQ(table.Lookup(cutKey).size(), GHashTable::kMaxValueLength);
}

TEST(StringsTable, BucketIndexUsesFirstAndLastLetter) {
  struct Case {
    const char* key;
    int bucket;
  } cases[] = {{"a", 0},   {"A", 0},        {"AZ", 25}, {"zz", 50},          {"Abc", 2},
               {"abc", 2}, {"_X", 26 + 23}, {"1_", 52}, {"MENU_TT", 12 + 19}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    EXPECT_EQ(GHashTable::BucketIndex(c.key), c.bucket);
    EXPECT_LT(GHashTable::BucketIndex(c.key), GHashTable::kBucketCount - 1);
  }
}

// A small strings file with the traps a content author can fall into.
const char kFixture[] =
    "; comment before any section\r\n"
    "[other]\r\n"
    "OUTSIDE=not in the strings section\r\n"
    "[Strings]\r\n"
    "OK_BUTTON=OK\r\n"
    "Abc=upper\r\n"
    "abc=lower\r\n"
    "DUPLICATE=first\r\n"
    "DUPLICATE=second\r\n"
    "BLANK_TEXT=\r\n"
    "; a comment line inside the section\r\n"
    "a line without an equals sign\r\n"
    "\r\n"
    "[numbers]\r\n"
    "0=zero\r\n"
    "[strings]\r\n"
    "APPENDED_LATER=appended after a repeated header\r\n";

TEST(StringsTable, LooksUpKeysFromAFile) {
  GHashTable table;
  ASSERT_TRUE(table.Load(WriteFile("fixture.ini", kFixture), "strings"));
  struct Case {
    const char* key;
    const char* expected;
  } cases[] = {
      {"OK_BUTTON", "OK"},
      {"Abc", "upper"},
      {"abc", "lower"},
      {"ABC", ""},  // case-sensitive: no entry
      {"DUPLICATE", "first"},
      {"BLANK_TEXT", ""},
      {"OUTSIDE", ""},
      {"0", ""},
      {"APPENDED_LATER", "appended after a repeated header"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    EXPECT_EQ(table.Lookup(c.key), c.expected);
  }
  EXPECT_EQ(table.Count(), 7u);
}

TEST(StringsTable, ReadsTheWholeSectionWhateverItsSize) {
  // Well over the 128,000 bytes the original profile read could return.
  std::string text = "[strings]\n";
  const int n = 6000;
  for (int i = 0; i < n; ++i) text += "KEY_" + std::to_string(i) + "=Text number " + std::to_string(i) + "\n";
  ASSERT_GT(text.size(), 128000u);
  GHashTable table;
  ASSERT_TRUE(table.Load(WriteFile("big.ini", text), "strings"));
  EXPECT_EQ(table.Count(), static_cast<size_t>(n));
  EXPECT_EQ(table.Lookup("KEY_5999"), "Text number 5999");
}

TEST(StringsTable, ReloadDropsTheOldEntriesAndAMissingFileLeavesItEmpty) {
  GHashTable table;
  ASSERT_TRUE(table.Load(WriteFile("one.ini", "[strings]\nOLD=old\n"), "strings"));
  ASSERT_TRUE(table.Load(WriteFile("two.ini", "[strings]\nNEW=new\n"), "strings"));
  EXPECT_EQ(table.Lookup("OLD"), "");
  EXPECT_EQ(table.Lookup("NEW"), "new");
  EXPECT_FALSE(table.Load(zt_test::UserDir() + "/missing.ini", "strings"));
  EXPECT_EQ(table.Count(), 0u);
}

TEST(GetTranslation, ShowsMissingAndEmptyKeysAsTheKey) {
  GHashTable& table = GetStringsTable();
  table.SetLoaded(true);  // keep the shipped file out of this case
  table.Load(WriteFile("fixture.ini", kFixture), "strings");
  struct Case {
    std::string key;
    std::string expected;
  } cases[] = {
      {"", ""},       {"OK_BUTTON", "OK"}, {"NO_SUCH_KEY", "NO_SUCH_KEY"}, {"BLANK_TEXT", "BLANK_TEXT"},
      {"ABC", "ABC"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    EXPECT_EQ(GetTranslation(c.key), c.expected);
  }
  // The text of a missing key outlives the caller's own string.
  const std::string* shown;
  {
    std::string temporary = "TEMPORARY_KEY";
    shown = &GetTranslation(temporary);
  }
  EXPECT_EQ(*shown, "TEMPORARY_KEY");

  EXPECT_EQ(GetTranslation(static_cast<const char*>(nullptr)), "");
  EXPECT_EQ(GetTranslation("OK_BUTTON"), "OK");  // a literal takes the C-string path

  EXPECT_EQ(TooltipKey("OK_BUTTON"), "OK_BUTTON_TT");
  EXPECT_FALSE(HasTranslation("BLANK_TEXT"));
  EXPECT_TRUE(HasTranslation("OK_BUTTON"));
}

TEST(GetTranslation, LoadsTheShippedTableOnFirstUse) {
  EXPECT_FALSE(GetStringsTable().IsLoaded());
  GetTranslation("ANY_KEY");
  EXPECT_TRUE(GetStringsTable().IsLoaded());
  EXPECT_EQ(GetStringsTable().FileName(), "data/strings.ini");
  ReleaseStringsSections();
  EXPECT_EQ(GetStringsTable().Count(), 0u);
  EXPECT_FALSE(GetStringsTable().IsLoaded());
}

TEST(RandomTranslation, PicksAnEntryOfTheSectionAndWarnsOnAnEmptyOne) {
  OpenDebugFile(zt_test::UserRoot());
  std::set<std::string> seen;
  SettingsFile victory;
  ASSERT_TRUE(victory.LoadSection("data/strings.ini", "victory_messages"));
  std::set<std::string> allowed;
  for (const auto& e : victory.Entries()) allowed.insert(e.second);
  for (int i = 0; i < 200; ++i) {
    const std::string text = RandomTranslation("victory_messages");
    ASSERT_EQ(allowed.count(text), 1u) << text;
    seen.insert(text);
  }
  EXPECT_GT(seen.size(), 1u);

  EXPECT_EQ(RandomTranslation("no_such_section"), "");
  EXPECT_EQ(RandomTranslation("no_such_section"), "");
  CloseDebugFiles();
  const std::string log = zt_test::ReadText(zt_test::DebugLogPath());
  EXPECT_EQ(CountOccurrences(log, "WARNING - No random translation keys found"), 2);
}

// Appending developers must keep the file loadable: every numbered section runs
// 0..n-1 without gaps and the strings section is the last one.
TEST(ShippedStrings, NumberedSectionsHaveNoGapsAndStringsComesLast) {
  std::vector<std::string> sections;
  ListIniSections(sections, "data/strings.ini");
  ASSERT_FALSE(sections.empty());
  EXPECT_EQ(sections.back(), "strings");
  for (const std::string& name : sections) {
    SettingsFile section;
    if (name == "strings" || !section.LoadSection("data/strings.ini", name) || !section.HasKey("0")) continue;
    SCOPED_TRACE(name);
    for (size_t i = 0; i < section.Count(); ++i) {
      EXPECT_FALSE(section.GetString(std::to_string(i)).empty()) << "missing key " << i;
    }
  }
}

}  // namespace
