#include "battlescreen/Shields.h"

#include <algorithm>
#include <cmath>

#include "app/Sounds.h"
#include "battle/Battle.h"
#include "battle/BattleUnit.h"
#include "battle/Module.h"
#include "battlescreen/BattleFrame.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/WorldDetailsRandom.h"
#include "battlescreen/WorldEffectsSeam.h"
#include "engine/D3DEngine.h"
#include "engine/ErrorReporting.h"
#include "engine/Singletons.h"

namespace {
constexpr float kPi = 3.14159265358979f;

// The heading from (x0, y0) to (x1, y1) in degrees, 0 up, clockwise, 0..360.
float HeadingTo(float x0, float y0, float x1, float y1) {
  float h = std::atan2(x1 - x0, -(y1 - y0)) * 180.0f / kPi;
  if (h < 0.0f) h += 360.0f;
  return h;
}

float AngleBetween(float a, float b) {
  const float d = std::fmod(std::fabs(a - b), 360.0f);
  return std::min(d, 360.0f - d);
}

bool LightMapActive() {
  const BattleFrameHooks& hooks = GetBattleFrameHooks();
  return hooks.lightingMode && hooks.lightingMode() != 0 && GetRenderDevice().HasTexture("rt_lightmap");
}
}  // namespace

std::vector<GUI_BS_Shield*>& GUI_BS_Shield::Live() {
  // Never destroyed: shields of visuals that outlive it still leave it at exit.
  static auto* live = new std::vector<GUI_BS_Shield*>();
  return *live;
}

GUI_BS_Shield* GUI_BS_Shield::Of(const SIM_BattleUnit* unit) {
  if (!unit) return nullptr;
  for (GUI_BS_Shield* s : Live())
    if (s->unit == unit) return s;
  return nullptr;
}

float GUI_BS_Shield::RadiusFor(float width, float height, float hullScalar) {
  return std::max(width, height) * 0.5f * hullScalar * 0.95f;
}

GUI_BS_Shield::GUI_BS_Shield(SIM_BattleUnit* u, float r, const std::string& bubbleTexture)
    : unit(u), radius(r) {
  ZT_ASSERT(u != nullptr);
  for (Impact& slot : impacts) slot.sprite.SetTexture("shield_blast.dds");
  if (!bubbleTexture.empty()) bubble.SetTexture(bubbleTexture);
  distortion.sprite.SetTextureByName("shield_distortion2.dds");
  distortion.size = radius;
  Live().push_back(this);
}

GUI_BS_Shield::~GUI_BS_Shield() {
  // The ripple must not outlive its shield in the distortion list.
  if (auto* manager = ProcessWideIfAlive<GUI_BS_DistortionManager>())
    manager->RemoveShieldDistortion(&distortion);
  auto& live = Live();
  live.erase(std::remove(live.begin(), live.end(), this), live.end());
}

void GUI_BS_Shield::DropUnit() {
  unit = nullptr;
  GUI_BS_DistortionManager::Instance().RemoveShieldDistortion(&distortion);
  bubbleShown = false;
  flickerEnabled = false;
  flickerOn = false;
  for (Impact& slot : impacts) slot.active = false;
}

float GUI_BS_Shield::CurrentFraction() const {
  return unit && unit->moduleManager ? unit->moduleManager->shieldFraction : 0.0f;
}

int GUI_BS_Shield::OnImpact(float volume, float x, float y) {
  if (!unit) return -1;
  const float h = HeadingTo(unit->x, unit->y, x, y);
  int used = -1;
  for (int i = 0; i < kSlots && used < 0; ++i)
    if (impacts[i].active && AngleBetween(impacts[i].angle, h) <= 45.0f) {
      impacts[i].elapsed = 0.0f;
      used = i;
    }
  for (int i = 0; i < kSlots && used < 0; ++i)
    if (!impacts[i].active) {
      impacts[i].active = true;
      impacts[i].angle = h;
      impacts[i].sprite.angle = h;
      impacts[i].elapsed = 0.0f;
      used = i;
    }
  if (!GUI_BS_Map::Instance().IsOffScreen(unit->x, unit->y, 32.0f)) {
    if (SoundsExist())
      GetSounds().PlaySound("data/sounds/lb_shield_impact.ogg", 2, volume, false, 64.0f, unit->x, unit->y);
    RequestBattleEffect("group", "small_shield_impact", x, y);
  }
  return used;
}

void GUI_BS_Shield::AddDistortion() {
  if (!unit) return;
  bubbleShown = true;
  bubbleElapsed = 0.0f;
  distortion.size = radius;
  distortion.unit = unit;
  distortion.shield = this;
  GUI_BS_DistortionManager::Instance().AddShieldDistortion(&distortion);
}

void GUI_BS_Shield::NewFlickerInterval() {
  flickerInterval = WorldDetailsRandom::Get().Range(16.0f, 32.0f);
  flickerClock = 0.0f;
}

void GUI_BS_Shield::UpdateFlicker(float frameMs, float f) {
  if (!flickerEnabled) return;
  if (flickering) {
    if (f > kFlickerBelow) {
      flickering = false;
      flickerOn = false;
      return;
    }
    flickerClock += frameMs;
    if (flickerClock >= flickerInterval) {
      flickerOn = !flickerOn;
      NewFlickerInterval();
    }
  } else if (f < kFlickerBelow) {
    flickering = true;
    flickerOn = true;
    NewFlickerInterval();
  }
}

bool GUI_BS_Shield::DrawBubbleAndImpacts(float frameMs, bool advance) {
  // A quiet shield leaves the units' batch alone.
  const bool bubbleWanted = (bubbleShown || flickerOn) && flickerEnabled;
  if (!bubbleWanted &&
      std::none_of(std::begin(impacts), std::end(impacts), [](const Impact& i) { return i.active; }))
    return false;
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  D3DEngine& e = GetRenderDevice();
  const float cx = (unit->x - map.viewLeft) * map.zoom;
  const float cy = (unit->y - map.viewTop) * map.zoom;
  bool drew = false;
  if ((bubbleShown || flickerOn) && flickerEnabled) {
    if (advance) bubbleElapsed += frameMs;
    const float d = std::clamp(bubbleElapsed / kBubbleMs, 0.0f, 1.0f);
    if (d < 1.0f) {
      vb.Flush();
      e.SetAdditiveBlend();
      bubble.SetSize(radius * 2.0f * map.zoom);
      bubble.SetAngle(cx, cy);
      const float a = flickerOn ? 255.0f : std::max((1.0f - d) * 255.0f, 0.25f * 255.0f);
      bubble.SetAlpha(static_cast<int>(a));
      bubble.Draw();
      vb.Flush();
      e.SetNormalBlend();
      drew = true;
    } else if (advance) {
      bubbleShown = false;
    }
  }
  vb.Flush();
  for (Impact& slot : impacts) {
    if (!slot.active) continue;
    if (advance) slot.elapsed += frameMs;
    if (slot.elapsed / kImpactMs >= 1.0f) {
      slot.active = false;
      continue;
    }
    e.SetAdditiveBlend();
    slot.sprite.SetSize(radius * 2.0f * map.zoom);
    slot.sprite.SetAngle(cx, cy);
    slot.sprite.Draw();
    drew = true;
  }
  vb.Flush();
  return drew;
}

void GUI_BS_Shield::Draw() {
  if (!unit) return;
  const float frameMs = WorldDetailFrameMs();
  const float f = CurrentFraction();
  UpdateFlicker(frameMs, f);
  const bool drew = DrawBubbleAndImpacts(frameMs, true);
  if (f <= 0.0f) {
    // An empty shield shows nothing more, flicker included, even if it recharges.
    flickerEnabled = false;
    flickering = false;
    flickerOn = false;
  }
  if (drew && LightMapActive()) {
    D3DEngine& e = GetRenderDevice();
    e.RememberRenderTarget();
    if (e.SetRenderTarget("rt_lightmap")) DrawBubbleAndImpacts(0.0f, false);
    e.RestoreRenderTarget();
  }
  bool anySpark = false;
  for (std::unique_ptr<Spark>& spark : sparks) {
    if (!spark) continue;
    spark->elapsed += frameMs;
    spark->progress =
        spark->duration > 0.0f ? std::clamp(spark->elapsed / spark->duration, 0.0f, 1.0f) : 1.0f;
    if (spark->progress >= 1.0f) spark.reset();
    anySpark = anySpark || spark != nullptr;
  }
  if (anySpark) GetGlobalVertexBuffer().Flush();
  if (drew) GetRenderDevice().SetNormalBlend();
}

void ShieldImpactHook(SIM_BattleUnit* unit, float volume, float x, float y) {
  GUI_BS_Shield* shield = GUI_BS_Shield::Of(unit);
  if (!shield) return;
  shield->OnImpact(volume, x, y);
  shield->AddDistortion();
}
