#pragma once
// Two pooled smoke effects: drifting smoke, which takes over aged smoke of burning ground
// and lets it drift, grow and rise with a soft shadow; and exhaust, the dust, snow or sand
// tracked vehicles kick up, drawn below the units while fresh and above them as it ages.
#include <array>
#include <string>
#include <vector>

#include "battlescreen/RenderObject.h"
#include "engine/Sprites.h"

struct GUI_BS_HeatParticle;
class CLoadedTexture;

struct GUI_BS_DriftingSmokeSprite {
  GUI_BS_3DWorldObject world;
  BaseSprite smoke, shadow;
  float alpha = 0, angle = 0, size = 0, startSize = 0;
  float velocityX = 0, velocityY = 0, growth = 0;
  bool active = false;
  float height = 1.0f;
};

class GUI_BS_DriftingSmoke {
 public:
  static constexpr int kSprites = 100;
  static GUI_BS_DriftingSmoke& Instance();
  GUI_BS_DriftingSmoke();
  virtual ~GUI_BS_DriftingSmoke();
  // Takes the first free sprite; false (nothing) when all are busy.
  bool AddFromParticle(const GUI_BS_HeatParticle& particle, float growth);
  void Draw();
  void Clear();
  int ActiveCount() const;
  CLoadedTexture* texture = nullptr;
  std::array<GUI_BS_DriftingSmokeSprite, kSprites> sprites;
  int highestUsed = -1;
};

struct ExhaustKind {
  std::string name;
  float MinSize = 0, MaxSize = 0;
  int MinUV = 0, MaxUV = 0;
  float Lifetime = 0, Spacing = 0;
};
constexpr int kExhaustKinds = 9;
// Null when the name is not one of the nine.
const ExhaustKind* ExhaustKindFind(const std::string& name);
// Reads data/exhaust.ini again (first use reads it too).
void ExhaustKindsLoad();

struct GUI_BS_ExhaustPuff {
  bool active = false;
  float endSize = 0, startSize = 0;
  BaseSprite quad;
  float angle = 0, spin = 0, alpha = 0, elapsed = 0, x = 0, y = 0, progress = 0, lifetime = 1;
  int stage = 0;
};

class GUI_BS_Exhaust {
 public:
  static constexpr int kPuffs = 60;
  explicit GUI_BS_Exhaust(const ExhaustKind* kind);
  virtual ~GUI_BS_Exhaust();
  GUI_BS_Exhaust(const GUI_BS_Exhaust&) = delete;
  GUI_BS_Exhaust& operator=(const GUI_BS_Exhaust&) = delete;
  void Emit(float x, float y);
  // Pass 0 advances the puffs; each pass queues what it shows.
  void DrawPass(int pass);
  float lastX = 0, lastY = 0;
  std::array<GUI_BS_ExhaustPuff, kPuffs> puffs;
  std::array<int, kPuffs> activeList{};
  int activeCount = 0;
  const ExhaustKind* kind = nullptr;
  bool hasEmitted = false;
};

std::vector<GUI_BS_Exhaust*>& ExhaustList();
void ExhaustDrawAll(int pass);
// The battle screen's exhaust requests: each goes to the pooled emitter of that kind that
// last puffed nearby, else to an idle one; none free drops the puff.
void ExhaustRequest(const std::string& kindName, float x, float y);
void ExhaustPoolClear();
