#include "engine/MathHelpers.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

bool IsTurnPositive(float from, float to) {
  float g = to - from;
  if (g < 0.0f) g += 360.0f;
  return g < 180.0f;
}

float Distance(float x1, float y1, float x2, float y2) {
  const float dx = x2 - x1;
  const float dy = y2 - y1;
  return std::sqrt(dx * dx + dy * dy);
}

bool RayCircleIntersection(Vec2f* out, float radius, float centreX, float centreY, float startX, float startY,
                           float endX, float endY) {
  float dirX = endX - startX;
  float dirY = endY - startY;
  const float length = std::sqrt(dirX * dirX + dirY * dirY);
  // A ray of no length has no direction; reporting a miss beats a NaN point.
  if (!(length > 0.0f)) return false;
  dirX /= length;
  dirY /= length;
  const float sX = startX - centreX;
  const float sY = startY - centreY;
  const float b = dirX * sX + dirY * sY;
  const float c = sX * sX + sY * sY - radius * radius;
  const float disc = b * b - c;
  if (disc < 0.0f) return false;
  const float t = -b - std::sqrt(disc);
  if (out) {
    out->x = startX + t * dirX;
    out->y = startY + t * dirY;
  }
  return true;
}

std::string FormatThousands(int value) {
  // Work on the magnitude in 64 bits so the most negative int has one too.
  std::int64_t v = value;
  const bool negative = v < 0;
  if (negative) v = -v;
  char digits[32];
  std::snprintf(digits, sizeof digits, "%lld", static_cast<long long>(v));
  const size_t n = std::strlen(digits);
  std::string out;
  if (negative) out.push_back('-');
  for (size_t i = 0; i < n; ++i) {
    if (i > 0 && (n - i) % 3 == 0) out.push_back(',');
    out.push_back(digits[i]);
  }
  return out;
}

void FormatThousands(int value, char* out, std::size_t size) {
  if (!out || size == 0) return;
  const std::string s = FormatThousands(value);
  std::snprintf(out, size, "%s", s.c_str());
}
