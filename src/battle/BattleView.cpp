#include "battle/BattleView.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "battle/Battle.h"
#include "battle/BattleUnit.h"
#include "battle/BattleUnitManager.h"
#include "battle/Module.h"
#include "battle/ProcessWide.h"
#include "simdata/Scenario.h"

namespace {
SIM_BattleView*& Registered() {
  static SIM_BattleView* view = nullptr;
  return view;
}

// The units whose visuals may tick, whichever view the battle talks to. Only a death
// gives a visual's Tick work, and a battle has few deaths at a time: the frame ticks
// these alone, in the order of the walk over every unit. An entry is only looked up in
// that walk, never followed, so one whose unit is gone simply drops out.
struct TickingUnits {
  std::vector<SIM_BattleUnit*> units;
  std::vector<std::pair<uint64_t, SIM_BattleUnit*>> placed;  // scratch: rank in the walk
  std::vector<SIM_BattleUnit*> kept;                         // scratch
};
}  // namespace

void SIM_UnitVisual::PruneEmitters() {
  if (!unit || unit->state != US_INACTIVE) return;
  fadeTimer += GetBattle().frameStep;
  fade = 1.0f - std::min(std::max(fadeTimer / kFadeMs, 0.0f), 1.0f);
  if (fadeTimer > kFadeMs) unit->Destroy();
}

void SIM_UnitVisual::OnDestroyed() {
  dying = true;
  fadeTimer = 0.0f;
  if (unit) {
    std::vector<SIM_BattleUnit*>& ticking = ProcessWide<TickingUnits>().units;
    if (std::find(ticking.begin(), ticking.end(), unit) == ticking.end()) ticking.push_back(unit);
  }
}

void SIM_UnitVisual::Tick() {
  // Weapon effects step in the battle's own frame (beams deal damage there), so a
  // visual ticking or not never changes the fight.
}

bool SIM_DeathFrames::Step(float frameStep) {
  timer += frameStep;
  if (timer <= kFrameMs) return false;
  if (frame < kLastFrame) {
    timer = 0.0f;
    ++frame;
    return false;
  }
  return true;
}

void SIM_InfantryVisual::OnDestroyed() {
  SIM_UnitVisual::OnDestroyed();
  death.Start();
}

void SIM_InfantryVisual::Tick() {
  if (dying && unit && death.Step(GetBattle().frameStep)) {
    dying = false;
    unit->Destroy();
    return;
  }
  SIM_UnitVisual::Tick();
}

std::unique_ptr<SIM_UnitVisual> SIM_BattleView::CreateUnitVisual(SIM_BattleUnit* unit, int sizeType) {
  switch (sizeType) {
    case SIZE_INFANTRY:
      return std::make_unique<SIM_InfantryVisual>(unit);
    case SIZE_MECH:
    case SIZE_TANK:
    case SIZE_BUILDING:
      return std::make_unique<SIM_UnitVisual>(unit);
    default:
      return nullptr;
  }
}

std::unique_ptr<SIM_GroundPropVisual> SIM_BattleView::CreateGroundProp(const GroundPropDesc& desc) {
  auto prop = std::make_unique<SIM_GroundPropVisual>();
  prop->Init(desc);
  return prop;
}

void SIM_BattleView::InitMap(SIM_Scenario* scenario) {
  const float width = scenario ? scenario->maxCols * 200.0f : 0.0f;
  const float height = scenario ? scenario->maxRows * 200.0f : 0.0f;
  cameraX_ = width / 2;
  cameraY_ = height / 2;
  zoom_ = 1.0f;
  viewLeft_ = 0.0f;
  viewTop_ = 0.0f;
  viewRight_ = width;
  viewBottom_ = height;
}

void SIM_BattleView::AdvanceProjectiles() {
  TickingUnits& ticking = ProcessWide<TickingUnits>();
  if (ticking.units.empty()) return;
  const SIM_BattleUnitManager& manager = GetBattleUnitManager();
  ticking.placed.clear();
  for (SIM_BattleUnit* u : ticking.units) {
    uint64_t rank = 0;
    if (manager.WalkRank(u, &rank)) ticking.placed.emplace_back(rank, u);
  }
  // In walk order (no two units share a rank).
  std::sort(ticking.placed.begin(), ticking.placed.end());
  // A tick ends at most its own unit; a death that starts meanwhile waits for the next
  // frame's ticks.
  ticking.units.clear();
  std::vector<SIM_BattleUnit*>& kept = ticking.kept;
  kept.clear();
  for (const auto& [place, u] : ticking.placed) {
    if (!u->visual) continue;
    u->visual->Tick();
    if (u->visual && u->visual->dying) kept.push_back(u);
  }
  for (SIM_BattleUnit* u : ticking.units)
    if (std::find(kept.begin(), kept.end(), u) == kept.end()) kept.push_back(u);
  ticking.units.swap(kept);
}

bool SIM_BattleView::IsOffScreen(float x, float y, float margin) const {
  return x < viewLeft_ - margin || y < viewTop_ - margin || x > viewRight_ + margin ||
         y > viewBottom_ + margin;
}

SIM_BattleView& GetBattleView() {
  if (SIM_BattleView* view = Registered()) return *view;
  return ProcessWide<SIM_BattleView>();
}

SIM_BattleView* SetBattleView(SIM_BattleView* view) {
  SIM_BattleView* old = Registered();
  Registered() = view;
  return old;
}
