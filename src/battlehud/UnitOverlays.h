#pragma once
// Small overlays over the battlefield: damage numbers rising from hit units, floating
// texts rising from a map point, the health disc under a unit (its health split into
// internal, armour and shield shares) and support-area discs.
#include <array>
#include <cstdint>
#include <list>
#include <string>

class SIM_BattleUnit;
class HudLiveUnits;

struct GUI_BS_DamageFeedback {
  bool active = false;
  std::string text;
  const SIM_BattleUnit* unit = nullptr;  // not owned; checked alive every frame
  float offsetX = 0.0f, offsetY = 0.0f;
  float elapsed = 0.0f;
  uint32_t colour = 0xFFFFFFFFu;
  bool fixed = false;
  float fixedX = 0.0f, fixedY = 0.0f;
};

class GUI_BS_DamageFeedbackPool {
 public:
  static constexpr int kSize = 100;
  static constexpr float kLifeMs = 500.0f;
  static GUI_BS_DamageFeedbackPool& Instance();

  // kind 0 shield, 1 armour, 2 internal; (ox, oy) the hit point in the unit's frame.
  void Add(const SIM_BattleUnit* unit, float amount, int kind, float ox, float oy);
  // The impact point of the pending number, when it belongs to that unit.
  void CompletePending(const SIM_BattleUnit* unit, float x, float y);
  // Ages and prints every active number (frame time ms).
  void Draw(const HudLiveUnits& live, float frameMs);
  void Clear();
  int ActiveCount() const;

  std::array<GUI_BS_DamageFeedback, kSize> records;
  GUI_BS_DamageFeedback* pending = nullptr;
};

struct GUI_BS_FloatingText {
  float x = 0.0f, y = 0.0f;
  float elapsed = 0.0f;
  std::string text;
  float width = 0.0f;
  float drawnY = 0.0f;  // the last screen y (tests)
};

class GUI_BS_FloatingTexts {
 public:
  static constexpr float kLifeMs = 2000.0f;
  static constexpr float kRisePixels = 200.0f;
  static GUI_BS_FloatingTexts& Instance();
  void Add(const std::string& text, float x, float y);
  void Draw(float frameMs);
  void Clear() { texts.clear(); }
  std::list<GUI_BS_FloatingText> texts;
};
void FloatingTextAdd(const std::string& text, float x, float y);

// A unit's health disc: from the three pool maxima, the share each pool holds of the
// whole; drawn from the pools' current fractions.
class GUI_BS_HealthDisc {
 public:
  static constexpr uint32_t kGreen = 0x7832DC32u, kRed = 0x78783232u, kBlue = 0x783232DCu,
                            kLost = 0x78000000u;
  struct Arc {
    float from = 0.0f, sweep = 0.0f;
    uint32_t colour = 0;
    int triangles = 0;
  };

  GUI_BS_HealthDisc(float internalMax, float armourMax, float shieldMax, float radius);
  explicit GUI_BS_HealthDisc(const SIM_BattleUnit* unit);

  // Segments for a zoom: 4 at the smallest, 90 when the disc is 100 pixels or more.
  int Segments(float zoom) const;
  // The arcs for the pools' fractions (0..1), clockwise from the top; returns how many.
  int Arcs(float internalFraction, float armourFraction, float shieldFraction, float zoom,
           std::array<Arc, 4>& out) const;
  // Queues the disc of a unit; false for a unit that is dying, destroyed or gone.
  static bool Draw(const HudLiveUnits& live, const SIM_BattleUnit* unit, bool* drawn = nullptr);

  bool valid = false;  // false when every pool is 0: there is nothing to split
  float share0 = 0.0f, share1 = 0.0f, share2 = 0.0f;
  float radius = 0.0f;
};

// Whether a unit of the player's army shows its disc: with the health toggle, or while
// selected; squads and units without a visual never.
bool HealthDiscWanted(const SIM_BattleUnit* unit, bool showHealth);
// The layers' drawers. The health discs of the player's units (and their night pass);
// returns how many were drawn.
int DrawHealthDiscs();
void DrawDamageNumbers();
void DrawFloatingTexts();
