// The local challenge list: whole lines that no text field can shift, merges by ztkid,
// and a refresh that never loses the list when the server does not answer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "browser/ChallengeList.h"
#include "engine/Folders.h"
#include "support/TestFiles.h"
#include "support/TestSupport.h"

namespace {

std::string Line(const std::string& id, int number, int played = 0, const std::string& description = "d") {
  return "##," + id + ",Name " + id + ",anyone,\"" + description + "\",poster,2012-3-5," +
         std::to_string(played) + ",1,2.50,4.00," + std::to_string(number) + ",10,20,300000,5,1\n";
}

TEST(ChallengeInfo, ALineReadsBackTheSameAndNoTextCanShiftAField) {
  SIM_ChallengeInfo info;
  ASSERT_TRUE(info.Parse(Line("abc", 7, 3, "commas, inside, it")));
  EXPECT_EQ(info.description, "commas, inside, it");
  EXPECT_EQ(info.year, 12);
  EXPECT_EQ(info.month, 3);
  EXPECT_EQ(info.day, 5);
  EXPECT_EQ(info.played, 3);
  EXPECT_FLOAT_EQ(info.enjoyment, 4.0f);
  EXPECT_EQ(info.number, 7);
  EXPECT_EQ(info.timeLimit, 300000);
  EXPECT_TRUE(info.custom);
  EXPECT_EQ(info.Write(), Line("abc", 7, 3, "commas, inside, it"));

  // Quotes, commas and line breaks typed by players are cleaned on writing.
  info.name = "a,b";
  info.poster = "x\"y";
  info.description = "say \"hi\",\nthen go";
  SIM_ChallengeInfo back;
  ASSERT_TRUE(back.Parse(info.Write()));
  EXPECT_EQ(back.name, "a b");
  EXPECT_EQ(back.poster, "x'y");
  EXPECT_EQ(back.description, "say 'hi', then go");
  EXPECT_EQ(back.number, 7);
  EXPECT_TRUE(back.custom);
}

TEST(ChallengeInfo, DatesAndBadFields) {
  struct Case {
    std::string date;
    int year, month, day;
  };
  for (const Case& c : std::vector<Case>{{"2012-11-30", 12, 11, 30},
                                         {"", 0, 0, 0},
                                         {"2", 0, 0, 0},
                                         {"20-1", 0, 1, 0},
                                         {"2012", 12, 0, 0},
                                         {"x-y-z", 0, 0, 0}}) {
    SIM_ChallengeInfo info;
    ASSERT_TRUE(info.Parse("##,id,n,r,\"d\",p," + c.date + ",1,1,1,1,1,1,1,1,1,0"));
    EXPECT_EQ(info.year, c.year) << c.date;
    EXPECT_EQ(info.month, c.month) << c.date;
    EXPECT_EQ(info.day, c.day) << c.date;
  }
  // Ids that cannot name a folder are refused; missing fields read as zeros.
  SIM_ChallengeInfo info;
  EXPECT_FALSE(info.Parse("##,../x,n"));
  EXPECT_FALSE(info.Parse("<html>"));
  EXPECT_FALSE(info.Parse("##," + std::string(33, 'a')));
  EXPECT_TRUE(info.Parse("##,ok"));
  EXPECT_EQ(info.number, 0);
  EXPECT_TRUE(info.Parse("##,ok,n,r,\"d\",p,2012-1-1,nan,inf,nan,1e99,x"));
  EXPECT_EQ(info.played, 0);
  EXPECT_FLOAT_EQ(info.difficulty, 0.0f);
  EXPECT_FLOAT_EQ(info.enjoyment, 0.0f);
}

class ChallengeListFile : public ::testing::Test {
 protected:
  void SetUp() override {
    db.path = zt_test::UserDir() + "/web/challenges/challengelist.txt";
    db.Clear();
  }
  SIM_ChallengeDatabase db;
};

TEST_F(ChallengeListFile, ARefreshUpdatesKnownChallengesAndAppendsNewOnes) {
  zt_test::WriteText(db.path, Line("a", 1) + Line("b", 2) + Line("c", 3));
  int asked = -2;
  ASSERT_TRUE(db.Refresh([&](int top, std::string* reply) {
    asked = top;
    *reply = Line("a", 9, 42) + Line("bad/id", 10) + "\n" + Line("d", 4);
    return true;
  }));
  EXPECT_EQ(asked, 3);
  ASSERT_EQ(db.challenges.size(), 4u);
  EXPECT_EQ(db.challenges[0]->ztkid, "a");
  EXPECT_EQ(db.challenges[0]->played, 42);
  EXPECT_EQ(db.challenges[0]->number, 9);
  EXPECT_EQ(db.challenges[3]->ztkid, "d");
  EXPECT_EQ(zt_test::ReadText(db.path), Line("a", 9, 42) + Line("b", 2) + Line("c", 3) + Line("d", 4));
  EXPECT_TRUE(db.loaded);
}

TEST_F(ChallengeListFile, AnEmptyOrMissingListAsksFromTheStart) {
  for (bool exists : {false, true}) {
    if (exists) zt_test::WriteText(db.path, "\n");
    int asked = -2;
    db.Refresh([&](int top, std::string*) {
      asked = top;
      return true;
    });
    EXPECT_EQ(asked, -1);
  }
}

TEST_F(ChallengeListFile, AFailedRefreshLeavesTheFileByteIdentical) {
  const std::string old = Line("a", 1) + "##,odd line kept as it was\n" + Line("b", 2);
  zt_test::WriteText(db.path, old);
  EXPECT_FALSE(db.Refresh([](int, std::string* reply) {
    *reply = "partial";
    return false;
  }));
  EXPECT_EQ(zt_test::ReadText(db.path), old);
  EXPECT_FALSE(db.loaded);
  EXPECT_EQ(db.challenges.size(), 2u);
}

TEST_F(ChallengeListFile, RemovingAnUnknownChallengeChangesNothing) {
  zt_test::WriteText(db.path, Line("a", 1) + Line("b", 2));
  EXPECT_FALSE(db.RemoveChallenge("zzz"));
  EXPECT_EQ(db.challenges.size(), 2u);
  EXPECT_TRUE(db.RemoveChallenge("a"));
  ASSERT_EQ(db.challenges.size(), 1u);
  EXPECT_EQ(db.challenges[0]->ztkid, "b");
}

}  // namespace
