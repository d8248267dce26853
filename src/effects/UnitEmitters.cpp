#include "effects/UnitEmitters.h"

#include <algorithm>
#include <cmath>

#include "battle/BattleUnit.h"
#include "battle/Module.h"
#include "battle/Movement.h"
#include "battle/ProcessWide.h"
#include "battlescreen/BattleFrame.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleSprites.h"
#include "battlescreen/Corpses.h"
#include "battlescreen/UnitVisuals.h"
#include "effects/HeatEmitters.h"
#include "effects/LightMap.h"
#include "engine/VertexBuffer.h"
#include "simdata/UnitHull.h"

namespace {
constexpr float kPi = 3.14159265358979f;
constexpr float kDegToRad = kPi / 180.0f;

struct EmitterList {
  std::vector<GUI_BS_UnitEmmiter*> emitters;  // not owned
};
}  // namespace

std::vector<GUI_BS_UnitEmmiter*>& UnitEmitterList() { return ProcessWide<EmitterList>().emitters; }

GUI_BS_UnitEmmiter::GUI_BS_UnitEmmiter(const SIM_UnitTargetData* p, SIM_BattleUnit* u,
                                       const std::string& effect)
    : point(p), unit(u) {
  layer = 1;
  zoomFrom = 0.0f;
  zoomUntil = -1.0f;
  float x = 0.0f, y = 0.0f;
  WorldPosition(p, u, &x, &y);
  heat = std::make_unique<GUI_BS_GroundHeatEmitter>(kRadius, -1.0f, effect, x, y);
  UnitEmitterList().push_back(this);
}

GUI_BS_UnitEmmiter::~GUI_BS_UnitEmmiter() {
  if (EmitterList* list = ProcessWideIfAlive<EmitterList>()) {
    auto& v = list->emitters;
    v.erase(std::remove(v.begin(), v.end(), this), v.end());
  }
}

void GUI_BS_UnitEmmiter::WorldPosition(const SIM_UnitTargetData* p, const SIM_BattleUnit* u, float* x,
                                       float* y) {
  *x = u ? u->x : 0.0f;
  *y = u ? u->y : 0.0f;
  if (!p || !u) return;
  if (p->name.find("turret") != std::string::npos) {
    u->LocalToWorldScaled(p->x, p->y, x, y);
    return;
  }
  const float a = u->heading * kDegToRad, c = std::cos(a), s = std::sin(a);
  *x = u->x + p->x * c - p->y * s;
  *y = u->y + p->y * c + p->x * s;
}

float GUI_BS_UnitEmmiter::EmissionRate(const SIM_BattleUnit* u) {
  if (!u) return kSlowest;
  if (u->sizeType == SIZE_BUILDING) return 1.0f;
  if (!u->movement) return kSlowest;
  const float top = u->moduleManager ? u->moduleManager->powerRatio : 0.0f;
  const float pace = top > 0.0f ? u->movement->speed / top : 0.0f;
  return std::max(pace, kSlowest);
}

void GUI_BS_UnitEmmiter::UpdatePosition() {
  if (!heat || !unit) return;
  if (!heat->active) {
    finished = true;
    return;
  }
  heat->emissionRate = EmissionRate(unit);
  WorldPosition(point, unit, &heat->centreX, &heat->centreY);
}

void GUI_BS_UnitEmmiter::Draw() {
  if (finished || !unit || !heat) return;
  if (unit->state == US_DESTROYED || unit->state == US_GONE) return;
  UpdatePosition();
  if (finished) return;
  if (zoomFrom > 0.0f && !UpdateFade()) {
    heat->Update(EffectsFrameMs());
    return;
  }
  heat->DrawForPass(0);
  heat->DrawForPass(1);
}

void DrawUnitEmitters() {
  std::vector<GUI_BS_UnitEmmiter*>& list = UnitEmitterList();
  if (list.empty()) return;
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  SetCameraTransform(GUI_BS_Map::Instance());
  vb.Flush();
  // Drawing never adds or removes emitters; the index walk allocates nothing.
  for (size_t i = 0; i < list.size(); ++i) list[i]->Draw();
  vb.Flush();
  ClearCameraTransform();
}

// ---- Unit lights ----

GUI_BS_UnitLightmap::GUI_BS_UnitLightmap(GUI_BS_Sprite* o, const std::string& texture)
    : light(texture), owner(o) {
  layer = 1;
  zoomFrom = 0.0f;
  zoomUntil = -1.0f;
}

GUI_BS_UnitLightmap::~GUI_BS_UnitLightmap() {
  if (!ProcessWideIfAlive<LightmapDrawLists>()) return;
  LightmapDrawLists& lists = LightmapDrawLists::Instance();
  for (int i = 0; i < lists.worldCount && i < LightmapDrawLists::kEntries; ++i)
    if (lists.world[i].object == &light) {
      lists.world[i].inUse = false;
      lists.world[i].object = nullptr;
      break;
    }
}

int GUI_BS_UnitLightmap::PulseAlpha(float timerMs) {
  const float p = std::clamp(timerMs / kPulseMs, 0.0f, 1.0f);
  return static_cast<int>((std::sin(p * kPi) * 0.22f + 0.78f) * 255.0f);
}

void GUI_BS_UnitLightmap::Draw() {
  SIM_BattleUnit* u = owner ? owner->unit : nullptr;
  if (!u) return;
  const bool arriving = u->state == US_IN_DROPPER || u->state == US_DROPPING_IN;
  const float s = arriving ? u->DropInScale() : 1.0f;
  pulseTimer += EffectsFrameMs();
  if (pulseTimer > kPulseMs) pulseTimer -= kPulseMs;
  light.SetColour(PulseAlpha(pulseTimer), 255, 255, 255);
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  const float a = u->heading * kDegToRad, c = std::cos(a), sn = std::sin(a);
  const float ox = owner->offsetX * s, oy = owner->offsetY * s;
  const float wx = u->x + ox * c - oy * sn, wy = u->y + oy * c + ox * sn;
  light.SetSize(owner->width * s * map.zoom, owner->height * s * map.zoom);
  light.angle = owner->angle;
  light.SetPosition((wx - map.viewLeft) * map.zoom, (wy - map.viewTop) * map.zoom);
  if (GUI_BS_LightmapManager::Instance().mode != 0 && light.IsOnScreen()) DrawListAdd(0, &light);
}

void ConnectUnitEmitters() {
  SetBattleWorldLayer(WL_UNIT_EMITTERS, DrawUnitEmitters);
  SetCorpseLightHook([](CTexturedSprite* sprite) { DrawListAdd(0, sprite); });
  UnitAttachmentHooks& hooks = GetUnitAttachmentHooks();
  hooks.makeEmitter = [](const SIM_UnitTargetData* point, SIM_BattleUnit* unit,
                         const std::string& effect) -> std::unique_ptr<GUI_BS_RenderObject> {
    return std::make_unique<GUI_BS_UnitEmmiter>(point, unit, effect);
  };
  hooks.makeLight = [](GUI_BS_Sprite* owner,
                       const std::string& texture) -> std::unique_ptr<GUI_BS_RenderObject> {
    return std::make_unique<GUI_BS_UnitLightmap>(owner, texture);
  };
}
