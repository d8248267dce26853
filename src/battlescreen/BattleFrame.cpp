#include "battlescreen/BattleFrame.h"

#include <algorithm>

#include "app/GameModes.h"
#include "app/Sounds.h"
#include "battle/Battle.h"
#include "battle/Gameplay.h"
#include "battle/MissileLauncher.h"
#include "battle/ProcessWide.h"
#include "battle/Projectiles.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleScreen.h"
#include "battlescreen/BattleSprites.h"
#include "battlescreen/Craters.h"
#include "battlescreen/DeviceResetSeam.h"
#include "battlescreen/GroundLayers.h"
#include "battlescreen/LightMapSeam.h"
#include "battlescreen/TightQuads.h"
#include "battlescreen/UnitVisuals.h"
#include "engine/D3DEngine.h"
#include "engine/Singletons.h"
#include "engine/Sprites.h"
#include "engine/Textures.h"
#include "engine/Timer.h"
#include "engine/VertexBuffer.h"
#include "gui/Cursor.h"
#include "gui/Tooltip.h"
#include "gui/WindowOrder.h"
#include "simdata/Options.h"
#include "simdata/Scenario.h"

namespace {
const char* const kWorldNames[kBattleWorldLayers + 1] = {
    "",
    "map",
    "path lines",
    "air-strike markers and health discs",
    "warp-outs",
    "range indicators",
    "effect indicators",
    "track marks",
    "ground debris",
    "unit refresh",
    "blood splats",
    "corpses and thrown guns",
    "hulks",
    "air drops",
    "dropped design",
    "blob shadows",
    "effects lower",
    "exhaust lower",
    "deployment overlay",
    "units",
    "muzzle flashes",
    "searchlights and flash lights",
    "unit emitters",
    "breakup shadows",
    "effects upper",
    "particle culling",
    "bullets",
    "rocket trails",
    "missiles",
    "top props",
    "top props light",
    "drifting smoke",
    "exhaust upper",
    "distortion",
    "atmosphere",
    "snow",
    "air-strike trails",
    "light map",
    "camera shake",
};
const char* const kHudNames[kBattleHudLayers + 1] = {
    "",
    "target markers",
    "selection box",
    "build progress",
    "selection outline",
    "path arrows",
    "support icons",
    "dog tags",
    "effect indicator update",
    "damage numbers",
    "first frame",
    "square overlay",
    "messages",
    "screen mode",
    "windows",
    "dropper cursor",
    "mouse cursor",
    "tooltips",
    "transition",
};

struct LayerSlots {
  BattleLayerDraw world[kBattleWorldLayers + 1] = {};
  BattleLayerDraw hud[kBattleHudLayers + 1] = {};
};
// Program wiring, like the other registrations: not reset between tests.
LayerSlots& Slots() {
  static LayerSlots slots;
  return slots;
}

platform::FrameCounters DeviceCounters() {
  platform::Device* d = GetRenderDevice().Device();
  return d ? d->Counters() : platform::FrameCounters();
}

// Runs one layer: the screen's own drawing, else the registered slot; records it.
template <typename Own>
void RunLayer(const std::string& name, Own own, BattleLayerDraw slot) {
  BattleFrameTrace& trace = GetBattleFrameTrace();
  const platform::FrameCounters before = trace.enabled ? DeviceCounters() : platform::FrameCounters();
  own();
  if (slot) slot();
  if (trace.enabled) {
    const platform::FrameCounters after = DeviceCounters();
    trace.entries.push_back(
        {name, after.draws - before.draws, after.PixelsTouched() - before.PixelsTouched()});
  }
}

void World(int layer) {
  RunLayer(
      std::string("world ") + std::to_string(layer) + " " + kWorldNames[layer], [] {}, Slots().world[layer]);
}
template <typename Own>
void World(int layer, Own own) {
  RunLayer(std::string("world ") + std::to_string(layer) + " " + kWorldNames[layer], own,
           Slots().world[layer]);
}
void Hud(int layer) {
  RunLayer(
      std::string("hud ") + std::to_string(layer) + " " + kHudNames[layer], [] {}, Slots().hud[layer]);
}
template <typename Own>
void Hud(int layer, Own own) {
  RunLayer(std::string("hud ") + std::to_string(layer) + " " + kHudNames[layer], own, Slots().hud[layer]);
}

int LightingMode() {
  const BattleFrameHooks& h = GetBattleFrameHooks();
  return h.lightingMode ? h.lightingMode() : 0;
}
bool LightOverride() {
  const BattleFrameHooks& h = GetBattleFrameHooks();
  return h.lightOverride && h.lightOverride();
}

// Clears a named target and returns to the one drawn before; a missing target is skipped.
void ClearNamedTarget(const char* name, uint32_t colour) {
  D3DEngine& e = GetRenderDevice();
  if (!e.HasTexture(name)) return;
  e.RememberRenderTarget();
  if (e.SetRenderTarget(name)) e.ClearTarget(colour);
  e.RestoreRenderTarget();
}

uint32_t AmbientColour() {
  const SIM_Scenario* s = BattleExists() ? GetBattle().scenario : nullptr;
  if (!s) return 0xFFFFFFFFu;
  auto c = [](int32_t v) { return static_cast<uint32_t>(std::clamp(v, 0, 255)); };
  // "lightmap_color" is red, green, blue, alpha.
  return c(s->lightMapColour[3]) << 24 | c(s->lightMapColour[0]) << 16 | c(s->lightMapColour[1]) << 8 |
         c(s->lightMapColour[2]);
}
}  // namespace

BattleLayerDraw SetBattleWorldLayer(int layer, BattleLayerDraw draw) {
  if (layer < 1 || layer > kBattleWorldLayers) return nullptr;
  BattleLayerDraw old = Slots().world[layer];
  Slots().world[layer] = draw;
  return old;
}

BattleLayerDraw SetBattleHudLayer(int layer, BattleLayerDraw draw) {
  if (layer < 1 || layer > kBattleHudLayers) return nullptr;
  BattleLayerDraw old = Slots().hud[layer];
  Slots().hud[layer] = draw;
  return old;
}

BattleFrameHooks& GetBattleFrameHooks() {
  static BattleFrameHooks hooks;
  return hooks;
}

BattleFrameTrace& GetBattleFrameTrace() { return ProcessWide<BattleFrameTrace>(); }

// ---- Fade threshold ----

FadeThreshold& FadeThreshold::Shared() { return ProcessWide<FadeThreshold>(); }

void FadeThreshold::Step() {
  ++frames;
  if (frames > 62) Retarget();
  if (current < target)
    current = std::min(current + 0.005f, target);
  else if (current > target)
    current = std::max(current - 0.005f, target);
}

void FadeThreshold::Retarget() {
  const float ratio = BattleExists() ? GetStepRateMeter().rate : 1.0f;
  // Fast frames let detail show from further out; slow ones push it in.
  target += ratio > 0.75f ? -0.05f : 0.05f;
  target = std::clamp(target, 0.0f, kCeiling);
}

float FadeByZoomAt(float zoom, const FadeThreshold& t) {
  if (zoom < t.current) return 0.0f;
  if (zoom > t.current + FadeThreshold::kBand) return 1.0f;
  return std::clamp((zoom - t.current) / FadeThreshold::kBand, 0.0f, 1.0f);
}

float GUI_BS_FadeByZoom(const FadeThreshold& t) { return FadeByZoomAt(GUI_BS_Map::Instance().zoom, t); }

// ---- Squad sound ----

SquadSoundLoop& SquadSoundLoop::Get() { return ProcessWide<SquadSoundLoop>(); }

namespace {
// The loop is heard louder the closer the camera is.
void SetSquadLoopVolume(const SquadSoundLoop& s) {
  if (!SoundsExist() || s.sound == -1) return;
  GUI_Sounds& sounds = GetSounds();
  if (platform::SoundEngine* engine = sounds.Engine())
    engine->SetVolume(s.sound, sounds.MasterVolume() * s.volumeScale);
}
}  // namespace

void SquadSoundUpdate() {
  SquadSoundLoop& s = SquadSoundLoop::Get();
  const float zoom = GUI_BS_Map::Instance().zoom;
  if (s.playing) {
    if (s.runningCount > 5) {
      const float scale = zoom * 0.125f;
      if (scale != s.volumeScale) {
        s.volumeScale = scale;
        SetSquadLoopVolume(s);
      }
    } else {
      if (SoundsExist() && s.sound != -1) GetSounds().StopSound(s.sound);
      s.playing = false;
      s.sound = -1;
    }
  } else if (s.runningCount > 5) {
    s.volumeScale = zoom * 0.125f;
    if (SoundsExist()) {
      GUI_Sounds& sounds = GetSounds();
      s.sound = sounds.PlaySoundFile("data/sounds/lb_squad_running.ogg", true,
                                     sounds.InterfaceVolume() * sounds.MasterVolume() * 0.75f, 0);
    }
    SetSquadLoopVolume(s);
    s.playing = true;
  }
  s.runningCount = 0;
}

void SquadSoundStop() {
  SquadSoundLoop* s = ProcessWideIfAlive<SquadSoundLoop>();
  if (!s || s->sound == -1) return;
  if (SoundsExist()) GetSounds().StopSound(s->sound);
  s->sound = -1;
  s->playing = false;
}

MissileDrawState& MissileDrawState::Get() { return ProcessWide<MissileDrawState>(); }

void GUI_BS_Missile::LoadTextures() {
  MissileDrawState& m = MissileDrawState::Get();
  m.flareTexture = FindOrLoadTexture("missile_flare.dds");
  m.missileTexture = FindOrLoadTexture("missile.dds");
}

namespace {

// The flare's flicker is only seen, so it draws from a generator of its own: what the
// camera shows never moves the battle's random stream.
float FlickerRandom() {
  static uint32_t state = 0x2F6B1u;
  static bool registered = (RegisterSingletonReset([] { state = 0x2F6B1u; }), true);
  (void)registered;
  state = state * 214013u + 2531011u;
  return static_cast<float>(((state >> 16) & 0x7FFFu) / 32768.0);
}

// The flare cells of "missile_flare.dds": a 4 by 4 sheet.
constexpr int kFlareCells = 16;

void QueueMissileSprite(CLoadedTexture* texture, float x, float y, float w, float h, float heading,
                        uint32_t colour, int cell) {
  CTexturedSprite s;
  s.texture = texture;
  s.SetSize(w, h);
  s.angle = heading;
  if (cell >= 0) SetSpriteFrameSquare(cell % kFlareCells, &s, kFlareCells);
  s.SetColour(colour);
  PlaceQuad(s.v, w, h, x, y, heading);
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  vb.SetTexture(texture);
  vb.AddVertices(s.v, 4);
}

void QueueFlares(const MissileDrawState& state) {
  for (SIM_MissileLauncherComponent* launcher : MissileLauncherList())
    for (SIM_Missile& m : launcher->missiles) {
      if (!m.alive || !m.hasFlare || m.fuel <= 0.0f) continue;
      const float flown = m.fuel - m.fuelLeft;
      const float grow = std::min(1.0f, flown / 100.0f);
      const float fuelFraction = m.fuelLeft / m.fuel;
      const float fade = std::clamp(fuelFraction / 0.05f, 0.0f, 1.0f);
      const float size = m.flareSize * grow * m.flareFlicker;
      if (size <= 0.0f) continue;
      const auto a = static_cast<uint32_t>(255.0f * fade);
      QueueMissileSprite(state.flareTexture, m.x, m.y, size, size, m.heading, (a << 24) | 0xFFFFFFu,
                         m.flareUvId);
    }
  GetGlobalVertexBuffer().Flush();
}

}  // namespace

void GUI_BS_Missile::DrawAll() {
  MissileDrawState& state = MissileDrawState::Get();
  if (!state.missileTexture || !state.flareTexture) LoadTextures();
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  const float frameStep = BattleExists() ? GetBattle().frameStep : 0.0f;
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  const int lighting = LightingMode();
  SetCameraTransform(map);
  bool anyFlare = false;
  for (SIM_MissileLauncherComponent* launcher : MissileLauncherList())
    for (SIM_Missile& m : launcher->missiles) {
      if (!m.alive) continue;
      // Every 400 ms of battle time the flare flickers to a new strength.
      m.flareTimer += frameStep;
      if (m.flareTimer >= 400.0f || m.flareFlicker <= 0.0f) {
        m.flareTimer = 0.0f;
        m.flareFlicker = 0.84f + 0.16f * FlickerRandom();
      }
      anyFlare = anyFlare || m.hasFlare;
      // The missile lights the ground under it, dimming as its fuel runs out.
      if (lighting != 0 && !map.IsOffScreen(m.x, m.y, 128.0f)) {
        const float fuelFade = m.fuel > 0.0f ? std::clamp(m.fuelLeft / m.fuel / 0.05f, 0.0f, 1.0f) : 1.0f;
        LightProjectile(m.x, m.y, m.heading, kMissileLightRadius, fuelFade);
      }
      if (map.IsOffScreen(m.x, m.y, std::max(m.width, m.height))) continue;
      QueueMissileSprite(state.missileTexture, m.x, m.y, m.width, m.height, m.heading, 0xFFFFFFFFu, -1);
    }
  vb.Flush();
  // Flares also light the light map while missiles that carry them fly.
  state.flareFlag = anyFlare;
  if (anyFlare) {
    const int oldBlend = vb.blendMode;
    vb.blendMode = 1;  // flares glow: additive
    QueueFlares(state);
    if (state.flareFlag && lighting != 0) {
      D3DEngine& e = GetRenderDevice();
      if (e.HasTexture("rt_lightmap")) {
        e.RememberRenderTarget();
        e.SetRenderTarget("rt_lightmap");
        QueueFlares(state);
        e.RestoreRenderTarget();
      }
    }
    vb.blendMode = oldBlend;
  }
  ClearCameraTransform();
}

// ---- The frame ----

void GUI_BattleScreen::DrawBattle() {
  // After a device reset the screen's own textures are relinked by name and the render
  // targets belong to the post-processor; the HUD rebuilds its deployment window.
  if (BattleScreenDeviceRebuiltFlag()) {
    ClearBattleScreenDeviceRebuiltFlag();
    ForgetShownParts();  // the textures are new
    ForgetDistortionRings();
    if (BattleScreenHooks& screen = GetBattleScreenHooks(); screen.deviceRebuilt) screen.deviceRebuilt();
  }
  D3DEngine& e = GetRenderDevice();
  const BattleFrameHooks& hooks = GetBattleFrameHooks();
  const BattleViewFlags& flags = GetBattleViewFlags();
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  GetBattleFrameTrace().entries.clear();

  // Prologue.
  ++fightingFrames;
  ++frameCount;
  const uint64_t now = ClockMilliseconds();
  if (lastFrameMs != 0 && now >= lastFrameMs) elapsedMs += static_cast<float>(now - lastFrameMs);
  lastFrameMs = now;
  FadeThreshold::Shared().Step();
  if (hooks.preparePostProcess) hooks.preparePostProcess();
  SquadSoundUpdate();
  if (hooks.stepVoices) hooks.stepVoices();
  const int lighting = LightingMode();
  if (lighting != 0)
    ClearNamedTarget("rt_lightmap", LightOverride() && hooks.lightOverrideColour ? hooks.lightOverrideColour()
                                                                                 : AmbientColour());
  if (LightOverride() && hooks.advanceFlashTimer) hooks.advanceFlashTimer();
  if (firstFramePending && hooks.buildInfantryComposites) hooks.buildInfantryComposites();

  // World layers, bottom to top.
  World(WL_MAP, [&] { map.UpdateAndDraw(); });
  World(WL_PATH_LINES);
  if (flags.showHud) World(WL_AIRSTRIKE_MARKERS_AND_HEALTH);
  for (int layer = WL_WARP_OUTS; layer <= WL_UNIT_REFRESH; ++layer) World(layer);
  World(WL_BLOOD, [] { BloodSplatLayer::Get().Draw(); });
  World(WL_CORPSES);
  World(WL_HULKS);
  World(WL_AIR_DROPS);
  if (hooks.dropperHoldsDesign && hooks.dropperHoldsDesign()) World(WL_DROPPED_DESIGN);
  World(WL_BLOB_SHADOWS);
  World(WL_EFFECTS_LOWER, [] { GUI_BS_EffectsManager::Instance().DrawLayer(0); });
  World(WL_EXHAUST_LOWER);
  World(WL_DEPLOYMENT_OVERLAY);
  World(WL_UNITS, [] {
    GUI_BS_UnitManager& units = GUI_BS_UnitManager::Instance();
    units.Update();
    units.DrawAll();
  });
  World(WL_MUZZLE_FLASHES);
  if (lighting != 0) World(WL_SEARCHLIGHTS_AND_FLASH_LIGHTS);
  World(WL_UNIT_EMITTERS);
  World(WL_BREAKUP_SHADOWS);
  World(WL_EFFECTS_UPPER, [] { GUI_BS_EffectsManager::Instance().DrawLayer(1); });
  for (int layer = WL_PARTICLE_CULLING; layer < WL_MISSILES; ++layer) World(layer);
  World(WL_MISSILES, [] { GUI_BS_Missile::DrawAll(); });
  World(WL_TOP_PROPS, [] { DrawTopGroup(); });
  if (lighting != 0) World(WL_TOP_PROPS_LIGHT, [] { DrawTopGroupLight(); });
  World(WL_DRIFTING_SMOKE);
  World(WL_EXHAUST_UPPER);
  if (SIM_Options::Get().IsOn("DISTORTION")) World(WL_DISTORTION);
  for (int layer = WL_ATMOSPHERE; layer <= WL_CAMERA_SHAKE; ++layer) World(layer);

  // Whatever a layer left the blend in, the composite starts from normal alpha blending.
  GetGlobalVertexBuffer().Flush();
  e.MarkBlendDirty();
  e.SetNormalBlend();
  RunLayer(
      "post-process",
      [&] {
        if (hooks.runPostProcess) hooks.runPostProcess();
      },
      nullptr);

  // HUD and screen layers.
  if (flags.showHud)
    for (int layer = HL_TARGET_MARKERS; layer <= HL_EFFECT_INDICATOR_UPDATE; ++layer) Hud(layer);
  if (flags.showHud && flags.showDamage) Hud(HL_DAMAGE_NUMBERS);
  if (firstFramePending) Hud(HL_FIRST_FRAME, [&] { firstFramePending = false; });
  Hud(HL_SQUARE_OVERLAY);
  if (flags.showHud) Hud(HL_MESSAGES);
  Hud(HL_SCREEN_MODE, [] { ClearCameraTransform(); });
  Hud(HL_WINDOWS, [] { GetWindowOrder().Draw(); });
  Hud(HL_DROPPER_CURSOR);
  Hud(HL_MOUSE_CURSOR, [] { GetGUICursor().Draw(); });
  if (flags.showHud) Hud(HL_TOOLTIPS, [] { GUI_Tooltip::DrawQueued(); });
  Hud(HL_TRANSITION, [] {
    if (StandardModeLayer transition = StandardModeTransition()) transition();
  });
  GetGlobalVertexBuffer().Flush();
}
