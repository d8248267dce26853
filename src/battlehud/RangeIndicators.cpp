#include "battlehud/RangeIndicators.h"

#include <algorithm>
#include <cmath>

#include "battle/Battle.h"
#include "battle/BattleUnit.h"
#include "battle/Module.h"
#include "battle/TargetSelector.h"
#include "battle/TargetedComponents.h"
#include "battlehud/HudBatch.h"
#include "battlehud/LiveUnits.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleScreen.h"
#include "effects/EffectsCommon.h"
#include "effects/PostProcessing.h"
#include "engine/ErrorReporting.h"
#include "simdata/Scenario.h"

namespace {
constexpr int kRingSegments = 255;
constexpr int kArcSegments = 256;

float Wrap360(float a) {
  a = std::fmod(a, 360.0f);
  return a < 0.0f ? a + 360.0f : a;
}

// The reach the rings show: the longest-reaching weapon of the unit.
void ReadReach(SIM_BattleUnit* unit, float* minRange, float* currentMax, float* baseMax, float* arc) {
  *minRange = *currentMax = *baseMax = 0.0f;
  *arc = 0.0f;
  if (!unit || !unit->moduleManager) return;
  for (SIM_Module* m : unit->moduleManager->weapons) {
    auto* w = dynamic_cast<SIM_TargetedComponent*>(m);
    if (!w || w->maxRange <= *currentMax) continue;
    *minRange = w->minRange;
    *currentMax = w->maxRange;
    *baseMax = w->maxRangeAsRead;
    *arc = w->selector ? w->selector->arc : 0.0f;
  }
}
}  // namespace

std::vector<GUI_BS_RangeIndicator*>& GUI_BS_RangeIndicator::List() {
  // Never destroyed: indicators still alive at exit unlink themselves from it.
  static auto* list = new std::vector<GUI_BS_RangeIndicator*>();
  return *list;
}

GUI_BS_RangeIndicator::GUI_BS_RangeIndicator(SIM_BattleUnit* u) : unit(u) {
  ZT_ASSERT(u != nullptr);
  const SIM_Scenario* scenario = BattleExists() ? GetBattle().scenario : nullptr;
  SetStyle(scenario && scenario->uiStyle == "DARK");
  float minRange, currentMax, baseMax, firingArc;
  ReadReach(u, &minRange, &currentMax, &baseMax, &firingArc);
  SetRanges(minRange, currentMax, baseMax, firingArc);
}

GUI_BS_RangeIndicator::~GUI_BS_RangeIndicator() {
  auto& list = List();
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void GUI_BS_RangeIndicator::SetRanges(float minRange, float currentMax, float baseMax, float arcDegrees) {
  ring1 = Ring{minRange, currentMax, 0.0f, 0.0f};
  ring2 = Ring{};
  twoRings = currentMax < baseMax;
  if (twoRings) {
    // The two bands meet at the current reach, two pixels apart.
    ring2 = Ring{currentMax, baseMax, 0.0f, 1.0f};
    ring1.outerOffset = -1.0f;
  }
  arc = arcDegrees;
}

void GUI_BS_RangeIndicator::SetStyle(bool darkStyle) {
  dark = darkStyle;
  bandColour = dark ? 0x2C000000u : 0x40A8C0D8u;
  arcColour = dark ? 0x4E000000u : 0x42C0C0C0u;
}

void GUI_BS_RangeIndicator::Reset() {
  if (state == HIDDEN) List().push_back(this);
  state = GROWING;
  timer = 0.0f;
}

void GUI_BS_RangeIndicator::FadeOutAll() {
  for (GUI_BS_RangeIndicator* r : List()) {
    if (r->state == HIDDEN) continue;
    r->state = SHRINKING;
    r->timer = 0.0f;
  }
}

void GUI_BS_RangeIndicator::ArcSpan(float heading, float* from, float* sweep) const {
  *from = 0.0f;
  *sweep = 0.0f;
  if (!(arc > 0.0f && arc < 360.0f)) return;
  // The sweep is the arc itself: a 270-degree arc covers 270 degrees, not the 90 left over.
  *from = Wrap360(heading - arc * 0.5f);
  *sweep = arc;
}

void GUI_BS_RangeIndicator::QueueRings(float x, float y, float zoom) const {
  auto queue = [&](const Ring& r) {
    const float outer = r.outerScale * zoom * grow + r.outerOffset;
    const float inner = std::max(0.0f, r.innerScale * zoom * grow + r.innerOffset);
    if (!(outer > inner)) return;
    HudBand(x, y, inner, outer, 0.0f, 360.0f, kRingSegments, bandColour);
    float from, sweep;
    ArcSpan(unit ? unit->heading : 0.0f, &from, &sweep);
    if (sweep > 0.0f) HudBand(x, y, inner, outer, from, sweep, kArcSegments, arcColour);
  };
  queue(ring1);
  if (twoRings) queue(ring2);
}

bool GUI_BS_RangeIndicator::Update(const HudLiveUnits& live) {
  if (!GetBattleViewFlags().showHud) return true;
  if (!HudUnitShowable(live, unit)) return false;
  if (ring1.outerScale <= 0.0f) return true;
  grow = 0.0f;
  switch (state) {
    case GROWING:
      timer += kStepMs;
      grow = std::clamp(timer / kGrowMs, 0.0f, 1.0f);
      if (grow >= 1.0f) {
        state = SHOWN;
        timer = 0.0f;
      }
      break;
    case SHOWN:
      grow = 1.0f;
      break;
    case SHRINKING: {
      timer += kStepMs;
      const float t = std::clamp(timer / kGrowMs, 0.0f, 1.0f);
      grow = 1.0f - t;
      if (t >= 1.0f) {
        timer = 0.0f;
        state = HIDDEN;
        return false;
      }
      break;
    }
    default:
      break;
  }
  float x, y;
  HudWorldToScreen(unit->x, unit->y, &x, &y);
  QueueRings(x, y, GUI_BS_Map::Instance().zoom);
  bandSegments = kRingSegments * (twoRings ? 2 : 1);
  float from, sweep;
  ArcSpan(unit->heading, &from, &sweep);
  arcSegments = sweep > 0.0f ? kArcSegments * (twoRings ? 2 : 1) : 0;
  return true;
}

void GUI_BS_RangeIndicator::DrawAll() {
  auto& list = List();
  if (list.empty()) return;
  HudLiveUnits live;
  live.Refresh();
  // One batch for every ring of one style; dark maps draw normally, others add light.
  const bool darkStyle = list.front()->dark;
  HudBeginKind(nullptr, darkStyle ? 0 : 1);
  std::vector<GUI_BS_RangeIndicator*> leaving;
  for (GUI_BS_RangeIndicator* r : list)
    if (!r->Update(live)) leaving.push_back(r);
  HudEndKind();
  for (GUI_BS_RangeIndicator* r : leaving) {
    r->state = HIDDEN;
    list.erase(std::remove(list.begin(), list.end(), r), list.end());
  }
  // The night pass: the same rings lit in the light map.
  if (GUI_BS_PostProcessor& pp = GUI_BS_PostProcessor::Instance();
      LightmapEnabled() && GetBattleViewFlags().showHud && !list.empty() && pp.BeginLightmapDraw()) {
    HudBeginKind(nullptr, 1);
    const float zoom = GUI_BS_Map::Instance().zoom;
    for (GUI_BS_RangeIndicator* r : list) {
      if (!HudUnitShowable(live, r->unit) || r->ring1.outerScale <= 0.0f) continue;
      float x, y;
      HudWorldToScreen(r->unit->x, r->unit->y, &x, &y);
      r->QueueRings(x, y, zoom);
    }
    HudEndKind();
    pp.RestoreTempRT();
  }
  GUI_BS_RangeIndicatorSet::Instance().Prune(live);
}

GUI_BS_RangeIndicatorSet& GUI_BS_RangeIndicatorSet::Instance() {
  static GUI_BS_RangeIndicatorSet set;
  return set;
}

GUI_BS_RangeIndicator* GUI_BS_RangeIndicatorSet::Reset(SIM_BattleUnit* unit) {
  if (!unit) return nullptr;
  auto& slot = indicators_[unit];
  // A hidden one is built again: the unit may have changed weapons, or be a new unit
  // where a deleted one was.
  if (!slot || slot->state == GUI_BS_RangeIndicator::HIDDEN)
    slot = std::make_unique<GUI_BS_RangeIndicator>(unit);
  slot->Reset();
  return slot.get();
}

GUI_BS_RangeIndicator* GUI_BS_RangeIndicatorSet::Find(const SIM_BattleUnit* unit) const {
  auto it = indicators_.find(unit);
  return it == indicators_.end() ? nullptr : it->second.get();
}

void GUI_BS_RangeIndicatorSet::Prune(const HudLiveUnits& live) {
  for (auto it = indicators_.begin(); it != indicators_.end();) {
    if (!HudUnitShowable(live, it->first))
      it = indicators_.erase(it);
    else
      ++it;
  }
}

void GUI_BS_RangeIndicatorSet::Clear() { indicators_.clear(); }
