#pragma once
// Hits leave marks: a crater decal on the ground and, for heavy hits, a short cloud of
// ground-blast particles. Shock waves, shield hits and hot air bend the finished picture:
// the distortion manager draws them into "rt_distortion" as red-green offsets around
// mid-grey, which the post-processing reads.
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "battlescreen/GroundLayers.h"
#include "engine/Sprites.h"

class GUI_BS_RenderObject;
class SIM_BattleUnit;

class GUI_BS_Crater : public GUI_BS_GroundProp {
 public:
  static constexpr int kMaxPerSquare = 10;
  static constexpr float kMinSize = 8.0f;
  static constexpr float kFadeMs = 500.0f;

  // A hit of `size` at (x, y): a crater (at most ten a square unless forced) and, above
  // size 50, ground blast emitters. Returns the crater made, or null.
  static GUI_BS_Crater* CreateGroundBlast(bool forced, float size, float x, float y);
  // The prop type a crater of that size draws with: "smallimpact1".."4" below 32,
  // "bigimpact1".."3" from 32 on; `pick` in 0..1 chooses the number.
  static std::string PropTypeName(float size, float pick);
  // Every crater of the battle (owned; the ground layers only list them).
  static std::list<std::unique_ptr<GUI_BS_Crater>>& List();
  static void Clear();
  // Fades in the new craters (once per frame).
  static void AdvanceAll(float frameMs);

  void Advance(float frameMs);

  bool fading = true;
  float elapsed = 0.0f;
  float craterSize = kMinSize;
  float rotation = 0.0f;
  std::string propTypeName;
  float alpha = 0.0f;
};

// The distortion of a shield hit, owned by its shield and listed while it plays.
struct GUI_BS_ShieldDistortion {
  SIM_BattleUnit* unit = nullptr;
  CTexturedSprite sprite;
  float elapsed = 0.0f;
  float duration = 400.0f;
  float size = 0.0f;
  void* shield = nullptr;
};

class GUI_BS_DistortionManager {
 public:
  struct Shockwave {
    float x = 0.0f, y = 0.0f;
    float startSize = 0.0f, endSize = 0.0f;
    float duration = 0.0f;
    float peakAlpha = 0.0f;
    float elapsed = 0.0f;
    CTexturedSprite sprite;
  };
  static constexpr float kHazeCycleMs = 39000.0f;
  static constexpr int kMaxHeatObjects = 256;

  static GUI_BS_DistortionManager& Instance();
  virtual ~GUI_BS_DistortionManager() = default;

  void AddShockwave(float x, float y, float startSize, float endSize, float duration, float peakAlpha);
  // A shield's hit: listed once; a second hit restarts it.
  void AddShieldDistortion(GUI_BS_ShieldDistortion* record);
  // Its shield is going: the record leaves the list.
  void RemoveShieldDistortion(GUI_BS_ShieldDistortion* record);
  // Hot air that wants bending this frame (burning ground); a full frame drops the rest.
  void QueueHeat(GUI_BS_RenderObject* object);
  // Battle start: reads the option "DISTORTION" and empties every list.
  void Reset();
  // Makes "rt_distortion" the target for the rest of the pass (once a frame) and clears
  // it to neutral grey, so a frame with nothing distorting neither clears nor composites
  // it; false when there is no such target (nothing may then be drawn: it would land on
  // the picture).
  bool BeginTarget();
  // The distortion pass: shock waves, shield hits, heat, the desert's haze.
  void Draw(float frameMs);
  // Whether the pass will draw anything this frame.
  bool HasDistortion(bool desertHaze) const;
  // Whether the last pass drew anything into "rt_distortion" (the composite needs it).
  bool DrewThisFrame() const { return drewThisFrame; }
  // The screen rectangle the last pass drew into (whole pixels, left and top inside,
  // right and bottom outside); outside it the target is neutral grey.
  struct Box {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool Empty() const { return right <= left || bottom <= top; }
  };
  Box DrawnBox() const { return drawnBox; }
  // The same drawing as separate boxes (apart from one another, each whole pixels as
  // above): far-apart hits are bent each in its own box, not over the space between.
  const std::vector<Box>& DrawnBoxes() const { return drawnBoxes; }
  static constexpr size_t kMaxBoxes = 24;
  // Shock wave alpha at fraction t of its life.
  static float ShockwaveAlpha(float t, float peak) { return (1.0f - t) * peak * 255.0f; }
  // Shield distortion alpha at fraction t: rises over the first quarter, then falls.
  static float ShieldAlpha(float t);

  // The effects layer draws the queued heat (its particles) into the current target,
  // growing the drawn box by each quad it draws (GrowBoxByWorldQuad).
  using HeatDrawer = void (*)(GUI_BS_RenderObject* object);
  HeatDrawer heatDrawer = nullptr;

  bool enabled = false;
  float hazeClock = 0.0f;
  // The desert's haze sheet: the manager's own, so it lets go of its texture with it.
  CTexturedSprite haze;
  bool targetActive = false;
  bool drewThisFrame = false;
  // What the target holds besides grey: this frame's drawing, and the last frame's
  // (cleared away at the next pass). Unknown (a new target, a new battle): all of it.
  Box drawnBox;
  std::vector<Box> drawnBoxes, heldBoxes;
  bool heldKnown = false;
  const void* heldTarget = nullptr;  // the device texture the boxes describe
  void GrowBox(const BaseSprite& sprite);
  // Grows the drawn box by a quad placed in world units, drawn through the camera.
  void GrowBoxByWorldQuad(const GVertex quad[4]);
  void GrowBoxToScreen();
  void GrowBoxBy(const Box& box);
  std::list<std::unique_ptr<Shockwave>> shockwaves;
  std::vector<GUI_BS_ShieldDistortion*> shields;
  std::vector<GUI_BS_RenderObject*> heat;
};

void ConnectCraters();
// Forgets the measured shapes of the distortion rings' art (textures reloaded).
void ForgetDistortionRings();
