// Our DDS reader and writer: round trips with mip levels, DXT1/3/5 blocks, and files that
// lie about their contents. Also the stb image paths used for screenshots.
#include <cstring>

#include "platform/Image.h"
#include "support/GraphicsTestSupport.h"
#include "support/TestSupport.h"

#define STB_DXT_STATIC
#define STB_DXT_IMPLEMENTATION
#include <stb_dxt.h>

using namespace platform;
using namespace zt_graphics_test;

namespace {

void Put32(std::vector<uint8_t>& b, size_t off, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[off + i] = uint8_t(v >> (8 * i));
}

// A DDS file holding the given compressed blocks.
std::vector<uint8_t> DxtFile(Format f, int w, int h, const std::vector<uint8_t>& blocks) {
  std::vector<uint8_t> b(128, 0);
  Put32(b, 0, kDdsMagic);
  Put32(b, 4, 124);
  Put32(b, 8, 0x1 | 0x2 | 0x4 | 0x1000 | 0x80000);
  Put32(b, 12, uint32_t(h));
  Put32(b, 16, uint32_t(w));
  Put32(b, 76, 32);
  Put32(b, 80, 0x4);  // four-character code
  Put32(b, 84, uint32_t(f));
  Put32(b, 108, 0x1000);
  b.insert(b.end(), blocks.begin(), blocks.end());
  return b;
}

// A picture whose colours vary along one line per block (what DXT keeps well), with
// distinct red, green and blue so a swapped channel shows, and alpha falling by row.
std::vector<uint32_t> Gradient(int w, int h) {
  std::vector<uint32_t> px(size_t(w) * size_t(h));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      px[size_t(y) * w + x] =
          uint32_t(255 - y * 8) << 24 | uint32_t(200 - x * 16) << 16 | uint32_t(x * 8) << 8 | 0x40;
  return px;
}

std::vector<uint8_t> Compress(const std::vector<uint32_t>& px, int w, int h, Format f) {
  std::vector<uint8_t> out;
  for (int by = 0; by < h; by += 4) {
    for (int bx = 0; bx < w; bx += 4) {
      unsigned char rgba[64];
      for (int i = 0; i < 16; ++i) {
        uint32_t p = px[size_t(by + i / 4) * w + bx + i % 4];
        rgba[i * 4 + 0] = uint8_t(p >> 16);
        rgba[i * 4 + 1] = uint8_t(p >> 8);
        rgba[i * 4 + 2] = uint8_t(p);
        rgba[i * 4 + 3] = uint8_t(p >> 24);
      }
      unsigned char block[16];
      if (f == Format::DXT3) {
        // Explicit 4-bit alpha, then a colour block.
        for (int i = 0; i < 8; ++i)
          block[i] = uint8_t((rgba[(i * 2) * 4 + 3] >> 4) | (rgba[(i * 2 + 1) * 4 + 3] & 0xF0));
        stb_compress_dxt_block(block + 8, rgba, 0, STB_DXT_HIGHQUAL);
        out.insert(out.end(), block, block + 16);
      } else {
        stb_compress_dxt_block(block, rgba, f == Format::DXT5, STB_DXT_HIGHQUAL);
        out.insert(out.end(), block, block + (f == Format::DXT1 ? 8 : 16));
      }
    }
  }
  return out;
}

int MaxChannelError(uint32_t a, uint32_t b, bool alpha) {
  int worst = 0;
  for (int s = alpha ? 24 : 16; s >= 0; s -= 8)
    worst = std::max(worst, std::abs(int((a >> s) & 0xFF) - int((b >> s) & 0xFF)));
  return worst;
}

TEST(DdsTest, UncompressedRoundTripKeepsEveryLevel) {
  DecodedImage src;
  src.width = 8;
  src.height = 4;
  src.levels.push_back(Gradient(8, 4));
  BuildMipChain(&src);
  ASSERT_EQ(src.levels.size(), 4u);  // 8x4, 4x2, 2x1, 1x1
  std::vector<uint8_t> bytes = EncodeDds(8, 4, src.levels);
  DecodedImage back;
  std::string error;
  ASSERT_TRUE(ReadDds(bytes.data(), bytes.size(), &back, &error)) << error;
  EXPECT_EQ(back.width, 8);
  EXPECT_EQ(back.height, 4);
  EXPECT_EQ(back.sourceFormat, Format::A8R8G8B8);
  EXPECT_EQ(back.levels, src.levels);
}

TEST(DdsTest, CompressedBlocksDecodeCloseToTheSource) {
  const int w = 8, h = 8;
  std::vector<uint32_t> src = Gradient(w, h);
  struct Case {
    Format f;
    int colourTolerance;
    int alphaTolerance;
  } cases[] = {{Format::DXT1, 24, -1}, {Format::DXT3, 24, 17}, {Format::DXT5, 24, 8}};
  for (const Case& c : cases) {
    std::vector<uint8_t> file = DxtFile(c.f, w, h, Compress(src, w, h, c.f));
    DecodedImage img;
    std::string error;
    ASSERT_TRUE(ReadDds(file.data(), file.size(), &img, &error)) << FormatName(c.f) << error;
    EXPECT_EQ(img.sourceFormat, c.f);
    ASSERT_EQ(img.levels[0].size(), src.size());
    for (size_t i = 0; i < src.size(); ++i) {
      EXPECT_LE(MaxChannelError(src[i], img.levels[0][i], false), c.colourTolerance)
          << FormatName(c.f) << " " << i;
      if (c.alphaTolerance >= 0) {
        EXPECT_LE(std::abs(int(src[i] >> 24) - int(img.levels[0][i] >> 24)), c.alphaTolerance)
            << FormatName(c.f);
      }
    }
  }
}

TEST(DdsTest, BlockModesDecodeExactly) {
  // DXT1 with colour0 <= colour1: three colours and transparent black for index 3.
  uint8_t dxt1[8] = {0x00, 0x00, 0xFF, 0xFF, 0xE4, 0xE4, 0xE4, 0xE4};  // indices 0,1,2,3 per row
  uint32_t out[16];
  DecodeDxt1Block(dxt1, out);
  EXPECT_EQ(out[0], 0xFF000000u);
  EXPECT_EQ(out[1], 0xFFFFFFFFu);
  EXPECT_EQ(out[2], 0xFF7F7F7Fu);
  EXPECT_EQ(out[3], 0x00000000u);
  // DXT5 alpha: a0 = 255 > a1 = 0 gives seven-step interpolation; index 2 is 6/7 of a0.
  uint8_t dxt5[16] = {255, 0, 0x02, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0};
  DecodeDxt5Block(dxt5, out);
  EXPECT_EQ(out[0] >> 24, 218u);
  EXPECT_EQ(out[1] >> 24, 255u);
  EXPECT_EQ(out[0] & 0xFFFFFF, 0xFFFFFFu);
}

TEST(DdsTest, OddSizedCompressedImagesUsePartialBlocks) {
  std::vector<uint32_t> src = Gradient(8, 8);
  std::vector<uint8_t> blocks = Compress(src, 8, 8, Format::DXT5);
  std::vector<uint8_t> file = DxtFile(Format::DXT5, 6, 5, blocks);
  DecodedImage img;
  ASSERT_TRUE(ReadDds(file.data(), file.size(), &img, nullptr));
  EXPECT_EQ(img.levels[0].size(), 30u);
  EXPECT_LE(MaxChannelError(img.levels[0][5 * 6 - 1], src[4 * 8 + 5], true), 24);
}

TEST(DdsTest, HostileFilesAreRefused) {
  std::vector<uint8_t> good = EncodeDds(4, 4, {std::vector<uint32_t>(16, 0xFF00FF00u)});
  struct Case {
    const char* what;
    size_t offset;  // where to patch (or truncate when value is ~0)
    uint32_t value;
  } cases[] = {{"truncated header", 60, ~0u},   {"truncated pixels", 128 + 20, ~0u},
               {"header size", 4, 100},         {"zero width", 16, 0},
               {"huge height", 12, 0x7FFFFFFF}, {"unknown compression", 80, 0x4 /*fourcc flag*/},
               {"odd bit count", 88, 12},       {"largest size with no data", 12, 16384}};
  for (const Case& c : cases) {
    std::vector<uint8_t> bad = good;
    if (c.value == ~0u)
      bad.resize(c.offset);
    else
      Put32(bad, c.offset, c.value);
    if (std::string(c.what) == "unknown compression") Put32(bad, 84, 0x31495441);  // "ATI1"
    if (std::string(c.what) == "largest size with no data") {
      Put32(bad, 16, 16384);  // a 16384 x 16384 promise in a file of a few bytes
      bad.resize(128);
    }
    DecodedImage img;
    std::string error;
    EXPECT_FALSE(ReadDds(bad.data(), bad.size(), &img, &error)) << c.what;
    EXPECT_FALSE(error.empty()) << c.what;
  }
  // A file promising more mip levels than it holds keeps the complete ones.
  std::vector<uint8_t> lying = good;
  Put32(lying, 8, 0x1 | 0x2 | 0x4 | 0x1000 | 0x20000);
  Put32(lying, 28, 3);
  DecodedImage img;
  ASSERT_TRUE(ReadDds(lying.data(), lying.size(), &img, nullptr));
  EXPECT_EQ(img.levels.size(), 1u);
}

TEST(ImageFileTest, WrittenImagesReadBack) {
  std::vector<uint32_t> px = Gradient(16, 8);
  struct Case {
    ImageFileFormat format;
    const char* ext;
    int tolerance;
  } cases[] = {{ImageFileFormat::BMP, "bmp", 0},
               {ImageFileFormat::PNG, "png", 0},
               {ImageFileFormat::DDS, "dds", 0},
               {ImageFileFormat::JPG, "jpg", 16}};
  for (const Case& c : cases) {
    std::string path = zt_test::UserDir() + "/img." + c.ext;
    ASSERT_TRUE(SaveImageFile(path, c.format, 16, 8, px)) << c.ext;
    DecodedImage img;
    std::string error;
    ASSERT_TRUE(LoadImageFile(path, &img, &error)) << c.ext << error;
    ASSERT_EQ(img.width, 16);
    ASSERT_EQ(img.height, 8);
    // Lossless formats match exactly; JPEG on average within its tolerance.
    double total = 0;
    int worst = 0;
    for (size_t i = 0; i < px.size(); ++i) {
      int e = MaxChannelError(px[i], img.levels[0][i], false);
      total += e;
      worst = std::max(worst, e);
    }
    if (c.tolerance == 0)
      EXPECT_EQ(worst, 0) << c.ext;
    else
      EXPECT_LE(total / double(px.size()), c.tolerance) << c.ext;
  }
  EXPECT_FALSE(SaveImageFile(zt_test::UserDir() + "/no/such/folder/x.bmp", ImageFileFormat::BMP, 16, 8, px));
  EXPECT_FALSE(SaveImageFile(zt_test::UserDir() + "/wrong.bmp", ImageFileFormat::BMP, 17, 8, px));
  DecodedImage img;
  std::string junk = "not an image at all";
  EXPECT_FALSE(DecodeImage(reinterpret_cast<const uint8_t*>(junk.data()), junk.size(), &img, nullptr));
}

// JPEG takes our pixels as they lie in memory: the channels must not trade places, the
// alpha (even fully clear) is no part of the colour, and rows of any width stay rows.
TEST(ImageFileTest, JpegKeepsEachColourWhateverTheSizeAndAlpha) {
  const uint32_t quarters[4] = {0x00E01010u, 0xFF10E010u, 0x801010E0u, 0x00F0F0F0u};
  const struct { int w, h; } sizes[] = {{1, 1}, {13, 7}, {33, 17}, {64, 48}};
  for (const auto& size : sizes) {
    SCOPED_TRACE(std::to_string(size.w) + " x " + std::to_string(size.h));
    std::vector<uint32_t> px(size_t(size.w) * size_t(size.h));
    auto quarter = [&size](int x, int y) { return (2 * y >= size.h ? 2 : 0) + (2 * x >= size.w ? 1 : 0); };
    for (int y = 0; y < size.h; ++y)
      for (int x = 0; x < size.w; ++x) px[size_t(y) * size_t(size.w) + size_t(x)] = quarters[quarter(x, y)];
    const std::string path = zt_test::UserDir() + "/quarters.jpg";
    ASSERT_TRUE(SaveImageFile(path, ImageFileFormat::JPG, size.w, size.h, px));
    DecodedImage img;
    std::string error;
    ASSERT_TRUE(LoadImageFile(path, &img, &error)) << error;
    ASSERT_EQ(img.width, size.w);
    ASSERT_EQ(img.height, size.h);
    // Each quarter's middle, away from the blur where colours meet.
    for (int q = 0; q < 4; ++q) {
      const int x = (q & 1) ? size.w - 1 - size.w / 4 : size.w / 4;
      const int y = (q & 2) ? size.h - 1 - size.h / 4 : size.h / 4;
      if (quarter(x, y) != q) continue;  // a picture too small to have this quarter
      EXPECT_LE(MaxChannelError(quarters[q], img.levels[0][size_t(y) * size_t(size.w) + size_t(x)], false),
                40)
          << "quarter " << q;
    }
  }
  EXPECT_FALSE(SaveImageFile(zt_test::UserDir() + "/no/such/folder/x.jpg", ImageFileFormat::JPG, 1, 1,
                             std::vector<uint32_t>{0xFFFFFFFFu}));
}

TEST(ImageFileTest, RasterisedArtIsInTheDataFolder) {
  // The art pipeline turned assets/bitmaps/test/graphics_probe.dds.svg into this file.
  DecodedImage img;
  std::string error;
  ASSERT_TRUE(LoadImageFile("data/bitmaps/test/graphics_probe.dds", &img, &error)) << error;
  EXPECT_EQ(img.width, 64);
  EXPECT_EQ(img.height, 32);
  EXPECT_EQ(img.levels.size(), 7u);
  EXPECT_EQ(img.levels[0][0], 0xFFFF0000u);
  uint32_t blue = img.levels[0][40];
  EXPECT_NEAR(int(blue >> 24), 128, 1);  // straight (not premultiplied) alpha
  EXPECT_EQ(blue & 0xFFFFFF, 0x0000FFu);
}

}  // namespace

// A backdrop picture is held at the size it is drawn: each texel the average of the
// area of the file it covers, whole or in part; a size it cannot shrink to leaves it.
TEST(ShrinkImageTest, EachTexelAveragesTheAreaItCovers) {
  struct Case {
    const char* what;
    int w, h;
    std::vector<uint32_t> pixels;
    int toW, toH;
    std::vector<uint32_t> expected;
  } cases[] = {
      {"halved: two by two blocks",
       4,
       2,
       {0xFF000000u, 0xFF0000FFu, 0xFF00FF00u, 0xFF00FF00u, 0xFF000000u, 0xFF0000FFu, 0xFF00FF00u,
        0xFF00FF00u},
       2,
       1,
       {0xFF000080u, 0xFF00FF00u}},
      {"three into two: a texel and half the next",
       3,
       1,
       {0x00000000u, 0x5A5A5A5Au, 0xB4B4B4B4u},
       2,
       1,
       {0x1E1E1E1Eu, 0x96969696u}},
      {"three rows into two: the middle row shared",
       1,
       3,
       {0x00000000u, 0x5A5A5A5Au, 0xB4B4B4B4u},
       1,
       2,
       {0x1E1E1E1Eu, 0x96969696u}},
      {"larger than the file: as it is", 2, 1, {0x11111111u, 0x22222222u}, 4, 1, {0x11111111u, 0x22222222u}},
      {"no size: as it is", 2, 1, {0x11111111u, 0x22222222u}, 0, 1, {0x11111111u, 0x22222222u}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DecodedImage image;
    image.width = c.w;
    image.height = c.h;
    image.levels.push_back(c.pixels);
    BuildMipChain(&image);
    const bool shrinks = c.toW > 0 && c.toW <= c.w && c.toH <= c.h;
    ShrinkImage(&image, c.toW, c.toH);
    EXPECT_EQ(image.levels[0], c.expected);
    if (shrinks) {
      EXPECT_EQ(image.width, c.toW);
      EXPECT_EQ(image.height, c.toH);
      EXPECT_EQ(image.levels.size(), 1u) << "one level: drawn texel for pixel";
    } else {
      EXPECT_EQ(image.width, c.w);
    }
  }
}

// A picture loaded at its shown size is shrunk as it is decoded, a few rows at a time: it
// comes out texel for texel as the whole picture decoded and then shrunk, for each kind of
// file, at sizes that do and do not shrink it, with rows and columns that do not fall on
// a block's edge.
TEST(ShrinkImageTest, LoadingAtASizeGivesTheWholeDecodeShrunk) {
  const std::string dir = zt_test::UserDir();
  // A picture with detail in every texel (a smooth one would hide a row out of place).
  const int w = 70, h = 45;
  std::vector<uint32_t> art(size_t(w) * size_t(h));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      art[size_t(y) * w + size_t(x)] = 0xFF000000u | uint32_t((x * 37 + y * 11) & 0xFF) << 16 |
                                       uint32_t((x * x + y * 3) & 0xFF) << 8 |
                                       uint32_t((y * y * 5 + x) & 0xFF);
  const std::string jpeg = dir + "/probe.jpg", png = dir + "/probe.png";
  ASSERT_TRUE(WriteImageFile(jpeg, ImageFileFormat::JPG, w, h, art, 95));
  ASSERT_TRUE(WriteImageFile(png, ImageFileFormat::PNG, w, h, art));
  struct Case {
    std::string path;
    int toW, toH;
  } cases[] = {
      {jpeg, 40, 17},
      {jpeg, 70, 30},
      {jpeg, w, h},
      {jpeg, 90, 20},
      {png, 33, 44},
      // Block-compressed with a mip chain: only the top level's blocks are decoded.
      {"data/bitmaps/test/graphics_probe.dds", 37, 19},
      {"data/bitmaps/test/graphics_probe.dds", 64, 31},
      {"data/bitmaps/test/graphics_probe.dds", 64, 32},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path + " at " + std::to_string(c.toW) + " x " + std::to_string(c.toH));
    DecodedImage whole, sized;
    std::string error;
    ASSERT_TRUE(LoadImageFile(c.path, &whole, &error)) << error;
    ShrinkImage(&whole, c.toW, c.toH);
    ASSERT_TRUE(LoadImageFileAtSize(c.path, c.toW, c.toH, &sized, &error)) << error;
    EXPECT_EQ(sized.width, whole.width);
    EXPECT_EQ(sized.height, whole.height);
    EXPECT_EQ(sized.hasAlpha, whole.hasAlpha);
    ASSERT_EQ(sized.levels.size(), 1u) << "one level: drawn texel for pixel";
    EXPECT_TRUE(sized.blocks.empty());
    EXPECT_TRUE(sized.levels[0] == whole.levels[0]) << "the texels differ";
  }
  DecodedImage none;
  std::string error;
  EXPECT_FALSE(LoadImageFileAtSize(dir + "/missing.jpg", 10, 10, &none, &error));
  EXPECT_NE(error.find("cannot read file"), std::string::npos) << error;
}
