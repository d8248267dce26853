#pragma once
// Base of everything placed on the battle map: a world position and a heading.
// Heading 0 points towards negative y and grows clockwise (90 = positive x).

class SIM_MapObject {
 public:
  SIM_MapObject() = default;
  virtual void SetHeading(float degrees) { heading = degrees; }
  // Per-frame step of objects that are not units (projectiles and the like).
  virtual void Advance() {}
  virtual ~SIM_MapObject() = default;

  float x = 0.0f;
  float y = 0.0f;
  float heading = 0.0f;
};
