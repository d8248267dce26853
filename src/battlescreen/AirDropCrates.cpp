#include "battlescreen/AirDropCrates.h"

#include <algorithm>

#include "battle/AirDrops.h"
#include "battle/Battle.h"
#include "battle/BattleHooks.h"
#include "battle/BattleUnit.h"
#include "battle/ProcessWide.h"
#include "battlescreen/BattleFrame.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/Hulks.h"
#include "battlescreen/UnitVisuals.h"
#include "battlescreen/WorldEffectsSeam.h"
#include "engine/D3DEngine.h"
#include "engine/VertexBuffer.h"
#include "simdata/Scenario.h"

GUI_BS_AirDrop::GUI_BS_AirDrop(int32_t drop, float px, float py, float rotation)
    : simDrop(drop), crateSprite("supplydrop.dds"), shadowSprite("supplydrop.dds"), x(px), y(py) {
  crateSprite.angle = rotation;
  shadowSprite.angle = rotation;
  crateSprite.SetColour(0xFFFFFFFFu);
  shadowSprite.SetColour(0x80000000u);
}

float GUI_BS_AirDrop::Scale() const { return landed ? 1.0f : 1.5f - 0.5f * (elapsed / kFallMs); }

void GUI_BS_AirDrop::UpdateAndDraw() {
  if (!landed) {
    elapsed += BattleExists() ? GetBattle().frameStep : 0.0f;
    if (elapsed > kFallMs) {
      landed = true;
      GUI_BS_Hulk::IsNear(kShatterRadius, x, y);
    }
  }
  const float size = kSize * Scale();
  const float o = size * 0.02f;
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  shadowSprite.SetSize(size * map.zoom, size * map.zoom);
  shadowSprite.SetPosition((x - o - map.viewLeft) * map.zoom, (y + o - map.viewTop) * map.zoom);
  crateSprite.SetSize(size * map.zoom, size * map.zoom);
  crateSprite.SetPosition((x - map.viewLeft) * map.zoom, (y - map.viewTop) * map.zoom);
  vb.SetTexture(shadowSprite.texture);
  vb.AddVertices(shadowSprite.v, 4);
  vb.SetTexture(crateSprite.texture);
  vb.AddVertices(crateSprite.v, 4);
}

void GUI_BS_AirDrop::SpawnPickupEffect() const {
  RequestBattleEffect("group", "dropnewunit_large", x, y, 0.0f);
}

GUI_BS_AirDropManager& GUI_BS_AirDropManager::Instance() { return ProcessWide<GUI_BS_AirDropManager>(); }

void GUI_BS_AirDropManager::AddDrop(int32_t simDrop, float x, float y) {
  const float rotation = GUI_BS_UnitManager::Instance().NextRandom() * 360.0f;
  drops.push_back(std::make_unique<GUI_BS_AirDrop>(simDrop, x, y, rotation));
}

GUI_BS_AirDrop* GUI_BS_AirDropManager::Find(int32_t simDrop) const {
  for (const auto& d : drops)
    if (d->simDrop == simDrop) return d.get();
  return nullptr;
}

void GUI_BS_AirDropManager::DrawAll() {
  if (drops.empty()) return;
  D3DEngine& e = GetRenderDevice();
  e.MarkBlendDirty();
  e.SetNormalBlend();
  for (auto& d : drops) d->UpdateAndDraw();
  GetGlobalVertexBuffer().Flush();
}

bool GUI_BS_AirDropManager::CheckCollect(const SIM_BattleUnit* unit) {
  if (drops.empty() || !unit || !BattleExists()) return false;
  SIM_Battle& battle = GetBattle();
  const SIM_Scenario* scenario = battle.scenario;
  const SIM_MapSquare* square = scenario ? scenario->GetSquareAt(unit->x, unit->y) : nullptr;
  if (!square) return false;
  SIM_AirDropManager& sim = GetAirDropManager();
  for (auto& d : drops) {
    SIM_AirDrop* drop = sim.FindDrop(d->simDrop);
    if (!drop || !drop->site || drop->site->square != square) continue;
    // The crate is meant for the attackers, whoever reaches it.
    sim.Collect(drop, !battle.PlayerDefends());
    return true;
  }
  return false;
}

void GUI_BS_AirDropManager::Collected(int32_t simDrop, float x, float y) {
  GUI_BS_AirDrop* crate = Find(simDrop);
  if (crate) crate->SpawnPickupEffect();
  RequestBattleEffect("shockwave", "supply_collect.dds", crate ? crate->x : x, crate ? crate->y : y, 400.0f,
                      500.0f);
  drops.remove_if([simDrop](const std::unique_ptr<GUI_BS_AirDrop>& d) { return d->simDrop == simDrop; });
}

void GUI_BS_AirDropManager::Clear() {
  for (auto& d : drops) d->SpawnPickupEffect();
  drops.clear();
}

void ConnectAirDropCrates() {
  SetBattleWorldLayer(WL_AIR_DROPS, [] { GUI_BS_AirDropManager::Instance().DrawAll(); });
  BattleHooks& hooks = GetBattleHooks();
  hooks.airDropFalls = [](int id, float x, float y) { GUI_BS_AirDropManager::Instance().AddDrop(id, x, y); };
  hooks.airDropCollected = [](int id, bool, float x, float y) {
    GUI_BS_AirDropManager::Instance().Collected(id, x, y);
  };
  hooks.clearAirDropCrates = [] { GUI_BS_AirDropManager::Instance().Clear(); };
}
