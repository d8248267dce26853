// Unit visuals on the recording null device: every shipped tank and building drawn by
// its layers, both sides told apart by their paint, picking and selection at fixture
// positions, damage marks by health, barrel recoil, the effects manager's passes, and a
// full battle's units drawn in a few batches.
#include <SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "battle/BattleUnitManager.h"
#include "battle/Module.h"
#include "battle/TargetedComponents.h"
#include "battlescreen/BattleFrame.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleSprites.h"
#include "battlescreen/DesignSprite.h"
#include "battlescreen/UnitSceneFixture.h"
#include "battlescreen/UnitVisuals.h"
#include "engine/D3DEngine.h"
#include "engine/Folders.h"
#include "engine/InputManager.h"
#include "engine/VertexBuffer.h"
#include "platform/NullDevice.h"
#include "simdata/Options.h"
#include "simdata/UnitHull.h"
#include "simdata/UnitHullVariant.h"
#include "support/NullDeviceFixture.h"

namespace {

using namespace battlescreen_test;

class UnitVisualsTest : public zt_test::NullDeviceTest {
 protected:
  void SetUp() override {
    zt_test::NullDeviceTest::SetUp();
    ASSERT_NE(StartShippedBattle("river_fords"), nullptr);
    GetBattle().Begin();
    scene = PlaceBothSides(1150.0f, 600.0f);
    for (SIM_BattleUnit* u : scene.player) ASSERT_NE(u, nullptr);
    for (SIM_BattleUnit* u : scene.enemy) ASSERT_NE(u, nullptr);
    Look(1150.0f, 600.0f, 2.0f);
  }
  void TearDown() override {
    GetInputManager().doubleClick = false;
    SDL_SetModState(KMOD_NONE);
    zt_test::NullDeviceTest::TearDown();
  }
  static void Look(float x, float y, float zoom) {
    GUI_BS_Map& map = GUI_BS_Map::Instance();
    map.zoom = zoom;
    map.cameraX = x;
    map.cameraY = y;
    map.UpdateViewRect();
  }
  // Puts the mouse over a world point.
  static void MouseAt(float wx, float wy) {
    const GUI_BS_Map& map = GUI_BS_Map::Instance();
    GetInputManager().x = (wx - map.viewLeft) * map.zoom;
    GetInputManager().y = (wy - map.viewTop) * map.zoom;
  }
  static GUI_BS_Unit* Visual(SIM_BattleUnit* u) { return dynamic_cast<GUI_BS_Unit*>(u->visual.get()); }
  UnitScene scene;
};

TEST_F(UnitVisualsTest, EveryShippedTankAndBuildingIsDrawnByItsLayers) {
  int checked = 0;
  SIM_UnitDesignManager::Get().Load();
  for (const auto& d : SIM_UnitDesignManager::Get().Designs()) {
    const int type = d->GetSizeType();
    if (type != SIZETYPE_TANK && type != SIZETYPE_BUILDING) continue;
    SCOPED_TRACE(d->name);
    SIM_BattleUnit* u = PlaceUnit(d.get(), GetBattle().playerArmy, 600.0f, 600.0f, 0.0f);
    ASSERT_NE(u, nullptr);
    auto* v = dynamic_cast<GUI_BS_MajorUnit*>(u->visual.get());
    ASSERT_NE(v, nullptr);
    int visibleLayers = 0;
    for (const VariantLayer& l : d->variant->layers) visibleLayers += l.visible ? 1 : 0;
    EXPECT_EQ(static_cast<int>(v->sprites.size()), visibleLayers);
    EXPECT_EQ(v->hasBarrels, d->variant->FindLayer("gunbarrel") != nullptr);
    for (const auto& t : d->hull->targets) EXPECT_NE(v->FindSprite(t->name, false), nullptr) << t->name;
    if (type == SIZETYPE_TANK) {
      auto* tank = dynamic_cast<GUI_BS_TankUnit*>(v);
      ASSERT_NE(tank, nullptr);
      EXPECT_NE(tank->chassis, nullptr);
      EXPECT_NE(tank->chassisColour, nullptr);
    } else {
      EXPECT_NE(dynamic_cast<GUI_BS_BuildingUnit*>(v)->base, nullptr);
    }
    for (const auto& s : v->sprites) EXPECT_NE(s->mainQuad.texture, nullptr) << s->textureName;
    ++checked;
  }
  EXPECT_GE(checked, 8);
}

TEST_F(UnitVisualsTest, TheTwoSidesWearPaintFarApart) {
  auto paint = [](SIM_BattleUnit* u) {
    for (const auto& s : Visual(u)->sprites)
      if (s->layerName.find("_color") != std::string::npos) return s.get();
    return static_cast<GUI_BS_Sprite*>(nullptr);
  };
  GUI_BS_Sprite* ours = paint(scene.player[0]);
  GUI_BS_Sprite* theirs = paint(scene.enemy[0]);
  ASSERT_NE(ours, nullptr);
  ASSERT_NE(theirs, nullptr);
  const int distance = std::abs(ours->colourR - theirs->colourR) + std::abs(ours->colourG - theirs->colourG) +
                       std::abs(ours->colourB - theirs->colourB);
  EXPECT_GT(distance, 120);
}

TEST_F(UnitVisualsTest, PickingFindsTheUnitUnderTheMouseAndTheOtherArmyFirst) {
  GUI_BS_UnitManager& m = GUI_BS_UnitManager::Instance();
  SIM_BattleUnit* tank = scene.player[0];
  SIM_BattleUnit* enemy = scene.enemy[0];
  struct Case {
    float x, y;
    int side;
    SIM_BattleUnit* expected;
  } cases[] = {
      {tank->x, tank->y, GUI_BS_UnitManager::SIDE_PLAYER, tank},
      {tank->x + 5, tank->y - 5, GUI_BS_UnitManager::SIDE_BOTH, tank},
      {tank->x, tank->y, GUI_BS_UnitManager::SIDE_OTHER, nullptr},
      {enemy->x, enemy->y, GUI_BS_UnitManager::SIDE_OTHER, enemy},
      {enemy->x, enemy->y, GUI_BS_UnitManager::SIDE_PLAYER, nullptr},
      {1150.0f, 400.0f, GUI_BS_UnitManager::SIDE_BOTH, nullptr},  // open ground
  };
  for (const Case& c : cases) {
    MouseAt(c.x, c.y);
    GUI_BS_Unit* got = m.PickUnit(c.side);
    EXPECT_EQ(got ? got->unit : nullptr, c.expected) << c.x << "," << c.y << " side " << c.side;
  }
  // Beyond half the unit's screen size nothing is picked, at any zoom.
  Look(1150.0f, 600.0f, 4.0f);
  MouseAt(tank->x + Visual(tank)->HullSize() * 0.6f, tank->y);
  EXPECT_EQ(m.PickUnit(GUI_BS_UnitManager::SIDE_PLAYER), nullptr);
  MouseAt(tank->x + Visual(tank)->HullSize() * 0.4f, tank->y);
  EXPECT_NE(m.PickUnit(GUI_BS_UnitManager::SIDE_PLAYER), nullptr);
}

TEST_F(UnitVisualsTest, ClickCtrlClickAndDoubleClickSelect) {
  auto* screen = dynamic_cast<GUI_BattleScreen*>(GetGame().CurrentMode);
  ASSERT_NE(screen, nullptr);
  SIM_BattleUnit* scout = scene.player[0];
  SIM_BattleUnit* bulwark = scene.player[1];
  SIM_BattleUnit* secondScout = PlaceUnit(scout->design, GetBattle().playerArmy, 1000.0f, 700.0f, 0.0f);
  SIM_BattleUnit* farScout = PlaceUnit(scout->design, GetBattle().playerArmy, 3000.0f, 700.0f, 0.0f);

  MouseAt(scout->x, scout->y);
  screen->SelectUnitUnderMouse();
  EXPECT_TRUE(scout->selected);
  EXPECT_FALSE(secondScout->selected);

  // A plain click elsewhere replaces the selection; with Ctrl it adds.
  MouseAt(bulwark->x, bulwark->y);
  screen->SelectUnitUnderMouse();
  EXPECT_FALSE(scout->selected);
  EXPECT_TRUE(bulwark->selected);
  SDL_SetModState(KMOD_LCTRL);
  MouseAt(scout->x, scout->y);
  screen->SelectUnitUnderMouse();
  EXPECT_TRUE(scout->selected);
  EXPECT_TRUE(bulwark->selected);
  SDL_SetModState(KMOD_NONE);

  // A double click takes every unit of the design on screen, not those off it.
  GetInputManager().doubleClick = true;
  screen->SelectUnitUnderMouse();
  EXPECT_TRUE(scout->selected);
  EXPECT_TRUE(secondScout->selected);
  EXPECT_FALSE(farScout->selected);
  EXPECT_FALSE(bulwark->selected);

  // Enemy units are never selected by a click.
  GetInputManager().doubleClick = false;
  MouseAt(scene.enemy[0]->x, scene.enemy[0]->y);
  screen->SelectUnitUnderMouse();
  EXPECT_FALSE(scene.enemy[0]->selected);
}

TEST_F(UnitVisualsTest, DamageMarksFollowHealthAndRepairsTakeThemAway) {
  SIM_BattleUnit* tank = scene.player[1];
  auto* v = dynamic_cast<GUI_BS_MajorUnit*>(tank->visual.get());
  ASSERT_NE(v, nullptr);
  const auto& targets = tank->design->hull->targets;
  ASSERT_EQ(v->maxDamageMarks, static_cast<int>(targets.size()));
  // Full health: no mark however often it is hit.
  v->OnDamaged(targets[0].get());
  EXPECT_EQ(v->damageMarks, 0);
  // A third of the health gone on a hull with three aim points: one mark, once per point.
  tank->moduleManager->healthFraction = 0.6f;
  for (const auto& t : targets) v->OnDamaged(t.get());
  EXPECT_EQ(v->damageMarks, 1);
  tank->moduleManager->healthFraction = 0.0f;
  v->OnDamaged(targets[0].get());  // already marked there
  for (const auto& t : targets) v->OnDamaged(t.get());
  EXPECT_EQ(v->damageMarks, static_cast<int>(targets.size()));
  // Repaired to full: one mark fades per repair step.
  tank->moduleManager->healthFraction = 1.0f;
  for (int i = static_cast<int>(targets.size()); i > 0; --i) {
    v->ApplyDamageLevel();
    EXPECT_EQ(v->damageMarks, i - 1);
  }
  v->ApplyDamageLevel();
  EXPECT_EQ(v->damageMarks, 0);
}

// Damage marks draw through a second texture stage. Whatever draws after them (the next
// layer, the next unit, the next frame) must find that stage off again: a second stage left
// on without its texture reads as white and paints whole units as white silhouettes.
TEST_F(UnitVisualsTest, DamageMarksLeaveNoSecondStageBehind) {
  std::vector<SIM_BattleUnit*> marked = {scene.player[1], scene.enemy[0]};
  for (SIM_BattleUnit* u : marked) {
    auto* v = dynamic_cast<GUI_BS_MajorUnit*>(u->visual.get());
    ASSERT_NE(v, nullptr);
    u->moduleManager->healthFraction = 0.0f;
    for (const auto& t : u->design->hull->targets) v->OnDamaged(t.get());
    ASSERT_GT(v->damageMarks, 0);
  }
  device->ClearRecord();
  for (int frame = 0; frame < 2; ++frame) {
    engine().BeginScene();
    for (SIM_BattleUnit* u : {scene.player[1], scene.enemy[0], scene.player[0]}) Visual(u)->Draw();
    GetGlobalVertexBuffer().Flush();
    engine().EndScene();
  }
  int marks = 0;
  for (const platform::DrawRecord& d : device->draws) {
    if (d.textures[1]) {
      ++marks;
      continue;
    }
    EXPECT_EQ(d.colorOp1, static_cast<uint32_t>(platform::TOP_DISABLE))
        << "draw " << (&d - device->draws.data());
  }
  EXPECT_GT(marks, 0) << "the marks were drawn";
}

TEST_F(UnitVisualsTest, AFlashMarkFadesInAndOutAndAPermanentOneStays) {
  GUI_BS_Sprite sprite;
  SIM_UnitTargetData a, b;
  EXPECT_TRUE(sprite.AddDamageMark(&a, 3));
  EXPECT_FALSE(sprite.AddDamageMark(&a, 4));
  sprite.FlashDamageMark(&a);  // the point already shows a mark
  sprite.FlashDamageMark(&b);
  ASSERT_EQ(sprite.CountMarks(), 2);
  GUI_BS_DamageMark& permanent = *sprite.damageMarks.front();
  GUI_BS_DamageMark& flash = *sprite.damageMarks.back();
  EXPECT_EQ(flash.cell, GUI_BS_DamageMark::kFlashCell);
  float shown = 0.0f;
  int frames = 0;
  while (!flash.Step(16.0f) && frames < 100) {
    shown += 16.0f;
    ++frames;
    permanent.Step(16.0f);
  }
  EXPECT_NEAR(shown, 400.0f, 40.0f);
  EXPECT_EQ(permanent.state, GUI_BS_DamageMark::SHOWN);
  EXPECT_EQ(permanent.Alpha(), 255);
}

TEST_F(UnitVisualsTest, BarrelsRecoilAndComeBack) {
  SIM_BattleUnit* tank = scene.player[1];
  auto* v = dynamic_cast<GUI_BS_MajorUnit*>(tank->visual.get());
  ASSERT_NE(v, nullptr);
  ASSERT_TRUE(v->hasBarrels);
  auto* weapon = const_cast<SIM_TargetedComponent*>(v->RecoilWeapon());
  if (!weapon) {
    for (SIM_Module* m : tank->moduleManager->weapons)
      if ((weapon = dynamic_cast<SIM_TargetedComponent*>(m))) break;
    ASSERT_NE(weapon, nullptr);
    weapon->hasRecoil = true;
  }
  weapon->recoilDuration = 64.0f;
  weapon->recoverDuration = 320.0f;
  weapon->recoilIntensity = 0.25f;
  v->recoilMode = RECOIL_MOVE;
  GUI_BS_MajorUnit::Barrel& b = v->barrels[0];
  v->AdvanceBarrel(b, 16.0f);
  v->PlaceBarrel(b);
  const float restY = (b.sprite->mainQuad.v[0].y + b.sprite->mainQuad.v[3].y) / 2;
  const float restHeight = b.sprite->mainQuad.height;
  v->OnFire(-1);
  std::vector<int> phases;
  float peakShift = 0.0f;
  for (int frame = 0; frame < 40; ++frame) {
    v->AdvanceBarrel(b, 16.0f);
    v->PlaceBarrel(b);
    if (phases.empty() || phases.back() != b.phase) phases.push_back(b.phase);
    const float y = (b.sprite->mainQuad.v[0].y + b.sprite->mainQuad.v[3].y) / 2;
    peakShift = std::max(peakShift, std::abs(y - restY));
    EXPECT_FLOAT_EQ(b.sprite->mainQuad.height, restHeight);  // MOVE keeps the length
  }
  EXPECT_EQ(phases, (std::vector<int>{0, 1, 2}));
  // At the peak it has slid back by half the recoil length (on screen).
  const float expected = 0.5f * 0.25f * b.sprite->height * GUI_BS_Map::Instance().zoom;
  EXPECT_GT(peakShift,
            0.8f * expected * std::abs(std::cos(tank->turretFacing->angle * 3.14159265f / 180.0f)));
  EXPECT_LE(peakShift, expected + 1.0f);
  // SQUASH shortens it as well.
  v->recoilMode = RECOIL_SQUASH;
  v->OnFire(0);
  v->AdvanceBarrel(b, 64.0f);
  v->PlaceBarrel(b);
  EXPECT_LT(b.sprite->mainQuad.height, restHeight);
}

// An effect that counts its draws and finishes when told.
struct CountingEffect : GUI_BS_RenderObject {
  explicit CountingEffect(int drawLayer, int* deleted) : deleted(deleted) { layer = drawLayer; }
  ~CountingEffect() override { ++*deleted; }
  void Draw() override { ++draws; }
  bool IsFinished() override { return finished; }
  int draws = 0;
  bool finished = false;
  int* deleted;
};

TEST_F(UnitVisualsTest, EffectsAreDrawnInTheirPassesAndDeletedWhenFinished) {
  GUI_BS_EffectsManager& fx = GUI_BS_EffectsManager::Instance();
  fx.Clear();
  int deleted = 0;
  struct Case {
    int layer;
    int drawsPerFrame;
  } cases[] = {{0, 1}, {1, 1}, {2, 2}, {3, 0}};
  std::vector<CountingEffect*> effects;
  for (const Case& c : cases) {
    effects.push_back(new CountingEffect(c.layer, &deleted));
    fx.Add(effects.back());
  }
  fx.DrawLayer(0);
  fx.DrawLayer(1);
  for (size_t i = 0; i < effects.size(); ++i) EXPECT_EQ(effects[i]->draws, cases[i].drawsPerFrame) << i;
  // A layer-2 effect finishing in pass 0 is gone before pass 1.
  effects[2]->finished = true;
  fx.DrawLayer(0);
  EXPECT_EQ(deleted, 1);
  fx.DrawLayer(1);
  EXPECT_EQ(effects[1]->draws, 2);
  EXPECT_EQ(fx.allEffects.size(), 3u);
  // The never-drawn layer-3 effect goes with Clear.
  fx.Clear();
  EXPECT_EQ(deleted, 4);
  EXPECT_TRUE(fx.allEffects.empty());
}

TEST_F(UnitVisualsTest, FourHundredUnitsDrawInAFewBatches) {
  const char* designs[] = {"Jackal Scout", "Bulwark Battle Tank", "Gun Tower", "Mammoth Breaker"};
  for (int i = 0; i < 400; ++i)
    PlaceUnit(PlayerDesign(designs[i % 4]), i % 2 ? GetBattle().opponentArmy : GetBattle().playerArmy,
              300.0f + (i % 20) * 90.0f, 300.0f + (i / 20) * 60.0f, float(i * 37 % 360));
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  Look(map.mapWidth / 2, map.mapHeight / 2, map.minZoom);
  SIM_Options::Get().SetFloat("SHADOWS", 1.0f);
  platform::Device* d = engine().Device();
  engine().BeginScene();
  const uint64_t before = d->Counters().draws;
  GUI_BS_UnitManager::Instance().DrawAll();
  const uint64_t draws = d->Counters().draws - before;
  engine().EndScene();
  EXPECT_GT(draws, 0u);
  EXPECT_LE(draws, 40u);
}

}  // namespace

namespace {
TEST_F(UnitVisualsTest, TheNullDeviceNeverWritesDesignPictures) {
  const std::string folder = UserFolders()[USERFOLDER_DESIGNTEXTURES];
  GUI_BS_DesignSprite& ds = GUI_BS_DesignSprite::Instance();
  const std::string key = ds.GetTexture(scene.player[0]->design->name, false);
  EXPECT_FALSE(key.empty());
  EXPECT_EQ(ds.compositions, 0);
  if (!folder.empty()) {
    EXPECT_FALSE(FileExists(folder + "/" + key));
  }
}
}  // namespace
