// Tight quads: a placed quad cut to the part of its cell that shows keeps its corners on
// the quad's own edges (any rotation, mirrored cells) and the texture coordinates of the
// part, and the filter's reach grows with the mip level the quad samples.
#include <gtest/gtest.h>

#include <cmath>

#include "battlescreen/TightQuads.h"

namespace {

struct Corner {
  float x, y, u, v;
};

void Quad(const Corner (&c)[4], GVertex out[4]) {
  for (int i = 0; i < 4; ++i) {
    out[i].x = c[i].x;
    out[i].y = c[i].y;
    out[i].u = c[i].u;
    out[i].v = c[i].v;
    out[i].colour = 0x80FFFFFFu + uint32_t(i);
  }
}

TEST(TightQuadsTest, ACutQuadKeepsThePartOfTheCellItShows) {
  const ShownPart part{0.25f, 0.5f, 0.75f, 1.0f};
  struct Case {
    const char* name;
    Corner in[4];
    Corner want[4];
  } cases[] = {
      {"upright, the cell (0.5, 0) to (1, 0.5) of a sheet",
       {{0, 0, 0.5f, 0}, {100, 0, 1, 0}, {0, 100, 0.5f, 0.5f}, {100, 100, 1, 0.5f}},
       {{25, 50, 0.625f, 0.25f}, {75, 50, 0.875f, 0.25f}, {25, 100, 0.625f, 0.5f}, {75, 100, 0.875f, 0.5f}}},
      {"turned a quarter (the cell's top edge runs down the screen)",
       {{100, 0, 0, 0}, {100, 100, 1, 0}, {0, 0, 0, 1}, {0, 100, 1, 1}},
       {{50, 25, 0.25f, 0.5f}, {50, 75, 0.75f, 0.5f}, {0, 25, 0.25f, 1}, {0, 75, 0.75f, 1}}},
      {"a mirrored cell (u runs right to left)",
       {{0, 0, 1, 0}, {100, 0, 0, 0}, {0, 100, 1, 1}, {100, 100, 0, 1}},
       {{25, 50, 0.75f, 0.5f}, {75, 50, 0.25f, 0.5f}, {25, 100, 0.75f, 1}, {75, 100, 0.25f, 1}}},
  };
  for (const Case& c : cases) {
    GVertex in[4], out[4];
    Quad(c.in, in);
    CutQuad(in, part, out);
    for (int i = 0; i < 4; ++i) {
      EXPECT_NEAR(out[i].x, c.want[i].x, 1e-4f) << c.name << " corner " << i;
      EXPECT_NEAR(out[i].y, c.want[i].y, 1e-4f) << c.name << " corner " << i;
      EXPECT_NEAR(out[i].u, c.want[i].u, 1e-5f) << c.name << " corner " << i;
      EXPECT_NEAR(out[i].v, c.want[i].v, 1e-5f) << c.name << " corner " << i;
      EXPECT_EQ(out[i].colour, in[i].colour) << c.name << ": each corner keeps its colour";
    }
  }
}

TEST(TightQuadsTest, TheFilterReachesOneTexelOfTheCoarsestMipLevelSampled) {
  struct Case {
    float texelsPerPixel, lodBias;
    int reach;
  } cases[] = {
      {0.5f, 0.0f, 1},                            // magnified: bilinear only
      {1.0f, 0.0f, 1},                            // pixel for pixel
      {1.5f, 0.0f, 3},                            // between levels 0 and 1
      {3.0f, 0.0f, 5},                            // level 2
      {1.0f, 1.8f, 5},                            // a shadow's bias alone reaches level 2
      {3.0f, 1.8f, 17},         {0.0f, 0.0f, 1},  // a quad of no size
      {std::nanf(""), 0.0f, 1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FilterReach(c.texelsPerPixel, c.lodBias), c.reach)
        << c.texelsPerPixel << " texels a pixel, bias " << c.lodBias;
}

TEST(TightQuadsTest, WithoutATextureToMeasureTheWholeCellShows) {
  EXPECT_TRUE(ShownPartOf(nullptr, 0.0f, 0.0f, 1.0f, 1.0f, 0, 1).Whole());
}

}  // namespace
