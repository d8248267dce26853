#include "battlehud/DogTags.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

#include "app/Sounds.h"
#include "battle/DogTags.h"
#include "battlehud/HudBatch.h"
#include "battlehud/LiveUnits.h"
#include "battlehud/UnitOverlays.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleSprites.h"
#include "effects/Explosions.h"
#include "effects/ParticleSystem.h"
#include "engine/Strings.h"
#include "engine/Textures.h"

namespace {
constexpr float kPi = 3.14159265358979f;
constexpr float kTagSide = 32.0f;
constexpr float kPulseMs = 500.0f;
constexpr float kFadeInMs = 100.0f;
}  // namespace

GUI_BS_DogTagManager& GUI_BS_DogTagManager::Instance() {
  static GUI_BS_DogTagManager manager;
  return manager;
}

GUI_BS_DogTag& GUI_BS_DogTagManager::LookOf(const SIM_DogTag* tag) {
  auto it = looks_.find(tag);
  if (it != looks_.end()) return it->second;
  GUI_BS_DogTag look;
  // A stream of the HUD's own: how tags lie never moves the effects' or the battle's.
  static uint32_t seed = 0x9E3779B9u;
  seed = seed * 1664525u + 1013904223u;
  look.angle = float(seed >> 8) / float(1u << 24) * 360.0f;
  return looks_.emplace(tag, look).first->second;
}

const GUI_BS_DogTag* GUI_BS_DogTagManager::Look(const SIM_DogTag* tag) const {
  auto it = looks_.find(tag);
  return it == looks_.end() ? nullptr : &it->second;
}

void GUI_BS_DogTagManager::Prune() {
  const auto& tags = GetDogTagManager().tags;
  for (auto it = looks_.begin(); it != looks_.end();) {
    bool listed = false;
    for (const auto& t : tags)
      if (t.get() == it->first) listed = true;
    it = listed ? std::next(it) : looks_.erase(it);
  }
}

void GUI_BS_DogTagManager::Draw() {
  Prune();
  const auto& tags = GetDogTagManager().tags;
  if (tags.empty()) return;
  const float ms = HudBattleFrameMs();
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  ++textureBinds;
  HudBeginKind(FindOrLoadTexture("dogtags.dds"), 0);
  for (const auto& t : tags) {
    GUI_BS_DogTag& look = LookOf(t.get());
    look.side = 0.0f;
    if (map.IsOffScreen(t->x, t->y, 100.0f)) continue;
    look.pulseTimer += ms;
    float p = look.pulseTimer / kPulseMs;
    if (p > 1.0f) {
      look.pulseTimer = 0.0f;
      p -= 1.0f;
    }
    const float s = std::sin(p * kPi);
    look.fadeTimer += ms;
    const float c = std::fmin(std::fmax(look.fadeTimer / kFadeInMs, 0.0f), 1.0f);
    HudWorldToScreen(t->x, t->y, &look.screenX, &look.screenY);
    look.side = kTagSide * map.zoom;
    const uint32_t glint = (uint32_t(std::fmax(c * s, 0.0f) * 255.0f) << 24) | 0x00E2B101u;
    const uint32_t tag = (uint32_t(c * 255.0f) << 24) | 0x00FFFFFFu;
    HudSprite(look.screenX, look.screenY, look.side, look.side, 0.5f, 1.0f, look.angle, glint);
    HudSprite(look.screenX, look.screenY, look.side, look.side, 0.0f, 0.5f, look.angle, tag);
  }
  HudEndKind();
}

int GUI_BS_DogTagManager::ProcessClicks(float mouseX, float mouseY) {
  DogTagList& list = GetDogTagManager();
  const float zoom = GUI_BS_Map::Instance().zoom;
  std::vector<SIM_DogTag*> collected;
  for (const auto& t : list.tags) {
    float sx, sy;
    HudWorldToScreen(t->x, t->y, &sx, &sy);
    const float dx = mouseX - sx, dy = mouseY - sy;
    if (std::sqrt(dx * dx + dy * dy) < kTagSide * zoom) collected.push_back(t.get());
  }
  for (SIM_DogTag* t : collected) {
    const float x = t->x, y = t->y;
    char text[128];
    std::snprintf(text, sizeof text, "+%d %s", t->value, GetTranslation("DOGTAG_SUPPLIES").c_str());
    FloatingTextAdd(text, x, y);
    if (GUI_ParticleEmmiterGroup* g = CreateExplosionEmitterGroup("dogtag_collect", x, y))
      GUI_BS_EffectsManager::Instance().Add(g);
    if (SoundsExist()) {
      GUI_Sounds& sounds = GetSounds();
      sounds.PlaySoundFile("data/sounds/dogtag_collect.ogg", false,
                           sounds.EffectsVolume() * sounds.MasterVolume(), 0);
    }
    looks_.erase(t);
    list.Collect(t);  // supplies and the counter; the tag is gone after this
  }
  return int(collected.size());
}
