#include "battlescreen/Searchlights.h"

#include <algorithm>
#include <cmath>

#include "battle/Battle.h"
#include "battle/BattleArmy.h"
#include "battle/BattleUnit.h"
#include "battle/ProcessWide.h"
#include "battle/Squadron.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/GroundLayers.h"
#include "battlescreen/Hulks.h"
#include "engine/D3DEngine.h"
#include "engine/ErrorReporting.h"
#include "engine/MathHelpers.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"

namespace {
constexpr float kDegToRad = 3.14159265358979f / 180.0f;
constexpr float kRetargetMs = 4000.0f;
constexpr float kFarAway = 10000000.0f;

bool Gone(const SIM_BattleUnit* u) { return u->state == US_DESTROYED || u->state == US_GONE; }

float DistSq(const SIM_BattleUnit* u, float x, float y) {
  const float dx = u->x - x, dy = u->y - y;
  return dx * dx + dy * dy;
}

// Places a beam quad: its centre half the length out along the angle.
void PlaceBeam(CTexturedSprite& sprite, float x, float y, float angle, float width, float length) {
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  const float z = map.zoom;
  const float cx = x + std::sin(angle * kDegToRad) * length * 0.5f;
  const float cy = y - std::cos(angle * kDegToRad) * length * 0.5f;
  sprite.SetSize(width * z, length * z);
  sprite.angle = angle;
  sprite.SetPosition((cx - map.viewLeft) * z, (cy - map.viewTop) * z);
}

bool LightMapOn() {
  const SearchlightLightHooks& h = GetSearchlightLightHooks();
  return h.lightMapActive && h.addWorldLight && h.lightMapActive();
}
}  // namespace

bool UnitInArmy(const SIM_BattleArmy* army, const SIM_BattleUnit* unit) {
  if (!army || !unit) return false;
  if (std::find(army->allUnits.begin(), army->allUnits.end(), unit) != army->allUnits.end()) return true;
  return std::find(army->squadrons.begin(), army->squadrons.end(), unit) != army->squadrons.end();
}

SearchlightLightHooks& GetSearchlightLightHooks() {
  static SearchlightLightHooks hooks;
  return hooks;
}

// ---- Target sweep ----

GUI_BS_TargetSweep::GUI_BS_TargetSweep() : timer(kRetargetMs * WorldDetailRandom()) {}

void GUI_BS_TargetSweep::Update(float x, float y, float frameMs) {
  if (!(turnSpeed > 0.0f)) return;
  Assert(army != nullptr);
  if (!army) return;
  // A target that left the battle is let go before anything reads it.
  if (target && !UnitInArmy(army, target)) target = nullptr;
  timer += frameMs;
  if (timer > kRetargetMs || (target && Gone(target))) {
    float best = kFarAway;
    SIM_BattleUnit* chosen = nullptr;
    for (SIM_BattleUnit* u : army->livingUnits) {
      if (u->state == US_IN_DROPPER) continue;
      const float d = DistSq(u, x, y);
      if (d < best) best = d, chosen = u;
    }
    if (chosen || (target && Gone(target))) target = chosen;
  }
  if (target)
    angle = TurnTowardsAngle(angle, HeadingDegrees(x, y, target->x, target->y), turnSpeed * frameMs);
}

// ---- Unit searchlights ----

GUI_BS_Searchlight::GUI_BS_Searchlight(SIM_BattleUnit* u, float ox, float oy, float w, float l,
                                       float sweepSpeed)
    : unit(u), offsetX(ox), offsetY(oy), width(w), length(l), beamAngle(360.0f * WorldDetailRandom()) {
  sprite.SetTextureByName("searchlight.dds");
  if (u && u->army) sweep.army = u->army->enemy;
  sweep.turnSpeed = sweepSpeed;
  fixed = !(sweepSpeed > 0.0f);
}

GUI_BS_Searchlight::~GUI_BS_Searchlight() = default;

bool GUI_BS_Searchlight::Place(float frameMs) {
  if (!unit) return false;
  if (fixed) {
    beamAngle = std::fmod(unit->heading + fixedAngle, 360.0f);
    if (beamAngle < 0.0f) beamAngle += 360.0f;
  } else {
    if (!sweep.army && unit->army) sweep.army = unit->army->enemy;
    if (sweep.army) sweep.Update(unit->x, unit->y, frameMs);
    beamAngle = sweep.angle;
  }
  if (unit->state == US_IN_DROPPER || unit->state == US_DROPPING_IN) return false;
  const float h = unit->heading * kDegToRad, c = std::cos(h), s = std::sin(h);
  const float ox = layerOffsetX + offsetX, oy = layerOffsetY + offsetY;
  PlaceBeam(sprite, unit->x + c * ox - s * oy, unit->y + s * ox + c * oy, beamAngle, width, length);
  return true;
}

void GUI_BS_Searchlight::Draw() {
  if (!Place(WorldDetailFrameMs())) return;
  if (LightMapOn() && sprite.IsOnScreen()) GetSearchlightLightHooks().addWorldLight(&sprite);
}

// ---- Free searchlights ----

GUI_BS_FreeSearchlight::GUI_BS_FreeSearchlight(float x, float y, float width, float length,
                                               GUI_BS_GroundProp* prop)
    : prop(prop), width(width), length(length), x(x), y(y), beamAngle(360.0f * WorldDetailRandom()) {
  sprite.SetTextureByName("searchlight.dds");
  if (BattleExists()) {
    SIM_Battle& b = GetBattle();
    // They look for the attackers: the player's army unless the player defends.
    sweep.army = b.playerDefends ? b.opponentArmy : b.playerArmy;
  }
  sweep.angle = beamAngle;
  if (prop) prop->SetLampHeading(beamAngle);
}

void GUI_BS_FreeSearchlight::Draw(float frameMs) {
  if (sweep.army) sweep.Update(x, y, frameMs);
  beamAngle = sweep.angle;
  if (prop) prop->SetLampHeading(beamAngle);
  PlaceBeam(sprite, x, y, beamAngle, width, length);
  if (LightMapOn() && sprite.IsOnScreen()) GetSearchlightLightHooks().addWorldLight(&sprite);
}

GUI_BS_SearchlightManager& GUI_BS_SearchlightManager::Instance() {
  return ProcessWide<GUI_BS_SearchlightManager>();
}

GUI_BS_FreeSearchlight* GUI_BS_SearchlightManager::Add(float x, float y, float width, float length,
                                                       GUI_BS_GroundProp* prop) {
  lights.push_back(std::make_unique<GUI_BS_FreeSearchlight>(x, y, width, length, prop));
  return lights.back().get();
}

void GUI_BS_SearchlightManager::Remove(GUI_BS_FreeSearchlight* light) {
  lights.remove_if([light](const std::unique_ptr<GUI_BS_FreeSearchlight>& l) { return l.get() == light; });
}

void GUI_BS_SearchlightManager::DrawAll() {
  const float frameMs = WorldDetailFrameMs();
  for (auto& l : lights) l->Draw(frameMs);
}

// ---- Laser guidance ----

GUI_BS_LaserGuidance::GUI_BS_LaserGuidance(SIM_BattleUnit* owner, SIM_BattleArmy* enemy, float ox, float oy)
    : beamAngle(360.0f * WorldDetailRandom()),
      trailAngle(360.0f * WorldDetailRandom()),
      timer(kRetargetMs * WorldDetailRandom()),
      army(enemy),
      owner(owner),
      offsetX(ox),
      offsetY(oy) {
  for (CTexturedSprite& b : beams) b.SetTextureByName("laser_cloud.dds");
}

GUI_BS_LaserGuidance::~GUI_BS_LaserGuidance() = default;

int GUI_BS_LaserGuidance::SegmentCount(float diff) {
  return std::clamp(static_cast<int>(diff / 2.0f), 1, kMaxSegments);
}

void GUI_BS_LaserGuidance::Retarget() {
  previousTarget = target;
  if (!owner) return;
  float best = kFarAway;
  SIM_BattleUnit* chosen = nullptr;
  bool squad = false;
  if (army) {
    for (SIM_BattleUnit* u : army->livingUnits) {
      if (u == previousTarget || u->state == US_IN_DROPPER || u->squadron) continue;
      const float d = DistSq(u, owner->x, owner->y);
      if (d < best) best = d, chosen = u, squad = false;
    }
    for (SIM_BattleUnit* s : army->squadrons) {
      if (s == previousTarget || s->state == US_IN_DROPPER) continue;
      const float d = DistSq(s, owner->x, owner->y);
      if (d < best) best = d, chosen = s, squad = true;
    }
  }
  if (chosen && squad) {
    auto* sq = static_cast<SIM_BattleSquadron*>(chosen);
    SIM_BattleUnit* member = sq->GetRandomMember();
    chosen = member && member != previousTarget ? member : nullptr;
  }
  target = chosen;
  if (target && target != previousTarget) aimPart = target->GetActivePart();
  timer = 0.0f;
  hold = true;
  holdClock = 0.0f;
}

bool GUI_BS_LaserGuidance::Step(float frameMs) {
  if (!BattleExists() || GetBattle().state == BATTLE_DEPLOYMENT) return false;
  if (!owner || owner->state == US_IN_DROPPER) return false;
  // A unit that left the battle is let go before anything reads it (squad members are
  // listed with the army's units too).
  if (target && !UnitInArmy(army, target)) target = nullptr, aimPart = nullptr;
  if (previousTarget && !UnitInArmy(army, previousTarget)) previousTarget = nullptr;
  timer += frameMs;
  if (timer > kRetargetMs || (target && Gone(target))) Retarget();
  holdClock += frameMs;
  if (holdClock > 100.0f) hold = false;
  blinkClock += frameMs;
  if (blinkClock > 36.0f) {
    blinkClock = 0.0f;
    blink = !blink;
  }
  if (!target) return false;
  owner->LocalToWorld(offsetX, offsetY, &originX, &originY);
  const float aim = HeadingDegrees(originX, originY, target->x, target->y);
  const float step = turnSpeed * frameMs;
  beamAngle = TurnTowardsAngle(beamAngle, aim, step);
  range = Distance(originX, originY, target->x, target->y);
  if (AngleDifference(beamAngle, trailAngle) > 20.0f) {
    const float behind = IsTurnPositive(trailAngle, beamAngle) ? beamAngle - 20.0f : beamAngle + 20.0f;
    trailAngle = std::fmod(behind + 360.0f, 360.0f);
  }
  segments = SegmentCount(AngleDifference(beamAngle, trailAngle));
  return true;
}

void GUI_BS_LaserGuidance::BuildSweep() {
  sweepValid = false;
  if (AngleDifference(beamAngle, trailAngle) <= 0.0f || !(range > 0.0f)) return;
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  const float z = map.zoom;
  const float wx[3] = {originX, originX + std::sin(beamAngle * kDegToRad) * range,
                       originX + std::sin(trailAngle * kDegToRad) * range};
  const float wy[3] = {originY, originY - std::cos(beamAngle * kDegToRad) * range,
                       originY - std::cos(trailAngle * kDegToRad) * range};
  for (int i = 0; i < 3; ++i) {
    GVertex& v = sweepArea[i];
    v.x = (wx[i] - map.viewLeft) * z - 0.5f;
    v.y = (wy[i] - map.viewTop) * z - 0.5f;
    v.z = 0.0f;
    v.rhw = 1.0f;
    // The cloud is anchored to the world, so it stays put while the beam sweeps over it.
    v.u = wx[i] / 512.0f;
    v.v = wy[i] / 512.0f;
  }
  sweepValid = true;
}

void GUI_BS_LaserGuidance::Draw() {
  if (!Step(WorldDetailFrameMs())) return;
  const float diff = AngleDifference(beamAngle, trailAngle);
  const float dir = IsTurnPositive(beamAngle, trailAngle) ? 1.0f : -1.0f;
  GetGlobalVertexBuffer().Flush();
  D3DEngine& e = GetRenderDevice();
  e.SetAdditiveBlend();
  platform::Device* d = e.Device();
  if (d) {
    d->SetSamplerState(0, platform::SamplerState::AddressU, platform::TADDRESS_WRAP);
    d->SetSamplerState(0, platform::SamplerState::AddressV, platform::TADDRESS_WRAP);
  }
  const int alpha = blink ? 255 : 128;
  const uint32_t colour = static_cast<uint32_t>(alpha) << 24 | static_cast<uint32_t>(colourR) << 16 |
                          static_cast<uint32_t>(colourG) << 8 | static_cast<uint32_t>(colourB);
  for (int i = 0; i < segments; ++i) {
    const float a = beamAngle + dir * diff * static_cast<float>(i) / static_cast<float>(segments);
    CTexturedSprite& beam = beams[i];
    PlaceBeam(beam, originX, originY, std::fmod(a + 360.0f, 360.0f), 3.0f, range);
    beamShown[i] = beam.IsOnScreen();
    if (!beamShown[i]) continue;
    // World-anchored texture along the beam, so the cloud does not slide with it.
    const float u0 = originX / 512.0f, v0 = originY / 512.0f;
    const float len = range / 512.0f;
    beam.SetUV(u0, v0, u0 + 3.0f / 512.0f, v0 + len);
    beam.SetColour(colour);
    beam.DrawDirect();
  }
  BuildSweep();
  if (sweepValid && beams[0].texture) {
    sweepArea[0].colour = colour;
    sweepArea[1].colour = sweepArea[2].colour = colour & 0x00FFFFFFu;
    beams[0].texture->Bind();
    e.DrawVertices(platform::PrimitiveType::TriangleList, 1, sweepArea, sizeof(GVertex));
  }
  if (d) {
    d->SetSamplerState(0, platform::SamplerState::AddressU, platform::TADDRESS_CLAMP);
    d->SetSamplerState(0, platform::SamplerState::AddressV, platform::TADDRESS_CLAMP);
  }
  e.SetNormalBlend();
  if (LightMapOn() && GetSearchlightLightHooks().addDrawnLight)
    GetSearchlightLightHooks().addDrawnLight(&GUI_BS_LaserGuidance::DrawLightmapOf, this);
  if (!hold) trailAngle = TurnTowardsAngle(trailAngle, beamAngle, turnSpeed * WorldDetailFrameMs());
}

void GUI_BS_LaserGuidance::DrawLightmapOf(void* laser) {
  if (laser) static_cast<GUI_BS_LaserGuidance*>(laser)->DrawLightmap();
}

void GUI_BS_LaserGuidance::DrawLightmap() {
  D3DEngine& e = GetRenderDevice();
  e.SetAdditiveBlend();
  for (int i = 0; i < segments; ++i) {
    if (!beamShown[i]) continue;
    CTexturedSprite& beam = beams[i];
    beam.SetColour(0xFFFFFFFFu);
    beam.DrawDirect();
  }
  if (sweepValid && beams[0].texture) {
    // The far corner on the beam's side stays lit; the trailing one fades out.
    sweepArea[0].colour = sweepArea[1].colour = 0xFFFFFFFFu;
    sweepArea[2].colour = 0x00FFFFFFu;
    beams[0].texture->Bind();
    e.DrawVertices(platform::PrimitiveType::TriangleList, 1, sweepArea, sizeof(GVertex));
  }
}

// ---- Wiring ----

void ConnectSearchlights() {
  GroundPropSearchlightHooks& hooks = GetGroundPropSearchlightHooks();
  hooks.add = [](GUI_BS_GroundProp* prop, float x, float y, int width, int length) -> void* {
    return GUI_BS_SearchlightManager::Instance().Add(x, y, static_cast<float>(width),
                                                     static_cast<float>(length), prop);
  };
  hooks.remove = [](void* light) {
    GUI_BS_SearchlightManager::Instance().Remove(static_cast<GUI_BS_FreeSearchlight*>(light));
  };
}
