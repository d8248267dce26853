// The settings grammar every data and player file goes through, and saving it safely.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <functional>
#include <memory>
#include <utility>

#include "engine/Folders.h"
#include "engine/SettingsFile.h"
#include "support/FoundationTestUtil.h"
#include "support/TestSupport.h"

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

struct GrammarCase {
  const char* name;
  const char* text;
  Entries expected;
};

class SettingsGrammar : public ::testing::TestWithParam<GrammarCase> {};

TEST_P(SettingsGrammar, ReadsSectionEntries) {
  const GrammarCase& c = GetParam();
  const std::string path = zt_test::UserDir() + "/grammar.ini";
  ft::WriteText(path, c.text);
  SettingsFile settings;
  const bool loaded = settings.LoadSection(path, "main");
  EXPECT_EQ(loaded, !c.expected.empty());
  EXPECT_EQ(settings.Entries(), c.expected);
  EXPECT_EQ(settings.SectionName(), "main");
  EXPECT_EQ(settings.FileName(), path);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SettingsGrammar,
    ::testing::Values(
        GrammarCase{
            "SpacesAroundKeyAndValue", "[main]\n   key   =   some value  \n", {{"key", "some value"}}},
        GrammarCase{"SecondEqualsBelongsToValue", "[main]\na=b=c\n", {{"a", "b=c"}}},
        GrammarCase{"BareKeyKeepsTrailingSpace", "[main]\n  unit one  \n", {{"unit one  ", ""}}},
        GrammarCase{"SlashCommentsSkipped", "[main]\n// note\n/x = 1\nkept = 2\n", {{"kept", "2"}}},
        GrammarCase{"BlankAndEmptyKeysSkipped", "[main]\n\n   \t \n= orphan\nk = v\n", {{"k", "v"}}},
        GrammarCase{"QuotedValue", "[main]\nq = \"a, \"b\" c\" tail\n", {{"q", "a, \"b\" c"}}},
        GrammarCase{"OpeningQuoteOnly", "[main]\nq = \"open ended\n", {{"q", "open ended"}}},
        GrammarCase{"OtherSectionEndsIt", "[main]\na = 1\n[other]\nb = 2\n", {{"a", "1"}}},
        GrammarCase{"RepeatedSectionAppends",
                    "[main]\na = 1\n[other]\nb = 2\n[main]\nc = 3\na = 4\n",
                    {{"a", "1"}, {"c", "3"}, {"a", "4"}}},
        GrammarCase{"HeaderWithTrailingSpace", "[main]  \t\r\nx = 1\r\n", {{"x", "1"}}},
        GrammarCase{"HeaderIsCaseSensitive", "[Main]\nx = 1\n", {}},
        GrammarCase{"CrLfLinesParseLikeLf",
                    "[main]\r\nk = v\r\nbare\r\n\r\nlast = end",
                    {{"k", "v"}, {"bare", ""}, {"last", "end"}}},
        GrammarCase{"LoneCarriageReturnStaysInLine", "[main]\nk = a\rb\n", {{"k", "a\rb"}}},
        GrammarCase{"ByteOrderMarkIgnored", "\xEF\xBB\xBF[main]\nk = v\n", {{"k", "v"}}},
        GrammarCase{"NoSuchSection", "[other]\nk = v\n", {}}, GrammarCase{"EmptyFile", "", {}}),
    [](const ::testing::TestParamInfo<GrammarCase>& info) { return std::string(info.param.name); });

TEST(SettingsFileTest, MissingFileLoadsNothingButKeepsNames) {
  SettingsFile settings;
  settings.SetValue("stale", "1");
  EXPECT_FALSE(settings.LoadSection(zt_test::UserDir() + "/none.ini", "main"));
  EXPECT_EQ(settings.Count(), 0u);
  EXPECT_EQ(settings.SectionName(), "main");
}

TEST(SettingsFileTest, LongLinesAreCutNotOverflowed) {
  const std::string longKey(5000, 'k');
  const std::string longValue(9000, 'v');
  SettingsFile settings;
  ASSERT_TRUE(settings.LoadSectionFromText("[main]\n" + longKey + " = x\nk = " + longValue + "\n", "main"));
  ASSERT_EQ(settings.Count(), 2u);
  EXPECT_LE(settings.Entries()[0].first.size(), 255u);
  EXPECT_LE(settings.Entries()[1].second.size(), 2047u);
}

TEST(SettingsFileTest, LookupsAnswerFirstEntryAndDefaults) {
  SettingsFile settings;
  ASSERT_TRUE(
      settings.LoadSectionFromText("[main]\nspeed = 2.5\nspeed = 9\nempty =\nword = abc\ncount = 12abc\n"
                                   "huge = 99999999999\n",
                                   "main"));
  EXPECT_EQ(settings.GetString("speed"), "2.5");
  EXPECT_FLOAT_EQ(settings.GetFloat("speed", -1.0f), 2.5f);
  EXPECT_FLOAT_EQ(settings.GetFloat("missing", 7.0f), 7.0f);
  EXPECT_FLOAT_EQ(settings.GetFloat("empty", 3.0f), 3.0f);
  EXPECT_FLOAT_EQ(settings.GetFloat("word", 3.0f), 0.0f);
  EXPECT_EQ(settings.GetInt("count"), 12);
  EXPECT_EQ(settings.GetInt("huge"), 2147483647);
  EXPECT_EQ(settings.GetString("Speed"), "");
  EXPECT_TRUE(settings.HasKey("empty"));
  EXPECT_FALSE(settings.HasKey("missing"));
}

TEST(SettingsFileTest, SetMovesKeyToEndWhileSetValueAppends) {
  SettingsFile settings;
  settings.SetSectionName("main");
  settings.Set("a", "1");
  settings.Set("b", "2");
  settings.SetInt("a", 3);
  settings.SetValue("b", "later");
  std::string text;
  settings.WriteTo(text);
  EXPECT_EQ(text, "[main]\nb = 2\na = 3\nb = later\n\n");
  EXPECT_EQ(settings.GetString("b"), "2");
  settings.RemoveKey("b");
  EXPECT_EQ(settings.GetString("b"), "later");
}

TEST(SettingsFileTest, WriteThenLoadRoundTripsOrderAndBareKeys) {
  SettingsFile out;
  out.SetSectionName("units");
  out.AddValue("first", "alpha beta");
  out.AddValue("bare name", "");
  out.AddValue("dup", "1");
  out.AddValue("dup", "2");
  out.AddValue("eq", "x=y");
  const std::string path = zt_test::UserDir() + "/round.ini";
  ASSERT_TRUE(out.Save(path));
  SettingsFile in;
  ASSERT_TRUE(in.LoadSection(path, "units"));
  EXPECT_EQ(in.Entries(), out.Entries());
  EXPECT_EQ(ft::ReadText(path), "[units]\nfirst = alpha beta\nbare name\ndup = 1\ndup = 2\neq = x=y\n\n");
}

TEST(SettingsFileTest, GetEntryWalksEntriesIntoBoundedBuffers) {
  SettingsFile settings;
  ASSERT_TRUE(settings.LoadSectionFromText("[main]\nlongkey = a long value\nb = 2\n", "main"));
  char key[5], value[6];
  ASSERT_TRUE(settings.GetEntry(key, sizeof key, value, sizeof value));
  EXPECT_STREQ(key, "long");
  EXPECT_STREQ(value, "a lon");
  ASSERT_TRUE(settings.GetEntry(key, sizeof key, value, sizeof value));
  EXPECT_STREQ(key, "b");
  EXPECT_FALSE(settings.GetEntry(key, sizeof key, value, sizeof value));
  EXPECT_STREQ(key, "");
  EXPECT_STREQ(value, "");
}

// A save that cannot finish must leave the player's old file as it was.
struct InterruptedSave {
  const char* name;
  // Breaks the next save; returns what undoes it.
  std::function<std::function<void()>(const std::string& path)> breakSave;
};

class FailedSave : public ::testing::TestWithParam<InterruptedSave> {};

TEST_P(FailedSave, KeepsOldFileAndReportsFailure) {
  const std::string path = zt_test::UserDir() + "/stat.ini";
  const std::string old = "[stats]\nbattles = 41\n";
  ft::WriteText(path, old);
  SettingsFile settings;
  settings.SetSectionName("stats");
  for (int i = 0; i < 500; ++i) settings.SetInt("counter_" + std::to_string(i), i);
  const std::function<void()> undo = GetParam().breakSave(path);
  const bool saved = settings.Save(path);
  undo();
  EXPECT_FALSE(saved);
  EXPECT_EQ(ft::ReadText(path), old);
  EXPECT_TRUE(zt_test::TemporaryFilesIn(zt_test::UserDir()).empty());
  EXPECT_NE(ft::ReadText(zt_test::ErrorLogPath()).find("stat.ini"), std::string::npos);
}

// The temporary file cannot be created (a full or read-only disk).
std::function<void()> BlockTemporaryFile(const std::string&) {
  auto block = std::make_shared<zt_test::BlockTemporaryFiles>();
  return [block]() mutable { block.reset(); };
}

// The disk fills up part way through writing: the section is larger than the limit,
// an error-log line is not.
std::function<void()> FillDiskMidWrite(const std::string&) {
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit small = old;
  small.rlim_cur = 4096;
  setrlimit(RLIMIT_FSIZE, &small);
  return [old] {
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, SIG_DFL);
  };
}

INSTANTIATE_TEST_SUITE_P(Faults, FailedSave,
                         ::testing::Values(InterruptedSave{"NoTemporaryFile", BlockTemporaryFile},
                                           InterruptedSave{"DiskFullMidWrite", FillDiskMidWrite}),
                         [](const ::testing::TestParamInfo<InterruptedSave>& info) {
                           return std::string(info.param.name);
                         });

TEST(SettingsFileTest, SaveReplacesFileWithoutLeavingTemporary) {
  const std::string path = zt_test::UserDir() + "/opts.ini";
  ft::WriteText(path, "[opts]\nold = 1\nmore = lines that are longer than the new file\n");
  SettingsFile settings;
  settings.SetSectionName("opts");
  settings.Set("new", "2");
  ASSERT_TRUE(settings.Save(path));
  EXPECT_EQ(ft::ReadText(path), "[opts]\nnew = 2\n\n");
  EXPECT_TRUE(zt_test::TemporaryFilesIn(zt_test::UserDir()).empty());
  EXPECT_FALSE(settings.Save(zt_test::UserDir() + "/no/such/folder/x.ini"));
}

TEST(SettingsFileTest, ListIniSectionsInFileOrder) {
  const std::string path = zt_test::UserDir() + "/sections.ini";
  ft::WriteText(path, "[one]\r\nk = v\n[two]  \n not [three]\n[one]\n[]\n");
  std::vector<std::string> sections{"existing"};
  ListIniSections(sections, path);
  EXPECT_EQ(sections, (std::vector<std::string>{"existing", "one", "two", "one", ""}));
  ListIniSections(sections, zt_test::UserDir() + "/missing.ini");
  EXPECT_EQ(sections.size(), 5u);
}

}  // namespace
