// Every test of a whole-game program starts from the game's own wiring: the battle's
// hooks (rebuilt empty by the reset between tests) and the effect hooks a test before
// replaced with fakes are the game's again.
#include <gtest/gtest.h>

#include "battle/BattleHooks.h"
#include "battlescreen/WorldEffectsSeam.h"
#include "effects/EffectsSeam.h"

namespace {

// Runs first (declaration order): leaves fakes and an emptied hook behind.
TEST(GameWiring, ATestMayLeaveFakesBehind) {
  GetBattleHooks() = BattleHooks();
  GetUnitEffectHooks().request = [](const GUI_BS_EffectRequest&) {};
  GetUnitEffectHooks().extinguishFires = nullptr;
  SUCCEED();
}

TEST(GameWiring, TheNextTestStartsFromTheGamesOwnWiring) {
  const BattleHooks& battle = GetBattleHooks();
  EXPECT_TRUE(battle.openPostMortem) << "the HUD's";
  EXPECT_TRUE(battle.weaponImpact) << "the explosions'";
  EXPECT_TRUE(battle.readLighting) << "the light map's";
  EXPECT_TRUE(battle.assignToEmplacement) << "the emplacements'";
  EXPECT_TRUE(battle.recordingMode) << "the deployment recording's";
  EXPECT_TRUE(battle.airDropFalls) << "the supply crates'";
  EXPECT_TRUE(battle.metricsRecordBattle) << "the metrics'";
  EXPECT_EQ(GetUnitEffectHooks().request, &TakeBattleEffectRequest);
  EXPECT_NE(GetUnitEffectHooks().extinguishFires, nullptr);
}

}  // namespace
