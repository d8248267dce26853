#include "battlehud/SupportOverlays.h"

#include <algorithm>

#include "battle/Battle.h"
#include "battle/BattleUnit.h"
#include "battle/BattleUnitManager.h"
#include "battle/Module.h"
#include "battle/SupportComponents.h"
#include "battle/TargetedComponents.h"
#include "battlehud/HudBatch.h"
#include "battlehud/LiveUnits.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleScreen.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"

constexpr int GUI_BS_SupportIconManager::kFrames[4];

namespace {
// The main weapon: the one the unit is rated by, else its first weapon.
const SIM_Module* MainWeapon(const SIM_BattleUnit* unit) {
  if (unit->ratedWeapon) return unit->ratedWeapon;
  if (unit->moduleManager && !unit->moduleManager->weapons.empty())
    return unit->moduleManager->weapons.front();
  return nullptr;
}

// A 2 x 2 sheet frame as a centred quad.
void QueueFrame(const GUI_BS_SupportIconManager::Icon& icon) {
  const float u0 = float(icon.frame % 2) * 0.5f, v0 = float(icon.frame / 2) * 0.5f;
  const float h = icon.side * 0.5f;
  GVertex q[4];
  const float xs[4] = {icon.x - h, icon.x + h, icon.x - h, icon.x + h};
  const float ys[4] = {icon.y - h, icon.y - h, icon.y + h, icon.y + h};
  for (int i = 0; i < 4; ++i) {
    q[i].x = xs[i];
    q[i].y = ys[i];
    q[i].colour = GUI_BS_SupportIconManager::kColour;
    q[i].u = u0 + float(i % 2) * 0.5f;
    q[i].v = v0 + float(i / 2) * 0.5f;
  }
  HudQuad(q);
}
}  // namespace

GUI_BS_SupportIconManager& GUI_BS_SupportIconManager::Instance() {
  static GUI_BS_SupportIconManager manager;
  return manager;
}

bool GUI_BS_SupportIconManager::Reloading(const SIM_BattleUnit* unit) {
  const SIM_Module* m = MainWeapon(unit);
  if (!m || !m->UsesAmmo()) return false;
  const auto* ammo = dynamic_cast<const SIM_AmmoUsingComponent*>(m);
  return ammo && ammo->resupplying;
}

std::vector<GUI_BS_SupportIconManager::Icon> GUI_BS_SupportIconManager::Layout(float screenX, float screenY,
                                                                               float unitSize, float zoom,
                                                                               const bool supports[3],
                                                                               bool reloading) {
  std::vector<Icon> icons;
  const int n = int(supports[0]) + int(supports[1]) + int(supports[2]) + int(reloading);
  if (n == 0) return icons;
  float r = unitSize * 0.25f * zoom;
  float x = screenX;
  if (n > 1) x -= r * float(n - 1) * 0.5f;
  const float y = screenY - 2.0f * r;
  // Zoomed far out the icons keep a readable size (the step widens with them).
  r = std::max(r, kMinSide);
  for (int k = 0; k < 4; ++k) {
    if (k < 3 ? !supports[k] : !reloading) continue;
    Icon icon;
    icon.frame = kFrames[k];
    icon.x = x;
    icon.y = y;
    icon.side = r;
    icons.push_back(icon);
    x += r;
  }
  return icons;
}

int GUI_BS_SupportIconManager::Draw(const HudLiveUnits& live) {
  if (!BattleUnitManagerExists()) return 0;
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  int queued = 0;
  bool begun = false;
  for (const SIM_BattleUnit* u : GetBattleUnitManager().allUnits) {
    if (!HudUnitShowable(live, u) || map.IsOffScreen(u->x, u->y, 100.0f)) continue;
    const bool supports[3] = {!u->repairers.empty(), !u->hospitals.empty(), !u->commanders.empty()};
    const bool reloading = Reloading(u);
    if (!supports[0] && !supports[1] && !supports[2] && !reloading) continue;
    float sx, sy;
    HudWorldToScreen(u->x, u->y, &sx, &sy);
    if (!begun) {
      HudBeginKind(FindOrLoadTexture("support_icon.dds"), 0);
      begun = true;
    }
    for (const Icon& icon : Layout(sx, sy, u->size, map.zoom, supports, reloading)) {
      QueueFrame(icon);
      ++queued;
    }
  }
  if (begun) HudEndKind();
  return queued;
}

// ---- Support areas ----

GUI_BS_EffectIndicatorManager& GUI_BS_EffectIndicatorManager::Instance() {
  static GUI_BS_EffectIndicatorManager manager;
  return manager;
}

uint32_t GUI_BS_EffectIndicatorManager::Colour(int kind) {
  switch (kind) {
    case SIM_SupportComponent::KIND_REPAIR:
      return 0x30F0A028u;  // amber: vehicles mended
    case SIM_SupportComponent::KIND_HOSPITAL:
      return 0x3028DC50u;  // green: soldiers healed
    default:
      return 0x303C8CFFu;  // blue: faster reloads under command
  }
}

bool GUI_BS_EffectIndicatorManager::Shown(const SIM_BattleUnit* carrier) {
  const int s = carrier->GetState();
  return s == US_IN_DROPPER || (carrier->selected && s != US_DESTROYED && s != US_GONE);
}

int GUI_BS_EffectIndicatorManager::Draw(const HudLiveUnits& live) {
  if (!BattleUnitManagerExists()) return 0;
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  int queued = 0;
  bool begun = false;
  for (const SIM_BattleUnit* u : GetBattleUnitManager().allUnits) {
    if (!live.IsLive(u) || !u->moduleManager || !Shown(u)) continue;
    for (const auto& m : u->moduleManager->allModules) {
      const auto* support = dynamic_cast<const SIM_SupportComponent*>(m.get());
      if (!support || !(support->pulseRadius > 0.0f)) continue;
      if (map.IsOffScreen(u->x, u->y, support->pulseRadius)) continue;
      if (!begun) {
        HudBeginKind(nullptr, 0);
        begun = true;
      }
      float sx, sy;
      HudWorldToScreen(u->x, u->y, &sx, &sy);
      // A small disc on screen needs fewer rim points to look round.
      const float r = support->pulseRadius * map.zoom;
      const int segments = std::clamp(int(r * 0.5f), 32, kRimPoints - 1);
      HudFan(sx, sy, r, 0.0f, 360.0f, segments, Colour(support->kind));
      ++queued;
    }
  }
  if (begun) HudEndKind();
  return queued;
}

void DrawSupportIcons() {
  HudLiveUnits live;
  live.Refresh();
  GUI_BS_SupportIconManager::Instance().Draw(live);
}

void DrawSupportAreas() {
  // The support-area toggle (on from the start); nothing while the HUD is hidden.
  const BattleViewFlags& flags = GetBattleViewFlags();
  if (!flags.reserved || !flags.showHud) return;
  HudLiveUnits live;
  live.Refresh();
  GUI_BS_EffectIndicatorManager::Instance().Draw(live);
}
