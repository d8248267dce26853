// Map squares: the one-line form in a scenario's map section.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "simdata/MapSquare.h"

namespace {

struct ReadCase {
  const char* label;
  const char* line;
  int number;
  std::vector<int> links;
  bool attacker, defender;
  const char* text;
  const char* object;
  float angle;
  int kind;
  bool exit;
};

class SquareLines : public ::testing::TestWithParam<ReadCase> {};

TEST_P(SquareLines, ReadEveryCell) {
  const ReadCase& c = GetParam();
  SIM_MapSquare square;
  square.Read(c.line, 3, 2);
  EXPECT_EQ(square.number, c.number);
  EXPECT_EQ(square.links, c.links);
  EXPECT_EQ(square.attackerFlag, c.attacker);
  EXPECT_EQ(square.defenderFlag, c.defender);
  EXPECT_EQ(square.text, c.text);
  EXPECT_EQ(square.object, c.object);
  EXPECT_FLOAT_EQ(square.angle, c.angle);
  EXPECT_EQ(square.kind, c.kind);
  EXPECT_EQ(square.IsExit(), c.exit);
  EXPECT_EQ(square.column, 3);
  EXPECT_EQ(square.row, 2);
  EXPECT_FLOAT_EQ(square.centreX, 700.0f);
  EXPECT_FLOAT_EQ(square.centreY, 500.0f);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SquareLines,
    ::testing::Values(
        ReadCase{"duplicates_dropped",
                 "5,\"3,4,4,\",1,0,note,\"emp_bunker,270\",EMPLACEMENT,EXIT",
                 5,
                 {3, 4},
                 true,
                 false,
                 "note",
                 "emp_bunker",
                 270.0f,
                 SIM_MapSquare::KIND_EMPLACEMENT,
                 true},
        ReadCase{
            "no_links", "0,\"\",0,1,,,,", 0, {}, false, true, "", "", 0.0f, SIM_MapSquare::KIND_OTHER, false},
        ReadCase{"minus_one_skipped_kind_case_sensitive",
                 "2,\"-1,7,\",0,0,,,Support,",
                 2,
                 {7},
                 false,
                 false,
                 "",
                 "",
                 0.0f,
                 SIM_MapSquare::KIND_OTHER,
                 false},
        ReadCase{"support_without_trailing_comma",
                 "1,\"9\",0,0,,,SUPPORT,exit",
                 1,
                 {9},
                 false,
                 false,
                 "",
                 "",
                 0.0f,
                 SIM_MapSquare::KIND_SUPPORT,
                 false},
        ReadCase{"garbage_link_skipped",
                 "6,\"1,x,2,\",0,0,,,,",
                 6,
                 {1, 2},
                 false,
                 false,
                 "",
                 "",
                 0.0f,
                 SIM_MapSquare::KIND_OTHER,
                 false},
        ReadCase{"short_line", "4", 4, {}, false, false, "", "", 0.0f, SIM_MapSquare::KIND_OTHER, false}),
    [](const ::testing::TestParamInfo<ReadCase>& info) { return std::string(info.param.label); });

TEST(MapSquare, WritesTheLineItReads) {
  SIM_MapSquare square;
  square.Read("5,\"3,4,4,\",1,0,note,\"emp_bunker,270.4\",EMPLACEMENT,EXIT", 1, 1);
  // The angle is written without decimals.
  EXPECT_EQ(square.ToLine(), "5,\"3,4,\",1,0,note,\"emp_bunker,270\",EMPLACEMENT,EXIT");

  SIM_MapSquare plain;
  plain.Read("0,\"\",0,1,,,,", 0, 0);
  EXPECT_EQ(plain.ToLine(), "0,\"\",0,1,,,,");

  // A quoted text holding a comma stays one cell, so the cells after it keep their place.
  SIM_MapSquare quoted;
  quoted.Read("2,\"3,\",0,1,\"mud,wet\",,SUPPORT,EXIT", 2, 0);
  ASSERT_EQ(quoted.text, "mud,wet");
  SIM_MapSquare again;
  again.Read(quoted.ToLine(), 2, 0);
  EXPECT_EQ(again.text, "mud,wet");
  EXPECT_EQ(again.kind, SIM_MapSquare::KIND_SUPPORT);
  EXPECT_TRUE(again.IsExit());
  EXPECT_EQ(again.ToLine(), quoted.ToLine());
}

TEST(MapSquare, LongLinesRoundTripWhole) {
  // Far beyond the 127 characters a fixed line buffer would hold.
  SIM_MapSquare square;
  for (int i = 0; i < 120; ++i) square.AddLink(i);
  square.object = std::string(60, 'o');
  square.angle = 45.0f;
  square.number = 7;
  const std::string line = square.ToLine();
  ASSERT_GT(line.size(), 400u);

  SIM_MapSquare copy;
  copy.Read(line, 0, 0);
  EXPECT_EQ(copy.links, square.links);
  EXPECT_EQ(copy.object, square.object);
  EXPECT_EQ(copy.ToLine(), line);
}

TEST(MapSquare, ToggleLinkTwiceMovesTheNumberToTheEnd) {
  SIM_MapSquare square;
  for (int link : {3, 4, 5}) square.AddLink(link);
  square.AddLink(4);
  EXPECT_EQ(square.links, (std::vector<int>{3, 4, 5}));
  square.ToggleLink(3);
  EXPECT_EQ(square.links, (std::vector<int>{4, 5}));
  square.ToggleLink(3);
  EXPECT_EQ(square.links, (std::vector<int>{4, 5, 3}));
}

}  // namespace
