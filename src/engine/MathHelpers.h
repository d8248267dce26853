#pragma once
// Angle, geometry and number-formatting helpers shared by the simulation and the
// screens. Angles are degrees in [0, 360); heading 0 points up the screen
// (negative y) and headings grow clockwise.
#include <cmath>
#include <cstddef>
#include <string>

// Unsigned difference of two angles folded into [0, 180].
// (These two are inline: every unit calls them several times a frame.)
inline float AngleDifference(float a, float b) {
  float d = std::fabs(a - b);
  if (d > 180.0f) d = 360.0f - d;
  return d;
}
// True when turning from -> to is shorter going clockwise (positive).
bool IsTurnPositive(float from, float to);
// current turned toward target by at most step degrees, wrapped into [0, 360).
inline float TurnTowardsAngle(float current, float target, float step) {
  if (step >= AngleDifference(current, target)) return target;
  float g = target - current;
  if (g < 0.0f) g += 360.0f;
  if (step > g) step = g;
  float result = g < 180.0f ? current + step : current - step;
  if (result < 0.0f) {
    result += 360.0f;
  } else if (result >= 360.0f) {
    result -= 360.0f;
  }
  // A tiny negative angle plus 360 rounds to exactly 360: kept below a full turn.
  return result >= 360.0f ? 0.0f : result;
}
// Heading from the first point to the second: +x 90, +y 180, -x 270, -y 0.
// (Inline too: units, their weapons and their target searches ask it thousands of times
// a frame.)
inline float HeadingDegrees(float x1, float y1, float x2, float y2) {
  const float dx = x2 - x1;
  const float dy = y2 - y1;
  float h = (std::atan2(dy, dx) + 3.1415927f) * 57.29578f - 90.0f;
  if (h < 0.0f) h += 360.0f;
  // A tiny negative angle plus 360 rounds to exactly 360: kept below a full turn, as
  // callers index per-degree tables with it.
  return h >= 360.0f ? 0.0f : h;
}
float Distance(float x1, float y1, float x2, float y2);

struct Vec2f {
  float x = 0.0f;
  float y = 0.0f;
};
// Entry point of the ray start->end into the circle (the nearer crossing; it may
// lie behind the start). False when the line misses the circle or start == end.
bool RayCircleIntersection(Vec2f* out, float radius, float centreX, float centreY, float startX, float startY,
                           float endX, float endY);

// 1234567 -> "1,234,567"; 0 -> "0"; negative values get a leading "-".
std::string FormatThousands(int value);
// C-style form: writes at most size - 1 characters and a terminator.
void FormatThousands(int value, char* out, std::size_t size);
// "05" for 5, "12" for 12.
