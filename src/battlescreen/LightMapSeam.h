#pragma once
// What the battle screen's drawables put into the light map, which the effects above
// own and register at start-up. Unset, nothing is lit: an unlit battle and a headless
// run draw the same scene.
class CTexturedSprite;
class GUI_BS_Sprite;

struct LightMapSeam {
  enum UnitLighting { UNITS_UNLIT = 0, UNITS_LIT = 1, UNITS_NIGHT_VISION = 2 };
  // How unit layers go into the light map this frame (from the light map's two flags).
  int (*unitLighting)() = nullptr;
  // The unit list: a sprite at a grey level (night vision), in the light colour, as it is.
  bool (*addFaded)(CTexturedSprite* sprite, float level) = nullptr;
  bool (*addLight)(CTexturedSprite* sprite) = nullptr;
  bool (*addOverlay)(CTexturedSprite* sprite) = nullptr;
  // A layer whose damage marks glow this frame.
  bool (*addDamageGlow)(GUI_BS_Sprite* sprite) = nullptr;
  // Draws the unit list into the light map (the unit manager, after the units).
  void (*renderUnitList)() = nullptr;
  // A bullet or missile drawn this frame lights the ground around it (world point, heading,
  // light radius in world units, brightness 0..1).
  void (*projectileLight)(float x, float y, float heading, float radius, float strength) = nullptr;
};
LightMapSeam& GetLightMapSeam();

// The light of a projectile drawn this frame; nothing when no light map is registered.
void LightProjectile(float x, float y, float heading, float radius, float strength);

// Which unit lighting holds this frame (UNITS_UNLIT when nothing is registered).
int UnitLightingNow();

// A unit layer just queued into the scene goes into the light map too: under night
// vision a grey copy at the unit's light strength, in a lit battle a copy in the light
// colour. `nightCopy` and `lightCopy` hold the copies until the unit list is drawn.
void LightUnitQuad(const CTexturedSprite& quad, CTexturedSprite& nightCopy, CTexturedSprite& lightCopy,
                   float strength, bool nightVisionOnly = false);
