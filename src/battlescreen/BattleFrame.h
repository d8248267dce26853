#pragma once
// One battle frame in its fixed order: a prologue, 38 world layers bottom to top, the
// post-processing chain, then the HUD and screen layers. The battle screen draws the
// layers it owns; the effects and the HUD, which sit above it, put their drawing into
// the slots declared here at start-up. An empty slot draws nothing.
#include <cstdint>
#include <string>
#include <vector>

constexpr int kBattleWorldLayers = 38;
constexpr int kBattleHudLayers = 18;

// World layers, numbered as drawn (1 is the ground, 38 the camera shake).
enum BattleWorldLayer {
  WL_MAP = 1,
  WL_PATH_LINES,
  WL_AIRSTRIKE_MARKERS_AND_HEALTH,
  WL_WARP_OUTS,
  WL_RANGE_INDICATORS,
  WL_EFFECT_INDICATORS,
  WL_TRACK_MARKS,
  WL_GROUND_DEBRIS,
  WL_UNIT_REFRESH,
  WL_BLOOD,
  WL_CORPSES,
  WL_HULKS,
  WL_AIR_DROPS,
  WL_DROPPED_DESIGN,
  WL_BLOB_SHADOWS,
  WL_EFFECTS_LOWER,
  WL_EXHAUST_LOWER,
  WL_DEPLOYMENT_OVERLAY,
  WL_UNITS,
  WL_MUZZLE_FLASHES,
  WL_SEARCHLIGHTS_AND_FLASH_LIGHTS,
  WL_UNIT_EMITTERS,
  WL_BREAKUP_SHADOWS,
  WL_EFFECTS_UPPER,
  WL_PARTICLE_CULLING,
  WL_BULLETS,
  WL_ROCKET_TRAILS,
  WL_MISSILES,
  WL_TOP_PROPS,
  WL_TOP_PROPS_LIGHT,
  WL_DRIFTING_SMOKE,
  WL_EXHAUST_UPPER,
  WL_DISTORTION,
  WL_ATMOSPHERE,
  WL_SNOW,
  WL_AIRSTRIKE_TRAILS,
  WL_LIGHT_MAP,
  WL_CAMERA_SHAKE,
};

// HUD and screen layers, numbered as drawn after the post-processing.
enum BattleHudLayer {
  HL_TARGET_MARKERS = 1,
  HL_SELECTION_BOX,
  HL_BUILD_PROGRESS,
  HL_SELECTION_OUTLINE,
  HL_PATH_ARROWS,
  HL_SUPPORT_ICONS,
  HL_DOG_TAGS,
  HL_EFFECT_INDICATOR_UPDATE,
  HL_DAMAGE_NUMBERS,
  HL_FIRST_FRAME,
  HL_SQUARE_OVERLAY,
  HL_MESSAGES,
  HL_SCREEN_MODE,
  HL_WINDOWS,
  HL_DROPPER_CURSOR,
  HL_MOUSE_CURSOR,
  HL_TOOLTIPS,
  HL_TRANSITION,
};

using BattleLayerDraw = void (*)();
// Start-up wiring of the layers other subsystems own (kept through tests' resets).
// Returns the slot's previous drawer.
BattleLayerDraw SetBattleWorldLayer(int layer, BattleLayerDraw draw);
BattleLayerDraw SetBattleHudLayer(int layer, BattleLayerDraw draw);

// The frame's other partners: the post-processor, the light map, the deployment
// dropper, the voices and the infantry compositor. Unset ones are skipped; an unset
// lighting mode is 0 (none).
struct BattleFrameHooks {
  void (*preparePostProcess)() = nullptr;
  void (*runPostProcess)() = nullptr;
  int (*lightingMode)() = nullptr;
  bool (*lightOverride)() = nullptr;
  uint32_t (*lightOverrideColour)() = nullptr;
  void (*advanceFlashTimer)() = nullptr;
  void (*stepVoices)() = nullptr;
  void (*buildInfantryComposites)() = nullptr;
  bool (*dropperHoldsDesign)() = nullptr;
};
BattleFrameHooks& GetBattleFrameHooks();

// What one frame did, layer by layer, with the device's draw calls and the pixels each
// touched (drawn and cleared), and the post-processing passes that ran (tests and the
// benchmark switch it on).
struct BattleFrameTrace {
  struct Entry {
    std::string name;
    uint64_t draws = 0;
    uint64_t pixels = 0;
  };
  bool enabled = false;
  std::vector<Entry> entries;
};
BattleFrameTrace& GetBattleFrameTrace();

// The zoom from which detail objects show, drifting with how fast the frames run.
struct FadeThreshold {
  static constexpr float kCeiling = 2.0f;
  static constexpr float kBand = 0.2f;
  static FadeThreshold& Shared();
  void Step();
  void Retarget();
  int32_t frames = 0;
  float current = 0.5f;
  float target = 0.5f;
};
// 0 below the threshold, 1 above threshold + 0.2, linear between (at the current zoom).
float GUI_BS_FadeByZoom(const FadeThreshold& threshold);
float FadeByZoomAt(float zoom, const FadeThreshold& threshold);

// The running-squad loop: counted during the frame, played while more than 5 run.
struct SquadSoundLoop {
  static SquadSoundLoop& Get();
  int sound = -1;
  bool playing = false;
  int32_t runningCount = 0;
  float volumeScale = 0.0f;
};
void SquadSoundUpdate();
void SquadSoundStop();

struct MissileDrawState {
  static MissileDrawState& Get();
  bool flareFlag = false;
  class CLoadedTexture* flareTexture = nullptr;
  class CLoadedTexture* missileTexture = nullptr;
};
namespace GUI_BS_Missile {
// How far a missile's light reaches, in world units.
constexpr float kMissileLightRadius = 48.0f;
void LoadTextures();
// The missiles in flight, then their flares (also into the light map when lit); in a lit
// battle each missile near the view also lights the ground around it.
void DrawAll();
}  // namespace GUI_BS_Missile
