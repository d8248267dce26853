// Text layout on a small font of known widths: glyph positions, kerning, tabs, filtering,
// alignment, wrapping (including a word wider than its line), limits, capture, fitting.
#include <filesystem>

#include "engine/TextRenderer.h"
#include "engine/Textures.h"
#include "support/GraphicsTestSupport.h"

using namespace platform;
using namespace zt_graphics_test;

namespace {

// Every glyph is 10 pixels wide at base size 16 except 'i' (4); spacing 2.
class TextTest : public NullEngineTest {
 protected:
  void SetUp() override {
    NullEngineTest::SetUp();
    std::string folder = zt_test::UserRoot() + "/fonts";
    std::filesystem::create_directories(folder);
    WriteSolidDds(folder + "/testfont.dds", 256, 256, 0xFFFFFFFFu);
    RegisterTextureFolder(folder);
    unsigned char dat[1024] = {};
    for (int g = 0; g < 256; ++g) dat[g * 4] = g == TextRenderer::GlyphIndex('i') ? 4 : 10;
    dat_ = folder + "/testfont.dds.dat";
    std::ofstream(dat_, std::ios::binary).write(reinterpret_cast<const char*>(dat), sizeof dat);
    text().Init();
    text().AddFont(dat_, "testfont.dds", 16, 24, 2);
    text().SetFont("testfont.dds", 16);
    dev().ClearRecord();
  }
  TextRenderer& text() { return GetTextRenderer(); }
  // x of the first vertex of glyph n in the queue after a flush.
  const DrawRecord& FlushAndGetDraw() {
    text().Flush();
    EXPECT_FALSE(dev().draws.empty());
    return dev().draws.back();
  }
  static float GlyphX(const DrawRecord& r, int n) { return r.X(n * 6); }  // six indices per quad
  std::string dat_;
};

TEST_F(TextTest, GlyphIndexTable) {
  struct Case {
    unsigned char c;
    int g;
  } cases[] = {{'!', 0},  {'A', 32}, {'~', 93}, {'%', 93}, {163, 92},
               {128, 94}, {' ', 0},  {200, 99}, {255, 99}};
  for (const Case& c : cases) EXPECT_EQ(TextRenderer::GlyphIndex(c.c), c.g) << int(c.c);
}

TEST_F(TextTest, GlyphQuadsSitOnPixelCentres) {
  text().Print(0, "AB", 10.7f, 20.9f, 0xFFE2B101u);
  const DrawRecord& r = FlushAndGetDraw();
  ASSERT_EQ(r.primitiveCount, 4);
  EXPECT_FLOAT_EQ(r.X(0), 9.5f);  // x and y truncated, then the half-pixel shift
  EXPECT_FLOAT_EQ(r.Y(0), 19.5f);
  EXPECT_FLOAT_EQ(r.X(5), 9.5f + 24);        // bottom-right of a 24-pixel cell
  EXPECT_FLOAT_EQ(GlyphX(r, 1), 9.5f + 12);  // width 10 + spacing 2
  EXPECT_EQ(r.Colour(0), 0xFFE2B101u);
  // 'A' is cell 32: row 3, column 2 of a 256-pixel sheet of 24-pixel cells.
  EXPECT_FLOAT_EQ(r.U(0), 48.0f / 256);
  EXPECT_FLOAT_EQ(r.V(0), 72.0f / 256);
}

TEST_F(TextTest, BaseSizeDrawsWithPointFilteringOtherSizesLinear) {
  text().Print(0, "A", 0, 0, 0xFFFFFFFFu);
  EXPECT_EQ(FlushAndGetDraw().minFilter, uint32_t(TEXF_POINT));
  EXPECT_EQ(dev().GetSamplerState(0, SamplerState::MinFilter), uint32_t(TEXF_LINEAR));
  text().SetFont("testfont.dds", 20);
  text().Print(0, "A", 0, 0, 0xFFFFFFFFu);
  EXPECT_EQ(FlushAndGetDraw().magFilter, uint32_t(TEXF_LINEAR));
}

TEST_F(TextTest, KerningPairsTightenScaled) {
  text().SetFont("testfont.dds", 32);  // scale 2
  struct Case {
    const char* pair;
    float adjust;
  } cases[] = {{"fo", -1}, {"fe", -1}, {"fa", -1}, {"fu", -1}, {"ff", -2}, {"ow", -1}, {"of", 0}, {"wo", 0}};
  for (const Case& c : cases) {
    text().Print(0, c.pair, 0, 0, 0xFFFFFFFFu);
    const DrawRecord& r = FlushAndGetDraw();
    EXPECT_FLOAT_EQ(GlyphX(r, 1) - GlyphX(r, 0), 2 * (10 + 2) + 2 * c.adjust) << c.pair;
  }
}

TEST_F(TextTest, TabsAndSpaces) {
  struct Case {
    float x;
    const char* s;
    float glyphX;
  } cases[] = {{80, "\tA", 160}, {79, "\tA", 80}, {0, "\tA", 80}, {0, " A", 4}, {0, "A B", 12 + 4}};
  for (const Case& c : cases) {
    text().Print(0, c.s, c.x, 0, 0xFFFFFFFFu);
    const DrawRecord& r = FlushAndGetDraw();
    int last = r.primitiveCount / 2 - 1;
    EXPECT_FLOAT_EQ(GlyphX(r, last), c.glyphX - 0.5f) << c.x << " " << c.s;
  }
}

TEST_F(TextTest, AlignmentAndMeasuring) {
  EXPECT_EQ(text().TextWidth("AAA"), 36);
  EXPECT_EQ(text().TextWidth("A A"), 28);  // a space is a quarter of the size, no spacing
  EXPECT_FLOAT_EQ(text().CharWidth('i'), 6);
  text().Print(1, "AAA", 100, 0, 0xFFFFFFFFu, 200);  // ends at 300
  EXPECT_FLOAT_EQ(GlyphX(FlushAndGetDraw(), 0), 300 - 36 - 0.5f);
  text().Print(2, "AAA", 100, 0, 0xFFFFFFFFu, 201);  // centred: 100 + 100.5 - 18, truncated
  EXPECT_FLOAT_EQ(GlyphX(FlushAndGetDraw(), 0), 182 - 0.5f);
}

TEST_F(TextTest, WrapBreaksBeforeTheWordThatOverflows) {
  float width = float(text().TextWidth("ab c"));
  std::string rest;
  EXPECT_EQ(text().NextLineString("ab cd", width, &rest), "ab");
  EXPECT_EQ(rest, "cd");
  EXPECT_EQ(text().NextLineString("ab cd", 1000, &rest), "ab cd");
  EXPECT_EQ(rest, "");
}

TEST_F(TextTest, WordWiderThanTheLineStillEnds) {
  std::string rest;
  EXPECT_EQ(text().NextLineString("abcdefghij", 30, &rest), "ab");
  EXPECT_EQ(rest, "cdefghij");
  EXPECT_EQ(text().NextLineString("abc", 1, &rest), "a");  // narrower than one glyph
  float y = text().PrintWrapped("abcdefghij klm", 0xFFFFFFFFu, 0, 100, 30);
  EXPECT_FLOAT_EQ(y, 100 + 16 * 7);  // ab cd ef gh ij, then " k"... one glyph pair per line
  EXPECT_GT(text().GetWrappedHeight("abcdefghij", 30), 0);
  EXPECT_FLOAT_EQ(text().PrintWrapped("abc", 0xFFFFFFFFu, 0, 0, 0), 16 * 3);
}

TEST_F(TextTest, WrappedTextLimit) {
  std::string ok(2047, 'a'), tooLong(2048, 'a');
  for (size_t i = 50; i < ok.size(); i += 50) ok[i] = tooLong[i] = ' ';
  EXPECT_FLOAT_EQ(text().PrintWrapped(tooLong.c_str(), 0xFFFFFFFFu, 0, 10, 800), 10);
  EXPECT_EQ(text().QueuedVertices(), 0);
  EXPECT_NE(DebugText().find("Text too long in one chunk (max 2048)"), std::string::npos);
  float y = text().PrintWrapped(ok.c_str(), 0xFFFFFFFFu, 0, 10, 800);
  EXPECT_GT(y, 10);
  text().Flush();
  int glyphs = 0;
  for (const auto& d : dev().draws) glyphs += d.primitiveCount / 2;
  EXPECT_EQ(glyphs, 2047 - 40);  // every character but the 40 spaces
  EXPECT_EQ(DebugText().find("ERROR - Text exceeds max characters"), std::string::npos);
}

TEST_F(TextTest, OneCallDrawsAtMost999Glyphs) {
  std::string s(1200, 'A');
  text().Print(0, s.c_str(), 0, 0, 0xFFFFFFFFu);
  EXPECT_EQ(FlushAndGetDraw().primitiveCount, 999 * 2);
  std::string log = DebugText();
  size_t first = log.find("ERROR - Text exceeds max characters");
  ASSERT_NE(first, std::string::npos);
  EXPECT_EQ(log.find("ERROR - Text exceeds max characters", first + 1), std::string::npos);
}

TEST_F(TextTest, QueueFlushesOnFontChangeAndOverflow) {
  text().AddFont(dat_, "testfont.dds", 16, 24, 0);  // same texture under the same name
  LibFont* second = text().AddFont(dat_, "testfont.dds", 16, 24, 0);
  std::snprintf(second->name, sizeof second->name, "%s", "other");
  text().Print(0, "AB", 0, 0, 0xFFFFFFFFu);
  EXPECT_EQ(dev().draws.size(), 0u);
  text().SetFont("other", 16);
  EXPECT_EQ(dev().draws.size(), 1u);  // the first font's glyphs went out first
  std::string big(600, 'A');
  text().Print(0, big.c_str(), 0, 0, 0xFFFFFFFFu);
  text().Print(0, big.c_str(), 0, 0, 0xFFFFFFFFu);  // would not fit: the queue is drawn first
  EXPECT_EQ(dev().draws.size(), 2u);
  text().SetFont("no-such-font", 16);
  EXPECT_NE(DebugText().find("missing font: no-such-font"), std::string::npos);
  EXPECT_STREQ(text().CurrentFont()->name, "other");
}

TEST_F(TextTest, CaptureRecordsInsteadOfDrawing) {
  TextCapture capture;
  text().SetCapture(&capture);
  text().Print(2, "hello", 5, 6, 0xFF00FF00u, 100);
  text().SetCapture(nullptr);
  EXPECT_EQ(text().QueuedVertices(), 0);
  ASSERT_EQ(capture.chunks.size(), 1u);
  EXPECT_EQ(capture.chunks[0]->text, "hello");
  EXPECT_EQ(capture.chunks[0]->font, "testfont.dds");
  EXPECT_EQ(capture.chunks[0]->alignment, 2);
}

TEST_F(TextTest, FittingToAWidth) {
  std::string s = "AAAAAAAAAA";        // 120 pixels
  EXPECT_EQ(FitPrefix(s, 40), "AAA");  // 36 < 40, 48 is not
  EXPECT_EQ(FitTextToWidth(s, 40), "AAA...");
  EXPECT_EQ(FitTextToWidth("AA", 40), "AA");
  std::string t = s;
  TruncateToWidth(t, 60);
  EXPECT_EQ(t, "AA...");  // three dots of 12 leave room for two glyphs
  EXPECT_LE(text().TextWidth(t.c_str()), 60);
  t = "AB";
  TruncateToWidth(t, 100);
  EXPECT_EQ(t, "AB");
}

TEST_F(TextTest, WidthTablesThatAreMissingOrShort) {
  LibFont missing;
  missing.Load(zt_test::UserRoot() + "/none.dat", "testfont.dds", 16, 24);
  EXPECT_NE(DebugText().find("Error locating font width data"), std::string::npos);
  std::string shortDat = zt_test::UserRoot() + "/short.dat";
  std::ofstream(shortDat, std::ios::binary) << "\x07\0\0\0";
  LibFont font;
  font.Load(shortDat, "testfont.dds", 16, 24);
  EXPECT_EQ(font.widths[0], 7);
  EXPECT_EQ(font.widths[1], 0);  // never left uninitialised
  EXPECT_EQ(font.widths[255], 0);
  LibFont longName;
  longName.Load(dat_, std::string(60, 'x'), 16, 24);
  EXPECT_EQ(std::string(longName.name).size(), 31u);
}

TEST_F(TextTest, ShippedFontsLoad) {
  RegisterTextureFolder("data/bitmaps");
  LoadStandardFonts();
  for (const char* name : {"18.dds", "22.dds", "mbm.dds"}) {
    text().SetFont(name, 16);
    ASSERT_NE(text().CurrentFont(), nullptr);
    EXPECT_STREQ(text().CurrentFont()->name, name);
    EXPECT_NE(text().CurrentFont()->texture->texture, nullptr) << name;
    EXPECT_GT(text().TextWidth("Zentrak"), 30) << name;
    EXPECT_LT(text().TextWidth("Zentrak"), 200) << name;
  }
  EXPECT_EQ(DebugText().find("Error locating font width data"), std::string::npos);
}

}  // namespace
