// Deployment recordings: what an attack writes, what a (possibly hostile) recording
// file turns into, and when the replay deploys each entry for the computer attacker.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BattleFixture.h"
#include "battle/ChallengeRecording.h"
#include "battle/CollisionGrid.h"
#include "battle/Squadron.h"
#include "engine/Folders.h"
#include "simdata/MapSquare.h"
#include "simdata/Scenario.h"
#include "simdata/UnitDesign.h"
#include "simdata/UnitHull.h"
#include "support/TestFiles.h"
#include "support/TestSupport.h"

using namespace battle_test;

namespace {

class Recording : public ::testing::Test {
 protected:
  void SetUp() override {
    SIM_ScenarioManager::Get().Load();
    const auto& campaign = SIM_ScenarioManager::Get().Campaign();
    ASSERT_FALSE(campaign.empty());
    scenario = campaign.front();
    battle = &StartScenarioBattleWithIdleAI(scenario, true, AI_UNITS_SCENARIO);
    for (const auto& d : SIM_UnitDesignManager::Get().AIDesigns()) {
      if (!infantry && d->GetSizeType() == SIZETYPE_INFANTRY) infantry = d.get();
      if (!vehicle && d->GetSizeType() != SIZETYPE_INFANTRY && d->GetSizeType() != SIZETYPE_BUILDING)
        vehicle = d.get();
    }
    ASSERT_NE(infantry, nullptr);
    ASSERT_NE(vehicle, nullptr);
    rec.state = SIM_ChallengeRecording::STATE_IDLE;
  }
  void TearDown() override { GetCollisionGrid().Clear(); }

  static std::string Plain(const SIM_UnitDesign* d) { return d->name.substr(3); }

  // A free attacker-side square of the map.
  SIM_MapSquare* FreeSquare(int skip = 0) {
    for (const auto& sq : scenario->grid) {
      if (!sq || !sq->attackerFlag) continue;
      SIM_CollisionCell* cell = GetCollisionGrid().GetCellAt(sq->column, sq->row);
      if (cell && !cell->occupant && skip-- == 0) return sq.get();
    }
    return nullptr;
  }

  std::string WriteRecording(const std::string& lines) {
    const std::string path = zt_test::UserDir() + "/rec/" + std::to_string(++files) + ".txt";
    zt_test::WriteText(path, "[deployment_record]\n" + lines);
    return path;
  }

  SIM_ChallengeRecording rec;
  SIM_Scenario* scenario = nullptr;
  SIM_Battle* battle = nullptr;
  SIM_UnitDesign* infantry = nullptr;
  SIM_UnitDesign* vehicle = nullptr;
  int files = 0;
};

TEST_F(Recording, SavingRoundsToWholeNumbersAndAnEmptyRecordingIsOnlyTheHeader) {
  EXPECT_EQ(rec.ToText(), "[deployment_record]\n");
  auto a = std::make_unique<SIM_RecordingEntry>();
  a->design = vehicle;
  a->column = 3;
  a->row = 4;
  a->heading = 89.6f;
  a->time = 1234.4f;
  rec.entries.push_back(std::move(a));
  auto b = std::make_unique<SIM_RecordingEntry>();
  b->design = infantry;
  b->squadSize = 5;
  b->time = 2000.0f;  // recorded later, as the battle's clock runs
  rec.entries.push_back(std::move(b));
  EXPECT_EQ(rec.ToText(), "[deployment_record]\n0 = " + Plain(vehicle) +
                              ",3,4,1,90,1234\n1 = " + Plain(infantry) + ",0,0,5,0,2000\n");

  // A round trip keeps the order and looks the designs up as "ai_<name>".
  const std::string path = zt_test::UserDir() + "/rec/roundtrip.txt";
  ASSERT_TRUE(rec.Save(path));
  SIM_ChallengeRecording back;
  back.SetFile(path);
  ASSERT_TRUE(back.Load());
  ASSERT_EQ(back.entries.size(), 2u);
  EXPECT_EQ(back.entries[0]->design, vehicle);
  EXPECT_EQ(back.entries[1]->design, infantry);
  EXPECT_EQ(back.entries[1]->squadSize, 5);
  EXPECT_FLOAT_EQ(back.entries[0]->heading, 90.0f);
}

struct LoadCase {
  const char* what;
  std::string line;  // "%I" the infantry design, "%V" the vehicle
  int entries;
  int squad;
  float time;
};

TEST_F(Recording, ARecordingFromAnotherPlayerIsCheckedLineByLine) {
  const std::vector<LoadCase> cases = {
      {"plain vehicle", "%V,1,2,1,45,500", 1, 1, 500.0f},
      {"squad kept", "%I,1,2,5,0,0", 1, 5, 0.0f},
      {"squad of zero clamped", "%I,1,2,0,0,0", 1, 1, 0.0f},
      {"huge squad clamped", "%I,1,2,9999,0,0", 1, SIM_BattleArmy::kMaxSquadSize, 0.0f},
      {"a vehicle is never a squad", "%V,1,2,7,0,0", 1, 1, 0.0f},
      {"negative time starts at once", "%V,1,2,1,0,-50", 1, 1, 0.0f},
      {"unknown design dropped", "no_such_design,1,2,1,0,0", 0, 0, 0.0f},
      {"text for a number", "%V,x,2,1,0,0", 0, 0, 0.0f},
      {"trailing junk", "%V,1,2y,1,0,0", 0, 0, 0.0f},
      {"not finite", "%V,1,2,1,nan,0", 0, 0, 0.0f},
      {"overflowing", "%V,1,2,1,0,1e300", 0, 0, 0.0f},
      {"too few fields", "%V,1,2,1,0", 0, 0, 0.0f},
      {"too many fields", "%V,1,2,1,0,0,0", 0, 0, 0.0f},
      {"empty name", ",1,2,1,0,0", 0, 0, 0.0f},
  };
  for (const LoadCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::string line = c.line;
    if (line.rfind("%I", 0) == 0) line = Plain(infantry) + line.substr(2);
    if (line.rfind("%V", 0) == 0) line = Plain(vehicle) + line.substr(2);
    SIM_ChallengeRecording r;
    r.SetFile(WriteRecording("0 = " + line + "\n"));
    ASSERT_TRUE(r.Load());
    ASSERT_EQ(static_cast<int>(r.entries.size()), c.entries);
    if (c.entries == 0) continue;
    EXPECT_EQ(r.entries[0]->squadSize, c.squad);
    EXPECT_FLOAT_EQ(r.entries[0]->time, c.time);
    EXPECT_NE(r.entries[0]->design, nullptr);
  }
}

TEST_F(Recording, AMissingFileLoadsNothing) {
  SIM_ChallengeRecording r;
  r.SetFile(zt_test::UserDir() + "/rec/none.txt");
  EXPECT_FALSE(r.Load());
  EXPECT_TRUE(r.entries.empty());
  // The replay check survives it and has nothing left to deploy.
  GetBattle().battleClock = 100.0f;
  r.ReplayDue();
  EXPECT_EQ(r.EntriesLeft(), 0);
}

TEST_F(Recording, DueEntriesDeployInOrderAndABlockedSquareWaits) {
  SIM_MapSquare* a = FreeSquare(0);
  SIM_MapSquare* b = FreeSquare(1);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  // Occupy b: its entry must wait.
  SIM_BattleUnit* blocker = battle->playerArmy->DeployDesign(b->column, b->row, vehicle, 1, 0.0f, false);
  ASSERT_NE(blocker, nullptr);
  auto line = [&](const SIM_MapSquare* sq, int time) {
    return Plain(vehicle) + "," + std::to_string(sq->column) + "," + std::to_string(sq->row) + ",1,0," +
           std::to_string(time) + "\n";
  };
  const std::string path =
      WriteRecording("0 = " + line(a, 0) + "1 = " + line(b, 0) + "2 = " + Plain(vehicle) +
                     ",-5,9999,1,0,0\n" + "3 = " + line(a, 5000));
  SIM_ChallengeRecording& r = GetChallengeRecording();
  r.SetFile(path);
  EXPECT_EQ(r.EntriesLeft(), 1);  // not read yet: the battle is not over for lack of entries
  SIM_BattleArmy* attacker = battle->AttackerArmy();
  const size_t before = attacker->allUnits.size();
  battle->battleClock = 64.0f;
  r.ReplayDue();
  // The entry at time 0 deploys at the first check; the blocked and outside ones stay;
  // the walk stops at the first entry not yet due.
  EXPECT_EQ(attacker->allUnits.size(), before + 1);
  ASSERT_EQ(r.entries.size(), 3u);
  EXPECT_EQ(r.entries[0]->column, b->column);
  EXPECT_FLOAT_EQ(r.entries[2]->time, 5000.0f);
  r.ReplayDue();
  EXPECT_EQ(r.entries.size(), 3u);
  r.state = SIM_ChallengeRecording::STATE_IDLE;
}

TEST_F(Recording, ASquadIsRecordedOnceWithItsSize) {
  SIM_MapSquare* sq = FreeSquare(0);
  ASSERT_NE(sq, nullptr);
  rec.state = SIM_ChallengeRecording::STATE_RECORDING;
  battle->battleClock = 300.0f;
  auto* squad = static_cast<SIM_BattleSquadron*>(
      battle->playerArmy->DeployDesign(sq->column, sq->row, infantry, 5, 30.0f, false));
  ASSERT_NE(squad, nullptr);
  ASSERT_EQ(squad->members.size(), 5u);
  for (SIM_BattleUnit* m : squad->members) rec.AddEntry(m);
  ASSERT_EQ(rec.entries.size(), 1u);
  EXPECT_EQ(rec.entries[0]->squadSize, 5);
  EXPECT_FLOAT_EQ(rec.entries[0]->time, 300.0f);
  EXPECT_EQ(rec.entries[0]->design, infantry);
  // Outside the recording state nothing is added.
  rec.state = SIM_ChallengeRecording::STATE_IDLE;
  rec.AddEntry(squad->members.front());
  EXPECT_EQ(rec.entries.size(), 1u);
}

TEST_F(Recording, DesignsAreSavedOnceEachBesideTheRecording) {
  for (SIM_UnitDesign* d : {vehicle, infantry, vehicle}) {
    auto e = std::make_unique<SIM_RecordingEntry>();
    e->design = d;
    rec.entries.push_back(std::move(e));
  }
  const std::string folder = zt_test::UserDir() + "/rec/designs";
  ASSERT_TRUE(SaveRecordingDesigns(rec, folder, "Mine"));
  const std::vector<std::string> files = ListFiles(folder + "/Mine/*.ini");
  EXPECT_EQ(files.size(), 2u);
  EXPECT_TRUE(FileExists(folder + "/Mine/" + Plain(vehicle) + ".ini"));
}

}  // namespace

namespace {

// A shipped recording replayed in a scripted defence: its units arrive on time, and the
// player's own designs are still there afterwards.
TEST(ShippedRecording, TheRecordedAttackDeploysOnTime) {
  ConnectChallengeRecording();
  SIM_ScenarioManager::Get().Load();
  SIM_Scenario* scenario = nullptr;
  for (SIM_Scenario* s : SIM_ScenarioManager::Get().Campaign())
    if (s->name == "border_crossing") scenario = s;
  ASSERT_NE(scenario, nullptr);
  const std::string path = scenario->Folder() + "/recordings/Armoured Push.txt";
  ASSERT_TRUE(FileExists(path));
  SIM_UnitDesignManager& catalogue = SIM_UnitDesignManager::Get();
  catalogue.Load();
  const size_t playerDesigns = catalogue.Designs().size();

  GetChallengeRecording().SetFile(path);
  SIM_Battle& battle = StartScenarioBattle(scenario, true, AI_UNITS_SCRIPTED);
  EXPECT_NE(catalogue.FindAIDesign("ai_Bulwark Assault"), nullptr);
  battle.Begin();
  SIM_BattleArmy* attacker = battle.AttackerArmy();
  auto units = [&] { return attacker->allUnits.size(); };
  auto runUntil = [&](float ms) {
    for (int i = 0; i < 100000 && battle.battleClock < ms && battle.state == BATTLE_RUNNING; ++i)
      battle.Update();
  };
  runUntil(200.0f);
  // The raider and the squad of five at time 0.
  EXPECT_EQ(units(), 6u);
  runUntil(3900.0f);
  EXPECT_EQ(units(), 6u);
  runUntil(4200.0f);
  EXPECT_EQ(units(), 7u);
  EXPECT_EQ(catalogue.Designs().size(), playerDesigns);
  GetChallengeRecording().state = SIM_ChallengeRecording::STATE_IDLE;
  GetCollisionGrid().Clear();
}

}  // namespace

namespace {

// A recording whose lines are not in time order (written by hand or by another program):
// the early units still arrive on time in the battle's own update, instead of waiting
// behind the last one.
TEST(ShippedRecording, EntriesOutOfTimeOrderStillDeployOnTime) {
  ConnectChallengeRecording();
  SIM_ScenarioManager::Get().Load();
  SIM_Scenario* scenario = nullptr;
  for (SIM_Scenario* s : SIM_ScenarioManager::Get().Campaign())
    if (s->name == "border_crossing") scenario = s;
  ASSERT_NE(scenario, nullptr);
  const std::string shipped = scenario->Folder() + "/recordings/Armoured Push";
  // The shipped lines, last first, beside a copy of their designs.
  const std::string path = zt_test::UserDir() + "/rec/Reversed.txt";
  std::vector<std::string> lines;
  {
    const std::string text = zt_test::ReadText(shipped + ".txt");
    size_t start = text.find('\n') + 1;
    while (start < text.size()) {
      const size_t end = text.find('\n', start);
      const std::string line = text.substr(start, end - start);
      if (!line.empty()) lines.push_back(line.substr(line.find('=') + 2));
      start = end == std::string::npos ? text.size() : end + 1;
    }
  }
  ASSERT_EQ(lines.size(), 5u);
  std::string reversed = "[deployment_record]\n";
  for (size_t i = 0; i < lines.size(); ++i)
    reversed += std::to_string(i) + " = " + lines[lines.size() - 1 - i] + "\n";
  zt_test::WriteText(path, reversed);
  for (const char* design : {"Bulwark Assault", "Jackal Raider", "Assault Riflemen"})
    zt_test::WriteText(zt_test::UserDir() + "/rec/Reversed/" + design + ".ini",
                       zt_test::ReadText(shipped + "/" + design + ".ini"));

  GetChallengeRecording().SetFile(path);
  SIM_Battle& battle = StartScenarioBattle(scenario, true, AI_UNITS_SCRIPTED);
  battle.Begin();
  SIM_BattleArmy* attacker = battle.AttackerArmy();
  auto units = [&] { return attacker->allUnits.size(); };
  auto runUntil = [&](float ms) {
    for (int i = 0; i < 100000 && battle.battleClock < ms && battle.state == BATTLE_RUNNING; ++i)
      battle.Update();
  };
  runUntil(200.0f);
  EXPECT_EQ(units(), 6u) << "the raider and the squad of five at time 0";
  runUntil(4200.0f);
  EXPECT_EQ(units(), 7u);
  // The file's order is reported once, naming the file.
  const std::string errors = zt_test::ReadText(zt_test::ErrorLogPath());
  EXPECT_NE(errors.find("Reversed.txt: deployments were out of time order"), std::string::npos) << errors;
  GetChallengeRecording().state = SIM_ChallengeRecording::STATE_IDLE;
  GetCollisionGrid().Clear();
}

}  // namespace
