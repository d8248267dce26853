// Draws the unit designer's colour field picture ("colorpicker.bmp") pixel by pixel with
// the function a click on the field uses, so every pixel shows the colour it picks.
// Usage: zt_colorpicker <width> <height> <output.bmp>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/Image.h"
#include "unitdesign/ColourField.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s <width> <height> <output.bmp>\n", argv[0]);
    return 2;
  }
  const int w = std::atoi(argv[1]);
  const int h = std::atoi(argv[2]);
  if (w < 32 || h < 2 || w > 4096 || h > 4096) {
    std::fprintf(stderr, "bad size %dx%d\n", w, h);
    return 2;
  }
  std::vector<uint32_t> argb(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const ColourFieldPick p = PickColourField(w, h, x, y);
      argb[static_cast<size_t>(y) * w + x] = 0xFF000000u | (static_cast<uint32_t>(p.red) << 16) |
                                             (static_cast<uint32_t>(p.green) << 8) |
                                             static_cast<uint32_t>(p.blue);
    }
  }
  if (!platform::WriteImageFile(argv[3], platform::ImageFileFormat::BMP, w, h, argb)) {
    std::fprintf(stderr, "cannot write %s\n", argv[3]);
    return 1;
  }
  return 0;
}
