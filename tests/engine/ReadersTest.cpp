// The whole-file reader, the spreadsheet reader, the tokenizer and the text helpers.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/BufferedFile.h"
#include "engine/Spreadsheet.h"
#include "engine/Tokenizer.h"
#include "support/FoundationTestUtil.h"
#include "support/TestSupport.h"

namespace {

TEST(BufferedFileTest, ReadsWholeFileAndItsLines) {
  const std::string path = zt_test::UserDir() + "/data.bin";
  ft::WriteText(path, std::string("one\r\ntwo\n\0three", 15));
  GBufferedFile file;
  ASSERT_TRUE(file.Open(path));
  EXPECT_EQ(file.Size(), 15);
  EXPECT_EQ(file.Contents(), std::string("one\r\ntwo\n\0three", 15));
  EXPECT_FALSE(file.AtEnd());
  std::string line;
  ASSERT_TRUE(file.ReadLine(line));
  EXPECT_EQ(line, "one");
  ASSERT_TRUE(file.ReadLine(line));
  EXPECT_EQ(line, "two");
  ASSERT_TRUE(file.ReadLine(line));
  EXPECT_EQ(line, std::string("\0three", 6));
  EXPECT_FALSE(file.ReadLine(line));
  EXPECT_TRUE(file.AtEnd());
}

TEST(BufferedFileTest, UnreadableInputsFailCleanly) {
  GBufferedFile file;
  EXPECT_FALSE(file.Open(nullptr));
  EXPECT_FALSE(file.Open(zt_test::UserDir() + "/missing"));
  EXPECT_EQ(file.Size(), 0);
  EXPECT_TRUE(file.AtEnd());
  // A folder opens for reading on Linux but is not a file.
  EXPECT_FALSE(file.Open(zt_test::UserDir()));
  const std::string empty = zt_test::UserDir() + "/empty";
  ft::WriteText(empty, "");
  ASSERT_TRUE(file.Open(empty));
  EXPECT_EQ(file.Size(), 0);
}

TEST(BufferedFileTest, RefusesFilesAboveOneGibibyte) {
  // A sparse file: no disk space is used and nothing is allocated for it.
  const std::string path = zt_test::UserDir() + "/big";
  const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, GBufferedFile::kMaxSize + 1), 0);
  ::close(fd);
  GBufferedFile file;
  EXPECT_FALSE(file.Open(path));
  EXPECT_NE(ft::ReadText(zt_test::ErrorLogPath()).find("GBufferedFile File size > 1 gig"), std::string::npos);
}

TEST(SpreadsheetTest, KeepsOnlyMarkedRowsWithoutLineEnds) {
  const std::string path = zt_test::UserDir() + "/table.csv";
  ft::WriteText(
      path,
      "\xEF\xBB\xBF#,first\r\nname,cost\r\n#,gun,10\r\n\r\n// note\n#,\"big, gun\",20\n  #,indented\n#last");
  EXPECT_EQ(LoadSpreadsheet(path),
            (std::vector<std::string>{"#,first", "#,gun,10", "#,\"big, gun\",20", "#last"}));
}

TEST(SpreadsheetTest, UnmarkedMissingOrShortNamesGiveEmptyList) {
  const std::string path = zt_test::UserDir() + "/plain.csv";
  ft::WriteText(path, "a,b\nc,d\n");
  EXPECT_TRUE(LoadSpreadsheet(path).empty());
  EXPECT_TRUE(LoadSpreadsheet(zt_test::UserDir() + "/missing.csv").empty());
  EXPECT_TRUE(LoadSpreadsheet("x").empty());
  EXPECT_TRUE(LoadSpreadsheet("").empty());
}

struct TokenCase {
  const char* text;
  char separator;
  bool keepQuotes;
  std::vector<std::string> tokens;  // what a caller looping until the end reads
};

class TokenizerSplit : public ::testing::TestWithParam<TokenCase> {};

TEST_P(TokenizerSplit, SplitsUntilEnd) {
  const TokenCase& c = GetParam();
  Tokenizer t;
  t.Init(c.text, c.separator);
  t.SetKeepQuotes(c.keepQuotes);
  std::vector<std::string> got;
  for (int guard = 0; !t.AtEnd() && guard < 100; ++guard) got.emplace_back(t.Next());
  EXPECT_EQ(got, c.tokens);
  // Past the end every call answers the empty text.
  EXPECT_STREQ(t.Next(), "");
  EXPECT_STREQ(t.Next(), "");
}

INSTANTIATE_TEST_SUITE_P(Cases, TokenizerSplit,
                         ::testing::Values(TokenCase{"a,b", ',', false, {"a", "b"}},
                                           TokenCase{"a,", ',', false, {"a"}},
                                           TokenCase{",a", ',', false, {"", "a"}},
                                           TokenCase{"\"x,y\",z", ',', false, {"x,y", "z"}},
                                           TokenCase{"\"x,y\",z", ',', true, {"\"x,y\"", "z"}},
                                           TokenCase{"\"open,ended", ',', false, {"open,ended"}},
                                           TokenCase{"one two", ' ', false, {"one", "two"}},
                                           TokenCase{"", ',', false, {}}));

TEST(TokenizerTest, TrailingSeparatorYieldsOneEmptyToken) {
  Tokenizer t("a,", ',');
  EXPECT_STREQ(t.Next(), "a");
  EXPECT_TRUE(t.AtEnd());
  EXPECT_STREQ(t.Next(), "");
}

TEST(TokenizerTest, TypedValuesTrimLineEnds) {
  Tokenizer t("#, 12 ,-3.5e1,name \r\n,junk,2147483648", ',');
  EXPECT_EQ(t.NextString(), "#");
  EXPECT_EQ(t.NextInt(), 12);
  EXPECT_FLOAT_EQ(t.NextFloat(), -35.0f);
  EXPECT_EQ(t.NextString(), "name");
  EXPECT_EQ(t.NextInt(), 0);
  EXPECT_EQ(t.NextInt(), 2147483647);
}

TEST(TextHelpersTest, MakeStringTrimsShortTextsOnly) {
  struct Case {
    std::string in, out;
  };
  const std::string longText = std::string(1024, 'x') + " \r\n";
  for (const Case& c : {Case{"abc \r\n", "abc"}, Case{"   ", " "}, Case{"\n", "\n"}, Case{"", ""},
                        Case{"a b", "a b"}, Case{longText, longText}}) {
    EXPECT_EQ(MakeString(c.in), c.out) << "input length " << c.in.size();
  }
}

TEST(TextHelpersTest, TruncateWithEllipsis) {
  EXPECT_EQ(TruncateWithEllipsis("tank", 4), "tank");
  EXPECT_EQ(TruncateWithEllipsis("tanks", 4), "tank...");
  EXPECT_EQ(TruncateWithEllipsis("tank", 0), "...");
  EXPECT_EQ(TruncateWithEllipsis("", 0), "");
}

TEST(TextHelpersTest, NumbersParseAndPrintWithDecimalPoint) {
  EXPECT_DOUBLE_EQ(ParseDouble("  1.25xyz"), 1.25);
  EXPECT_DOUBLE_EQ(ParseDouble("abc"), 0.0);
  EXPECT_EQ(ParseInt("-2147483649"), -2147483647 - 1);
  EXPECT_EQ(ParseInt(" +7 "), 7);
  EXPECT_EQ(FormatFloat(0.5), "0.5");
}

// Catalogue rows are plain comma lists: every comma splits, quotes and spaces are kept,
// and even an empty text has a first cell callers may read.
TEST(TextHelpersTest, SplitCommasKeepsEveryCell) {
  struct Case {
    const char* text;
    std::vector<std::string> cells;
  };
  const Case cases[] = {
      {"", {""}},        {"a", {"a"}},    {"a,,b", {"a", "", "b"}},    {"a,", {"a", ""}},
      {",a", {"", "a"}}, {",", {"", ""}}, {" x , y ", {" x ", " y "}}, {"\"p,q\",r", {"\"p", "q\"", "r"}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitCommas(c.text), c.cells) << "[" << c.text << "]";
}

TEST(TextHelpersTest, CellNumberFallsBackOnlyPastTheEnd) {
  const std::vector<std::string> cells = SplitCommas("1.5, -2,junk,");
  EXPECT_FLOAT_EQ(CellNumber(cells, 0), 1.5f);
  EXPECT_FLOAT_EQ(CellNumber(cells, 1, 9.0f), -2.0f);
  // A cell that is there but holds no number reads 0, not the fallback.
  EXPECT_FLOAT_EQ(CellNumber(cells, 2, 9.0f), 0.0f);
  EXPECT_FLOAT_EQ(CellNumber(cells, 3, 9.0f), 0.0f);
  EXPECT_FLOAT_EQ(CellNumber(cells, 4, 9.0f), 9.0f);
  EXPECT_FLOAT_EQ(CellNumber(cells, 4), 0.0f);
  EXPECT_FLOAT_EQ(CellNumber({}, 0, -1.0f), -1.0f);
}

}  // namespace
