#pragma once
// Dog tags on the battlefield: each tag the battle drops shows as a small glinting tag;
// a click on one collects it (supplies, a counter, a floating text, a burst and a chime).
// The tags themselves are the battle's list; the HUD keeps only how each one looks,
// found by the tag and dropped as soon as the battle's list no longer holds it.
#include <map>
#include <vector>

class SIM_DogTag;

struct GUI_BS_DogTag {
  float angle = 0.0f;  // degrees, random per tag
  float pulseTimer = 0.0f;
  float fadeTimer = 0.0f;
  // What the last draw gave it (tests): screen centre and side, 0 when not drawn.
  float screenX = 0.0f, screenY = 0.0f, side = 0.0f;
};

class GUI_BS_DogTagManager {
 public:
  static GUI_BS_DogTagManager& Instance();
  // Per frame: every tag of the battle's list, glint first (one batch, one flush).
  void Draw();
  // A left press on the battlefield: collects every tag under the mouse; the count.
  int ProcessClicks(float mouseX, float mouseY);
  void Clear() { looks_.clear(); }
  const GUI_BS_DogTag* Look(const SIM_DogTag* tag) const;
  int textureBinds = 0;  // batches begun (tests)

 private:
  GUI_BS_DogTag& LookOf(const SIM_DogTag* tag);
  void Prune();
  std::map<const SIM_DogTag*, GUI_BS_DogTag> looks_;
};
