// High scores, beaten challenges and unlocks: the three player files and their rules.
#include <filesystem>

#include "SimdataTestSupport.h"
#include "engine/SettingsFile.h"
#include "engine/Singletons.h"
#include "simdata/HighScores.h"
#include "simdata/ModuleType.h"
#include "simdata/Unlockable.h"

namespace {
using namespace simdata_test;

class HighScoresTest : public SimdataTest {};

TEST_F(HighScoresTest, BestScoreIsKeptPerDifficultyAndSide) {
  SIM_HighScores& hs = SIM_HighScores::Get();
  hs.SetScore("ridge", 1, true, 120.0f);
  EXPECT_EQ(ReadText(UserFile("hs.dat")), "[scores]\n0 = ridge,0,120,0,0,0,0\n\n");
  hs.SetScore("ridge", 1, true, 90.0f);
  EXPECT_FLOAT_EQ(hs.GetScore("ridge", 1, true), 120.0f);
  hs.SetScore("ridge", 1, true, 150.0f);
  hs.SetScore("ridge", 2, false, 99.6f);
  EXPECT_EQ(ReadText(UserFile("hs.dat")), "[scores]\n0 = ridge,0,150,0,0,0,100\n\n");
  EXPECT_FLOAT_EQ(hs.GetScore("ridge", 0, false), 0.0f);
  EXPECT_FLOAT_EQ(hs.GetScore("unknown", 1, true), 0.0f);
  EXPECT_FLOAT_EQ(hs.GetScore("ridge", 3, true), 0.0f) << "a column out of range reads 0";

  ResetAllSingletons();
  GetGame().InitUserFolders();
  EXPECT_FLOAT_EQ(SIM_HighScores::Get().GetScore("ridge", 2, false), 100.0f);
}

TEST_F(HighScoresTest, EntriesAreRenumberedFromZeroAndShortLinesReadZero) {
  WriteText(UserFile("hs.dat"), "[scores]\n7 = alpha,1,2,3,4,5,6\n12 = beta,9,nan\n3 = ,1,1,1,1,1,1\n");
  SIM_HighScores& hs = SIM_HighScores::Get();
  EXPECT_FLOAT_EQ(hs.GetScore("alpha", 2, false), 6.0f);
  EXPECT_FLOAT_EQ(hs.GetScore("beta", 0, true), 9.0f);
  EXPECT_FLOAT_EQ(hs.GetScore("beta", 1, true), 0.0f);
  EXPECT_EQ(hs.Scores().size(), 2u) << "a line without a name is skipped";
  EXPECT_GE(DataProblemCount(), 2);
  hs.SetScore("alpha", 0, true, 0.0f);
  EXPECT_EQ(ReadText(UserFile("hs.dat")), "[scores]\n0 = alpha,1,2,3,4,5,6\n1 = beta,9,0,0,0,0,0\n\n");
}

TEST_F(HighScoresTest, NamesThatWouldCorruptTheFilesAreNotStored) {
  SIM_HighScores& hs = SIM_HighScores::Get();
  const char* bad[] = {"x=y", "[scores]", "/comment", "line\nbreak", " padded", "\"quoted", ""};
  for (const char* name : bad) {
    hs.SetScore(name, 0, true, 10.0f);
    hs.AddBeatenChallenge(name);
    hs.AddUnlock(name);
    EXPECT_FALSE(hs.IsChallengeBeaten(name)) << name;
    EXPECT_FALSE(hs.IsUnlocked(name)) << name;
  }
  hs.SetScore("a,b", 0, true, 10.0f);  // would shift the six numbers of its line
  EXPECT_TRUE(hs.Scores().empty());
  EXPECT_EQ(DataProblemCount(), 22);
  hs.AddBeatenChallenge("Hill 42, the sequel");  // a comma is harmless in a one-name-a-line file
  EXPECT_TRUE(hs.IsChallengeBeaten("Hill 42, the sequel"));
}

TEST_F(HighScoresTest, BeatenChallengesRoundTripWithoutLosingTheFile) {
  WriteText(UserFile("chal_beaten.ini"), "[beaten]\nfirst\n");
  SIM_HighScores& hs = SIM_HighScores::Get();
  // Adding before anything asked must not replace the stored list with a new one.
  hs.AddBeatenChallenge("second");
  hs.AddBeatenChallenge("second");
  EXPECT_EQ(ReadText(UserFile("chal_beaten.ini")), "[beaten]\nfirst\nsecond\n");
  ResetAllSingletons();
  GetGame().InitUserFolders();
  EXPECT_TRUE(SIM_HighScores::Get().IsChallengeBeaten("first"));
  EXPECT_TRUE(SIM_HighScores::Get().IsChallengeBeaten("second"));
  EXPECT_FALSE(SIM_HighScores::Get().IsChallengeBeaten("Second"));
}

TEST_F(HighScoresTest, FirstStartUnlocksExactlyTheDefaults) {
  SIM_HighScores& hs = SIM_HighScores::Get();
  SettingsFile defaults;
  ASSERT_TRUE(defaults.LoadSection("data/unlocks.txt", "defaults"));
  std::string expected = "[unlocks]\n";
  for (const auto& entry : defaults.Entries()) {
    EXPECT_TRUE(hs.IsUnlocked(entry.first)) << entry.first;
    expected += entry.first + "\n";
  }
  EXPECT_EQ(hs.Unlocked().size(), defaults.Count());
  EXPECT_EQ(ReadText(UserFile("unl.dat")), expected + "\n[config]\n");
}

TEST_F(HighScoresTest, DamagedUnlockRecordFallsBackToTheDefaults) {
  WriteText(UserFile("unl.dat"), "");
  SIM_HighScores& hs = SIM_HighScores::Get();
  EXPECT_TRUE(hs.IsUnlocked("inf_rifleman"));
  EXPECT_EQ(DataProblemCount(), 1);
  EXPECT_EQ(ReadText(UserFile("unl.dat")).rfind("[unlocks]\ninf_rifleman\n", 0), 0u);
}

TEST_F(HighScoresTest, StoredUnlocksWinOverTheDefaults) {
  WriteText(UserFile("unl.dat"), "[unlocks]\nrailgun\nrailgun\n\n[config]\n");
  SIM_HighScores& hs = SIM_HighScores::Get();
  EXPECT_EQ(hs.Unlocked(), std::vector<std::string>{"railgun"});
  hs.AddUnlock("atgm");
  hs.AddUnlock("atgm");
  EXPECT_EQ(ReadText(UserFile("unl.dat")), "[unlocks]\nrailgun\natgm\n\n[config]\n");
}

TEST_F(HighScoresTest, UnlockAllTakesOnlyKnownLockedItems) {
  WriteText(UserFile("unl.dat"), "[unlocks]\nhmg\n\n[config]\n");
  SIM_HighScores& hs = SIM_HighScores::Get();
  hs.UnlockAll({"no_such_thing", "hmg", "lance_beam", "tank_mammoth"});
  EXPECT_EQ(hs.Unlocked(), (std::vector<std::string>{"hmg", "lance_beam", "tank_mammoth"}));
  EXPECT_EQ(ReadText(UserFile("unl.dat")), "[unlocks]\nhmg\nlance_beam\ntank_mammoth\n\n[config]\n");
}

TEST_F(HighScoresTest, FailedSavesAreReportedNotFatal) {
  WriteText(UserFile("unl.dat"), "[unlocks]\nhmg\n\n[config]\n");
  SIM_HighScores& hs = SIM_HighScores::Get();
  zt_test::BlockTemporaryFiles block;
  hs.AddUnlock("atgm");
  hs.AddBeatenChallenge("ridge");
  hs.SetScore("ridge", 0, true, 5.0f);
  EXPECT_TRUE(hs.IsUnlocked("atgm"));
  EXPECT_TRUE(hs.IsChallengeBeaten("ridge"));
  EXPECT_EQ(ReadText(UserFile("unl.dat")), "[unlocks]\nhmg\n\n[config]\n");
  EXPECT_FALSE(hs.SaveUnlocks());
  EXPECT_FALSE(hs.SaveBeaten());
  EXPECT_FALSE(hs.SaveScores());
  const std::string log = DebugLogText();
  EXPECT_NE(log.find("Failed to save unlocks"), std::string::npos);
  EXPECT_NE(log.find("Failed to save challenges beaten"), std::string::npos);
  EXPECT_NE(log.find("Failed to save high scores"), std::string::npos);
}

}  // namespace
