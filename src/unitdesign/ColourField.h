#pragma once
// The colour a click on the unit designer's colour field picks: six hue bands across
// (red, yellow, green, cyan, blue, magenta, back to red), a grey band and white past
// them; white at the top, the pure colour in the middle, black at the bottom. The
// picture of the field is drawn by the same function, so it shows what a click picks.
#include <cstdint>

struct ColourFieldPick {
  int red = 0, green = 0, blue = 0;
};

// (x, y) relative to the field's top-left corner; width and height of the field.
inline ColourFieldPick PickColourField(int width, int height, int x, int y) {
  ColourFieldPick p;
  const int c = (width - 16) / 6;
  if (c <= 0 || height <= 1) return p;
  const int band = x / c;
  const float e = static_cast<float>(x - band * c) / static_cast<float>(c) * 255.0f;
  float r = 255.0f, g = 255.0f, b = 255.0f;
  switch (band) {
    case 0:
      r = 255;
      g = e;
      b = 0;
      break;
    case 1:
      r = 255 - e;
      g = 255;
      b = 0;
      break;
    case 2:
      r = 0;
      g = 255;
      b = e;
      break;
    case 3:
      r = 0;
      g = 255 - e;
      b = 255;
      break;
    case 4:
      r = e;
      g = 0;
      b = 255;
      break;
    case 5:
      r = 255;
      g = 0;
      b = 255 - e;
      break;
    case 6:
      r = g = b = 128;
      break;
    default:
      break;
  }
  const int middle = height / 2;
  const int half = height / 2;
  float* channels[3] = {&r, &g, &b};
  if (y < middle) {
    const float t = static_cast<float>(y) / static_cast<float>(half);
    for (float* ch : channels) *ch = (1.0f - t) * 255.0f + t * *ch;
  } else {
    const float t = 1.0f - static_cast<float>(y - middle) / static_cast<float>(half);
    for (float* ch : channels) *ch = *ch * (t < 0.0f ? 0.0f : t);
  }
  auto clamp = [](float v) { return v < 0.0f ? 0 : v > 255.0f ? 255 : static_cast<int>(v); };
  p.red = clamp(r);
  p.green = clamp(g);
  p.blue = clamp(b);
  return p;
}
