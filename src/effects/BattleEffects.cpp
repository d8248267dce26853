#include "effects/BattleEffects.h"

#include <algorithm>
#include <unordered_map>

#include "battle/BattleHooks.h"
#include "battlescreen/BattleFrame.h"
#include "battlescreen/BattleScreen.h"
#include "battlescreen/BattleSprites.h"
#include "battlescreen/Craters.h"
#include "battlescreen/LightMapSeam.h"
#include "battlescreen/Searchlights.h"
#include "effects/EffectsCommon.h"
#include "effects/EffectsSeam.h"
#include "effects/HeatEmitters.h"
#include "effects/LightMap.h"
#include "effects/ParticleSystem.h"
#include "effects/PostProcessing.h"
#include "effects/Smoke.h"
#include "effects/UnitEmitters.h"
#include "engine/Singletons.h"
#include "simdata/Options.h"

namespace {
// The light radius of a gun's flash, in world units.
constexpr float kGunFlashRadius = 40.0f;
constexpr int kFlashParticles = 3;

void DrawExhaustLower() { ExhaustDrawAll(0); }
void DrawExhaustUpper() { ExhaustDrawAll(1); }
void DrawMuzzleFlashes() {
  FlamethrowersDraw();
  MuzzleFlashDraw();
}
// Only in a lit battle: the free searchlights' beams go on the light map's world list.
void DrawSearchlights() { GUI_BS_SearchlightManager::Instance().DrawAll(); }
void DrawDriftingSmoke() { GUI_BS_DriftingSmoke::Instance().Draw(); }
void DrawLightMap() {
  GUI_BS_LightmapManager::Instance().Render();
  // The additive glow copies of the frame go in first, in one target switch.
  LightmapFlushQueued();
  LightmapDrawLists::Instance().RenderWorldList(true);
}
}  // namespace

void EffectsBattleStart() {
  EffectsSeedRandom(0x5EED26u);
  ParticleGroupsClearLists();
  MuzzleFlashPoolInit();
  FlamethrowersClear();
  DrawListsReset();
  GUI_BS_DriftingSmoke::Instance().Clear();
  ExhaustPoolClear();
  GUI_BS_PostProcessor::Instance().LoadShaders();
}

void EffectsBattleEnd() {
  FlamethrowersClear();
  GUI_BS_LightmapManager::Instance().Clear();
  ParticleGroupsClearLists();
  DrawListsReset();
  GUI_BS_DriftingSmoke::Instance().Clear();
  ExhaustPoolClear();
}

void ConnectBattleEffects() {
  SetBattleWorldLayer(WL_EXHAUST_LOWER, DrawExhaustLower);
  SetBattleWorldLayer(WL_MUZZLE_FLASHES, DrawMuzzleFlashes);
  SetBattleWorldLayer(WL_SEARCHLIGHTS_AND_FLASH_LIGHTS, DrawSearchlights);
  SetBattleWorldLayer(WL_PARTICLE_CULLING, ParticleGroupsCull);
  SetBattleWorldLayer(WL_DRIFTING_SMOKE, DrawDriftingSmoke);
  SetBattleWorldLayer(WL_EXHAUST_UPPER, DrawExhaustUpper);
  SetBattleWorldLayer(WL_LIGHT_MAP, DrawLightMap);

  BattleFrameHooks& frame = GetBattleFrameHooks();
  frame.preparePostProcess = [] { GUI_BS_PostProcessor::Instance().PrepareFrame(); };
  frame.runPostProcess = [] { GUI_BS_PostProcessor::Instance().RunCommandList(); };
  frame.lightingMode = [] { return GUI_BS_LightmapManager::Instance().mode; };
  frame.lightOverride = [] { return GUI_BS_LightmapManager::Instance().nightVisionOverride; };
  frame.lightOverrideColour = [] { return GUI_BS_LightmapManager::Instance().ambient; };

  BattleScreenHooks& screen = GetBattleScreenHooks();
  screen.toggleNightVision = NightVisionToggle;
  screen.effectsBattleStart = EffectsBattleStart;
  screen.effectsBattleEnd = EffectsBattleEnd;

  BattleHooks& battle = GetBattleHooks();
  battle.readLighting = [](SIM_Scenario* scenario) {
    GUI_BS_LightmapManager::Instance().ReadBattleLighting(scenario);
  };
  battle.flameBurst = FlameBurstChanged;
  battle.weaponFlash = [](float x, float y, float heading) {
    MuzzleFlashSpawn(kFlashParticles, x, y, heading);
    GUI_BS_LightmapManager::Instance().AddFlash(x, y, kGunFlashRadius);
  };

  LightMapSeam& unitLights = GetLightMapSeam();
  unitLights.unitLighting = [] {
    const GUI_BS_LightmapManager& m = GUI_BS_LightmapManager::Instance();
    if (m.mode == 0) return int(LightMapSeam::UNITS_UNLIT);
    if (m.nightVisionOverride) return int(LightMapSeam::UNITS_NIGHT_VISION);
    return int(m.compositeWanted ? LightMapSeam::UNITS_LIT : LightMapSeam::UNITS_UNLIT);
  };
  unitLights.addFaded = DrawListAddFaded;
  unitLights.addLight = DrawListAddLight;
  unitLights.addOverlay = DrawListAddOverlay;
  unitLights.addDamageGlow = [](GUI_BS_Sprite* sprite) { return DrawListAddDamageGlow(sprite); };
  unitLights.renderUnitList = [] { LightmapDrawLists::Instance().RenderUnitList(); };
  unitLights.projectileLight = LightmapAddProjectileLight;
  SetDamageGlowDraw([](void* sprite) { static_cast<GUI_BS_Sprite*>(sprite)->DrawDamageMarkGlow(); });
  GetUnitEffectHooks().request = TakeBattleEffectRequest;
  GetUnitEffectHooks().extinguishFires = GroundFireExtinguish;
  ConnectUnitEmitters();
  SetDistortionRegisterHook(
      [](GUI_BS_RenderObject* o) { GUI_BS_DistortionManager::Instance().QueueHeat(o); });
  SetDistortionForgetHook([](GUI_BS_RenderObject* o) {
    if (auto* d = ProcessWideIfAlive<GUI_BS_DistortionManager>())
      d->heat.erase(std::remove(d->heat.begin(), d->heat.end(), o), d->heat.end());
  });
  // The composite runs only over a distortion target something was drawn into this frame.
  SetDistortionPendingQuery([](bool) { return GUI_BS_DistortionManager::Instance().DrewThisFrame(); });
  SetDistortionBoxQuery([](int index, int box[4]) {
    const std::vector<GUI_BS_DistortionManager::Box>& boxes =
        GUI_BS_DistortionManager::Instance().DrawnBoxes();
    if (index < 0 || size_t(index) >= boxes.size()) return false;
    const GUI_BS_DistortionManager::Box& b = boxes[size_t(index)];
    box[0] = b.left;
    box[1] = b.top;
    box[2] = b.right;
    box[3] = b.bottom;
    return true;
  });
  // Burning ground's haze bends the picture: its hidden particles, faded with the fire.
  GUI_BS_DistortionManager::Instance().heatDrawer = [](GUI_BS_RenderObject* o) {
    auto* g = dynamic_cast<GUI_BS_GroundEmitter*>(o);
    if (!g || !g->haze) return;
    g->haze->alphaScale = g->fade;
    g->haze->Draw();
    // The picture bends only where the haze's particles landed.
    GUI_BS_DistortionManager& distortion = GUI_BS_DistortionManager::Instance();
    for (int i = 0; i < g->haze->highWater; ++i) {
      const GUI_BaseParticle& p = g->haze->particles[size_t(i)];
      if (p.drawn && p.quad) distortion.GrowBoxByWorldQuad(p.quad);
    }
  };
  SearchlightLightHooks& lights = GetSearchlightLightHooks();
  lights.lightMapActive = [] { return GUI_BS_LightmapManager::Instance().Active(); };
  lights.addWorldLight = [](CTexturedSprite* sprite) { DrawListAdd(0, sprite); };
  lights.addDrawnLight = [](void (*draw)(void*), void* object) {
    // One adapter per drawing object, kept at a stable address for the list's entries.
    struct DrawnLight : LightmapDrawable {
      void (*draw)(void*) = nullptr;
      void* object = nullptr;
      void DrawLightmap() override {
        if (draw) draw(object);
      }
    };
    static auto* adapters = new std::unordered_map<void*, DrawnLight>();
    DrawnLight& light = (*adapters)[object];
    light.draw = draw;
    light.object = object;
    DrawListAdd(4, &light);
  };
}
