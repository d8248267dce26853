// A unit's arrival, its tooltip and the left click on it: what the placement shows and
// plays (once for a whole squad, the marker only for the player's own units), the
// tooltip's lines by side and support, the selection of a clicked squad, and the
// deployment hand-back to the dropper.
#include <gtest/gtest.h>

#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/Sounds.h"
#include "battle/BattleFixture.h"
#include "battle/Squadron.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleScreen.h"
#include "battlescreen/BattleSprites.h"
#include "battlescreen/Craters.h"
#include "battlescreen/Hulks.h"
#include "battlescreen/LiveEffects.h"
#include "battlescreen/UnitVisuals.h"
#include "effects/RocketTrails.h"
#include "engine/Strings.h"
#include "support/FakeSoundEngine.h"
#include "support/NullDeviceFixture.h"

namespace {

using namespace battle_test;

// What the fake HUD and dropper saw.
struct HookLog {
  std::vector<SIM_BattleUnit*> inspected, rangesReset;
  std::vector<DropperHandBack> handedBack;
  bool airStrike = false;
  bool handEmpty = true;
};
HookLog g_log;

class UnitPlacementTest : public zt_test::NullDeviceTest {
 protected:
  void SetUp() override {
    zt_test::NullDeviceTest::SetUp();
    battlescreen_test::LoadEffectConfigs();
    FreshSounds();
    StartBareBattle();
    // Every unit of the tests in view, so their sounds play.
    GUI_BS_Map& map = GUI_BS_Map::Instance();
    savedMapWidth = map.mapWidth;
    savedMapHeight = map.mapHeight;
    map.mapWidth = 4000.0f;
    map.mapHeight = 4000.0f;
    map.zoom = 0.5f;
    map.cameraX = 600.0f;
    map.cameraY = 600.0f;
    map.UpdateViewRect();
    savedHooks = GetBattleScreenHooks();
    savedCommandBonus = GetGameplay().SUPPORT_COMMAND_ROFBONUS;
    g_log = HookLog{};
    BattleScreenHooks& h = GetBattleScreenHooks();
    h.openUnitInspector = [](SIM_BattleUnit* u) { g_log.inspected.push_back(u); };
    h.resetRangeIndicator = [](SIM_BattleUnit* u) { g_log.rangesReset.push_back(u); };
    h.airStrikeBeingPlaced = [] { return g_log.airStrike; };
    h.dropperHandEmpty = [] { return g_log.handEmpty; };
    h.handBackToDropper = [](const DropperHandBack& back) { g_log.handedBack.push_back(back); };
    battlescreen_test::ClearLiveEffects();
  }
  void TearDown() override {
    GetBattleScreenHooks() = savedHooks;
    GUI_BS_Map::Instance().mapWidth = savedMapWidth;
    GUI_BS_Map::Instance().mapHeight = savedMapHeight;
    GetGameplay().SUPPORT_COMMAND_ROFBONUS = savedCommandBonus;
    zt_test::NullDeviceTest::TearDown();
  }

  // A new sound system: nothing playing, nothing recently played.
  void FreshSounds() {
    auto engine = std::make_unique<FakeSoundEngine>();
    fake = engine.get();
    ReplaceSounds(std::make_unique<GUI_Sounds>(std::move(engine)));
  }
  SIM_UnitDesign* MakeDesign(const std::string& name, int sizeType, float size) {
    SIM_UnitHull* hull = cat.Hull(name, sizeType, 1, 10.0f, size);
    hull->deploymentSound = "data/sounds/" + name + "_lands.ogg";
    hull->deploymentParticles = kLandingDust;
    return cat.Design(hull, {});
  }
  SIM_BattleUnit* Place(SIM_UnitDesign* design, SIM_BattleArmy* army, float x, float y) {
    SIM_BattleUnit* u = AddUnit(design, army);
    u->x = x;
    u->y = y;
    return u;
  }
  // A squad of soldiers, built as the deployment builds one.
  SIM_BattleSquadron* MakeSquad(SIM_UnitDesign* design, SIM_BattleArmy* army, int count) {
    auto* squad = new SIM_BattleSquadron();
    squad->army = army;
    army->squadrons.push_back(squad);
    for (int i = 0; i < count; ++i) {
      auto* soldier = new SIM_BattleUnit();
      squad->AddMember(soldier);
      army->AddUnit(soldier, design);
      soldier->x = 500.0f + 12.0f * i;
      soldier->y = 500.0f;
    }
    return squad;
  }
  static GUI_BS_Unit* Visual(SIM_BattleUnit* u) { return dynamic_cast<GUI_BS_Unit*>(u->visual.get()); }
  // The placed markers: shock-wave rings of this radius and duration.
  static int Rings(float radius, float duration) {
    int n = 0;
    for (GUI_BS_RenderObject* e : GUI_BS_EffectsManager::Instance().allEffects)
      if (auto* w = dynamic_cast<GUI_BS_ShockWave*>(e); w && w->radius == radius && w->duration == duration)
        ++n;
    return n;
  }
  // A wreck under each unit: how many of them the placements cleared away.
  static int ClearedWrecks() {
    int n = 0;
    for (const auto& h : GUI_BS_Hulk::List()) n += h->state == GUI_BS_Hulk::FADING_OUT ? 1 : 0;
    return n;
  }
  // A shipped explosion: the landing dust is a real effect the test can find.
  static constexpr const char* kLandingDust = "dropnewunit_large";
  int Played(const std::string& file) const {
    int n = 0;
    for (int h : fake->order)
      if (fake->sounds.at(h).file == file) ++n;
    return n;
  }

  FakeSoundEngine* fake = nullptr;
  Catalogue cat;
  BattleScreenHooks savedHooks;
  float savedCommandBonus = 0.0f;
  float savedMapWidth = 0.0f, savedMapHeight = 0.0f;
};

TEST_F(UnitPlacementTest, PlacementShowsOncePerSquadAndMarksOnlyOwnUnits) {
  SIM_Battle& battle = GetBattle();
  const struct {
    const char* name;
    int sizeType;
    bool players;
    int members;  // 0: a single unit
    int particles, distortions, placementSounds, markers;
  } cases[] = {
      {"tank", SIZETYPE_TANK, true, 0, 1, 1, 1, 1},
      {"mech", SIZETYPE_MECH, true, 0, 1, 1, 1, 1},
      {"fort", SIZETYPE_BUILDING, false, 0, 1, 1, 1, 0},
      // Every soldier raises dust, but the squad lands with one sound and one marker.
      {"trooper", SIZETYPE_INFANTRY, true, 4, 4, 0, 0, 1},
      {"raider", SIZETYPE_INFANTRY, false, 3, 3, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    battlescreen_test::ClearLiveEffects();
    GUI_BS_DistortionManager::Instance().Reset();
    GUI_BS_Hulk::Clear();
    FreshSounds();
    SIM_BattleArmy* army = c.players ? battle.playerArmy : battle.opponentArmy;
    SIM_UnitDesign* design = MakeDesign(c.name, c.sizeType, 40.0f);
    std::vector<SIM_BattleUnit*> units;
    if (c.members > 0) {
      SIM_BattleSquadron* squad = MakeSquad(design, army, c.members);
      units.assign(squad->members.begin(), squad->members.end());
    } else {
      units.push_back(Place(design, army, 700.0f, 400.0f));
    }
    for (SIM_BattleUnit* u : units) {
      auto* wreck = new GUI_BS_Hulk("", 4.0f, 4.0f, "wreck");
      wreck->x = u->x;
      wreck->y = u->y;
      wreck->state = GUI_BS_Hulk::SHOWN;
      GUI_BS_Hulk::Add(wreck);
    }
    for (SIM_BattleUnit* u : units) {
      ASSERT_NE(Visual(u), nullptr);
      Visual(u)->Placed();
      EXPECT_TRUE(Visual(u)->placed);
    }
    EXPECT_EQ(battlescreen_test::LiveGroups(kLandingDust), c.particles);
    const auto& waves = GUI_BS_DistortionManager::Instance().shockwaves;
    EXPECT_EQ(static_cast<int>(waves.size()), c.distortions);
    for (const auto& w : waves) {
      EXPECT_FLOAT_EQ(w->startSize, 30.0f);
      EXPECT_FLOAT_EQ(w->endSize, 240.0f);
      EXPECT_FLOAT_EQ(w->duration, 1000.0f);
      EXPECT_FLOAT_EQ(w->peakAlpha, 0.2f);
    }
    EXPECT_EQ(Played("data/sounds/weapon_placement.ogg"), c.placementSounds);
    EXPECT_EQ(Played(design->hull->deploymentSound), 1);
    EXPECT_EQ(Rings(160.0f, 300.0f), c.markers);
    // The ground under the unit (or the squad's first soldier) is checked once.
    EXPECT_EQ(ClearedWrecks(), 1);
  }
}

TEST_F(UnitPlacementTest, AHullWithoutDeploymentEffectsStillLandsWithTheWeaponSound) {
  SIM_UnitHull* hull = cat.Hull("plain", SIZETYPE_TANK, 1, 10.0f, 40.0f);
  SIM_BattleUnit* u = Place(cat.Design(hull, {}), GetBattle().playerArmy, 300.0f, 300.0f);
  Visual(u)->Placed();
  // No dust: the only effect is the player's placed marker.
  EXPECT_EQ(battlescreen_test::AllLiveEffects(), 1);
  EXPECT_EQ(Rings(160.0f, 300.0f), 1);
  ASSERT_EQ(fake->order.size(), 1u);
  EXPECT_EQ(fake->Last().file, "data/sounds/weapon_placement.ogg");
  EXPECT_FLOAT_EQ(fake->Last().minDistance, 64.0f * GUI_Sounds::kWorldToEngine);
}

TEST_F(UnitPlacementTest, TooltipLinesBySideAndSupport) {
  SIM_Battle& battle = GetBattle();
  Gameplay& g = GetGameplay();
  g.SUPPORT_DAMAGE_REDUCTION = 0.2f;
  g.SUPPORT_COMMAND_ROFBONUS = 0.15f;
  const std::string cover = GetTranslation("COVER_BONUS_TOOLTIP");
  const std::string repair = GetTranslation("UNIT_TT_REPAIR");
  const std::string health = GetTranslation("UNIT_TT_HEALTH_BONUS");
  const std::string command = GetTranslation("UNIT_TT_COMMAND_BONUS");
  // The keys have texts of their own.
  EXPECT_NE(cover, "COVER_BONUS_TOOLTIP");
  EXPECT_NE(command, "UNIT_TT_COMMAND_BONUS");

  // Only the markers are looked at: stand-ins that are never called.
  auto* marker = reinterpret_cast<SIM_SupportComponent*>(0x10);
  const struct {
    const char* label;
    bool players;
    float cover;
    bool repair, hospital, commander;
    int armySide;
    float victoryPoints;
    std::vector<std::string> lines;  // after the name
  } cases[] = {
      {"own, plain", true, 0.0f, false, false, false, 2, 500, {"A fast scout."}},
      {"own, in cover", true, 0.257f, false, false, false, 2, 500, {"A fast scout.", cover + " 25%"}},
      {"own, all support",
       true,
       0.5f,
       true,
       true,
       true,
       2,
       500,
       {"A fast scout.", cover + " 50%", repair, health + " -20%", command + " 15%"}},
      {"own, command only", true, 0.0f, false, false, true, 0, 500, {"A fast scout.", command + " 15%"}},
      {"enemy, hidden points", false, 0.5f, true, true, true, 2, 12345, {}},
      {"enemy defender, hidden points", false, 0.0f, false, false, false, 1, 12345, {}},
      {"enemy, points shown", false, 0.0f, false, false, false, 0, 1234567, {"Victory Points: 1,234,567"}},
      {"enemy, few points", false, 0.0f, false, false, false, 0, 999, {"Victory Points: 999"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    SIM_UnitHull* hull = cat.Hull("scout", SIZETYPE_TANK, 1, 10.0f, 40.0f);
    hull->victoryPoints = c.victoryPoints;
    SIM_UnitDesign* design = cat.Design(hull, {});
    design->guiName = "Jackal";
    design->description = "A fast scout.";
    SIM_BattleArmy* army = c.players ? battle.playerArmy : battle.opponentArmy;
    const int32_t oldSide = army->side;
    army->side = c.armySide;
    SIM_BattleUnit* u = Place(design, army, 300.0f, 300.0f);
    u->damageReduction = c.cover;
    if (c.repair) u->repairers.push_back(marker);
    if (c.hospital) u->hospitals.push_back(marker);
    if (c.commander) u->commanders.push_back(marker);
    Visual(u)->BuildTooltip();
    std::vector<std::string> expected{"Jackal"};
    expected.insert(expected.end(), c.lines.begin(), c.lines.end());
    EXPECT_EQ(Visual(u)->tooltipLines, expected);
    u->repairers.clear();
    u->hospitals.clear();
    u->commanders.clear();
    army->side = oldSide;
  }
}

TEST_F(UnitPlacementTest, ALongDescriptionIsCutTo255Characters) {
  SIM_UnitDesign* design = cat.Design(cat.Hull("long", SIZETYPE_TANK, 1, 10.0f), {});
  design->description = std::string(400, 'x');
  SIM_BattleUnit* u = Place(design, GetBattle().playerArmy, 300.0f, 300.0f);
  Visual(u)->BuildTooltip();
  ASSERT_EQ(Visual(u)->tooltipLines.size(), 2u);
  EXPECT_EQ(Visual(u)->tooltipLines[1].size(), 255u);
}

TEST_F(UnitPlacementTest, ALeftClickInTheFightSelectsTheWholeSquadWithItsSound) {
  SIM_Battle& battle = GetBattle();
  SIM_BattleSquadron* squad =
      MakeSquad(MakeDesign("trooper", SIZETYPE_INFANTRY, 10.0f), battle.playerArmy, 3);
  SIM_BattleUnit* enemy = Place(MakeDesign("tank", SIZETYPE_TANK, 40.0f), battle.opponentArmy, 900, 900);
  battle.Begin();
  ASSERT_NE(battle.state, BATTLE_DEPLOYMENT);

  // The other side's units are not the player's to pick.
  Visual(enemy)->OnLeftClick();
  EXPECT_TRUE(fake->order.empty());
  EXPECT_FALSE(enemy->selected);
  EXPECT_TRUE(g_log.inspected.empty());

  SIM_BattleUnit* clicked = *std::next(squad->members.begin());
  Visual(clicked)->OnLeftClick();
  ASSERT_EQ(fake->order.size(), 1u);
  EXPECT_EQ(fake->Last().file, "data/sounds/weapon_hight_light.ogg");
  EXPECT_EQ(g_log.inspected, std::vector<SIM_BattleUnit*>{clicked});
  EXPECT_EQ(g_log.rangesReset, std::vector<SIM_BattleUnit*>{clicked});
  EXPECT_TRUE(squad->selected);
  for (SIM_BattleUnit* m : squad->members) {
    EXPECT_TRUE(m->selected);
    EXPECT_TRUE(Visual(m)->selected);
  }
  EXPECT_TRUE(g_log.handedBack.empty()) << "nothing goes back to the dropper once the fight is on";
}

TEST_F(UnitPlacementTest, DeploymentHandsAClickedUnitBackOnlyWithAnEmptyHandAndNoAirStrike) {
  SIM_Battle& battle = GetBattle();
  ASSERT_EQ(battle.state, BATTLE_DEPLOYMENT);
  const struct {
    const char* label;
    bool airStrike, handEmpty;
    bool handedBack;
  } cases[] = {
      {"empty hand", false, true, true},
      {"hand full", false, false, false},
      {"air strike placed", true, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    g_log = HookLog{};
    g_log.airStrike = c.airStrike;
    g_log.handEmpty = c.handEmpty;
    SIM_BattleUnit* tank = Place(MakeDesign("tank", SIZETYPE_TANK, 40.0f), battle.playerArmy, 400, 400);
    Visual(tank)->OnLeftClick();
    // In deployment a click never selects, nor plays the selection sound.
    EXPECT_FALSE(tank->selected);
    EXPECT_TRUE(fake->order.empty());
    EXPECT_TRUE(g_log.inspected.empty());
    ASSERT_EQ(g_log.handedBack.size(), c.handedBack ? 1u : 0u);
    if (c.handedBack) {
      EXPECT_EQ(g_log.handedBack[0].units, std::vector<SIM_BattleUnit*>{tank});
      EXPECT_EQ(g_log.handedBack[0].squadron, nullptr);
      EXPECT_EQ(g_log.handedBack[0].design, tank->design);
    }
  }

  // An enemy unit is never handed back.
  g_log = HookLog{};
  SIM_BattleUnit* enemy = Place(MakeDesign("tank", SIZETYPE_TANK, 40.0f), battle.opponentArmy, 800, 800);
  Visual(enemy)->OnLeftClick();
  EXPECT_TRUE(g_log.handedBack.empty());

  // Without a dropper the unit simply stays.
  GetBattleScreenHooks().handBackToDropper = nullptr;
  SIM_BattleUnit* tank = Place(MakeDesign("tank", SIZETYPE_TANK, 40.0f), battle.playerArmy, 400, 400);
  Visual(tank)->OnLeftClick();
  EXPECT_FALSE(tank->selected);
}

TEST_F(UnitPlacementTest, ASquadGoesBackWholeAndLeavesItsEmplacement) {
  SIM_Battle& battle = GetBattle();
  SIM_BattleSquadron* squad =
      MakeSquad(MakeDesign("trooper", SIZETYPE_INFANTRY, 10.0f), battle.playerArmy, 3);
  int post = 0;
  squad->SetOwner(&post);
  for (SIM_BattleUnit* m : squad->members) m->damageReduction = 0.3f;
  Visual(squad->members.back())->OnLeftClick();
  ASSERT_EQ(g_log.handedBack.size(), 1u);
  const DropperHandBack& back = g_log.handedBack[0];
  EXPECT_EQ(back.squadron, squad);
  EXPECT_EQ(back.units, std::vector<SIM_BattleUnit*>(squad->members.begin(), squad->members.end()));
  EXPECT_EQ(squad->emplacement, nullptr);
  for (SIM_BattleUnit* m : squad->members) EXPECT_FLOAT_EQ(m->damageReduction, 0.0f);
}

TEST_F(UnitPlacementTest, ABuildingHandedBackDropsTheGroundPropsItLaid) {
  SIM_Battle& battle = GetBattle();
  SIM_BattleUnit* fort = Place(MakeDesign("fort", SIZETYPE_BUILDING, 60.0f), battle.playerArmy, 600, 600);
  fort->groundProps.push_back(nullptr);  // stands for a laid prop: only the count matters
  Visual(fort)->OnLeftClick();
  ASSERT_EQ(g_log.handedBack.size(), 1u);
  EXPECT_TRUE(fort->groundProps.empty());
}

}  // namespace
