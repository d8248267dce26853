#include "battlescreen/LightMapSeam.h"

#include <algorithm>
#include <iterator>

#include "engine/Sprites.h"

LightMapSeam& GetLightMapSeam() {
  static LightMapSeam seam;
  return seam;
}

void LightProjectile(float x, float y, float heading, float radius, float strength) {
  if (auto light = GetLightMapSeam().projectileLight) light(x, y, heading, radius, strength);
}

int UnitLightingNow() {
  const LightMapSeam& s = GetLightMapSeam();
  return s.unitLighting ? s.unitLighting() : LightMapSeam::UNITS_UNLIT;
}

namespace {
void CopyQuad(const CTexturedSprite& from, CTexturedSprite& to) {
  to.texture = from.texture;
  std::copy(std::begin(from.v), std::end(from.v), std::begin(to.v));
}
}  // namespace

void LightUnitQuad(const CTexturedSprite& quad, CTexturedSprite& nightCopy, CTexturedSprite& lightCopy,
                   float strength, bool nightVisionOnly) {
  const LightMapSeam& s = GetLightMapSeam();
  switch (UnitLightingNow()) {
    case LightMapSeam::UNITS_NIGHT_VISION:
      if (!s.addFaded) return;
      CopyQuad(quad, nightCopy);
      s.addFaded(&nightCopy, strength);
      return;
    case LightMapSeam::UNITS_LIT:
      if (nightVisionOnly || !s.addLight) return;
      CopyQuad(quad, lightCopy);
      s.addLight(&lightCopy);
      return;
    default:
      return;
  }
}
