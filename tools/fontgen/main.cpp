// Renders one bitmap font for the text renderer:
//   zt_fontgen <font.ttf> <pixel size> <cell> <spacing> <out.dds> <out.dds.dat>
// The sheet holds 10 by 10 cells of <cell> pixels, white glyphs with coverage in alpha.
// Cell n holds character n + 33, except cell 92 (pound sign), 93 (per cent) and 94 (euro);
// cells 95-99 stay blank. The width table gives each cell's width in pixels at the base
// size: the font's own advance less the letter spacing the game adds after every glyph,
// so text keeps the typeface's natural rhythm.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/Image.h"

namespace {
uint32_t CodePointForCell(int n) {
  if (n == 92) return 0x00A3;  // pound sign
  if (n == 93) return '%';
  if (n == 94) return 0x20AC;  // euro sign
  if (n >= 95) return 0;       // blank
  return uint32_t(n + 33);
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 7) {
    std::fprintf(stderr, "usage: zt_fontgen <font.ttf> <pixel size> <cell> <spacing> <out.dds> <out.dat>\n");
    return 2;
  }
  const char* fontFile = argv[1];
  int pixelSize = std::atoi(argv[2]);
  int cell = std::atoi(argv[3]);
  int spacing = std::atoi(argv[4]);
  std::string outTex = argv[5], outDat = argv[6];
  if (pixelSize < 4 || cell < pixelSize || cell > 128) {
    std::fprintf(stderr, "bad sizes\n");
    return 2;
  }
  FT_Library lib;
  FT_Face face;
  if (FT_Init_FreeType(&lib) || FT_New_Face(lib, fontFile, 0, &face) ||
      FT_Set_Pixel_Sizes(face, 0, FT_UInt(pixelSize))) {
    std::fprintf(stderr, "%s: cannot load font\n", fontFile);
    return 1;
  }
  // The sheet is the next power of two that holds 10 cells.
  int side = 1;
  while (side < cell * 10) side <<= 1;
  std::vector<uint32_t> sheet(size_t(side) * size_t(side), 0x00FFFFFFu);
  int32_t widths[256] = {};

  int ascent = int(face->size->metrics.ascender >> 6);
  int descent = int(-(face->size->metrics.descender >> 6));
  int baseline = (cell - (ascent + descent)) / 2 + ascent;
  const int pad = 1;  // a clear column on the left so linear filtering never reads the neighbour

  for (int n = 0; n < 100; ++n) {
    uint32_t cp = CodePointForCell(n);
    if (cp == 0) {
      widths[n] = pixelSize / 4;  // blank cells advance a little, like a narrow space
      continue;
    }
    FT_UInt index = FT_Get_Char_Index(face, cp);
    if (!index || FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT)) continue;
    FT_GlyphSlot g = face->glyph;
    const FT_Bitmap& bm = g->bitmap;
    int cx = (n % 10) * cell, cy = (n / 10) * cell;
    int left = pad + g->bitmap_left;
    int top = baseline - g->bitmap_top;
    for (unsigned y = 0; y < bm.rows; ++y) {
      for (unsigned x = 0; x < bm.width; ++x) {
        int px = left + int(x), py = top + int(y);
        if (px < 0 || py < 0 || px >= cell || py >= cell) continue;
        unsigned char a = bm.buffer[y * unsigned(bm.pitch) + x];
        sheet[size_t(cy + py) * side + size_t(cx + px)] = uint32_t(a) << 24 | 0x00FFFFFFu;
      }
    }
    int advance = int((g->advance.x + 32) >> 6);
    widths[n] = std::max(1, advance - spacing);
  }
  FT_Done_Face(face);
  FT_Done_FreeType(lib);

  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(outTex).parent_path(), ec);
  std::filesystem::create_directories(std::filesystem::path(outDat).parent_path(), ec);
  platform::DecodedImage img;
  img.width = img.height = side;
  img.levels.push_back(sheet);
  platform::BuildMipChain(&img);
  if (!platform::WriteDdsFile(outTex, side, side, img.levels)) {
    std::fprintf(stderr, "%s: cannot write\n", outTex.c_str());
    return 1;
  }
  FILE* f = std::fopen(outDat.c_str(), "wb");
  if (!f) {
    std::fprintf(stderr, "%s: cannot write\n", outDat.c_str());
    return 1;
  }
  unsigned char bytes[256 * 4];
  for (int i = 0; i < 256; ++i)
    for (int b = 0; b < 4; ++b) bytes[i * 4 + b] = uint8_t(uint32_t(widths[i]) >> (8 * b));
  bool ok = std::fwrite(bytes, 1, sizeof bytes, f) == sizeof bytes;
  ok = std::fclose(f) == 0 && ok;
  return ok ? 0 : 1;
}
