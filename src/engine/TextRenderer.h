#pragma once
// Bitmap fonts (10 by 10 glyph cells, width tables, kerning pairs) and the global text
// renderer that lays text out into its own queue of 4000 vertices and draws it through
// its own vertex buffer.
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/VertexBuffer.h"

class CLoadedTexture;

class LibFont {
 public:
  LibFont();
  virtual ~LibFont() = default;
  // Loads widths and cell coordinates (Algorithms of the font loader).
  void Load(const std::string& widthFile, const std::string& textureName, int baseSize, int cellSize);
  float Kerning(int first, int second) const;

  float u[256][4] = {};  // top-left, top-right, bottom-left, bottom-right
  float v[256][4] = {};
  int widths[256] = {};
  std::vector<std::pair<int, float>> kerning[256];
  char name[32] = {};
  int spacing = 0;
  int leading = 0;
  int baseSize = 16;
  int cellSize = 24;
  CLoadedTexture* texture = nullptr;
  int rows = 10, columns = 10;
};

class LibTextChunk {
 public:
  virtual ~LibTextChunk() = default;
  std::string text;
  float x = 0.0f, y = 0.0f;
  uint32_t colour = 0;
  float size = 0.0f;
  int alignment = 0;
  float width = 0.0f;
  std::string font;
};

// Where TextRenderer::Print sends its calls instead of drawing (edit fields hit-test glyphs).
struct TextCapture {
  enum State { Off, Recording, Muted };
  State state = Recording;
  std::vector<LibTextChunk*> chunks;  // owned by whoever set the capture
  ~TextCapture();
  void Clear();
};

class TextRenderer {
 public:
  TextRenderer();
  virtual ~TextRenderer();

  void Init();
  LibFont* AddFont(const std::string& widthFile, const std::string& textureName, int baseSize, int cellSize,
                   int spacing = 0);
  void SetFont(const char* name, float size);
  void FindFont(const char* name);
  void Print(int alignment, const char* text, float x, float y, uint32_t colour, float width = 0.0f);
  // Lays text out as Print does, but hands each glyph's cell quad to 'glyph' instead of
  // queueing it, so a caller can draw it its own way (only the part of the cell that
  // shows, say). False, with nothing handed over, when Print would not draw: not
  // initialised, no font, or a capture is taking the calls.
  using GlyphSink = std::function<void(const GVertex (&quad)[4])>;
  bool LayOutGlyphs(int alignment, const char* text, float x, float y, uint32_t colour, float width,
                    const GlyphSink& glyph);
  void Flush();
  float CharWidth(unsigned char c) const;
  int TextWidth(const char* text) const;
  // Cuts text to the line that fits the width; the rest is returned in 'rest'.
  void NextLine(std::string& text, float width, std::string& rest) const;
  std::string NextLineString(const std::string& text, float width, std::string* rest = nullptr) const;
  float PrintWrapped(const char* text, uint32_t colour, float x, float y, float width);
  float PrintString(const std::string& text, float x, float y, float width, uint32_t colour);
  float GetWrappedHeight(const char* text, float width) const;
  void Release();

  static int GlyphIndex(unsigned char c);
  bool IsInitialised() const { return initialised_; }
  LibFont* CurrentFont() const { return font_; }
  float Size() const { return size_; }
  void SetSize(float size) { size_ = size; }
  void SetFixedWidth(bool on) { fixedWidth_ = on; }
  int QueuedVertices() const { return queued_; }
  float LastX() const { return lastX_; }
  float LastY() const { return lastY_; }
  void SetCapture(TextCapture* capture) { capture_ = capture; }
  TextCapture* Capture() const { return capture_; }
  const std::vector<std::unique_ptr<LibFont>>& Fonts() const { return fonts_; }
  GVertexBuffer& Buffer() { return buffer_; }

 private:
  // The one layout: 'emit' takes each glyph's quad and says whether to go on.
  template <class Emit>
  void LayOut(int alignment, const char* text, float x, float y, uint32_t colour, float width, Emit&& emit);

  std::vector<std::unique_ptr<LibFont>> fonts_;
  LibFont* font_ = nullptr;
  std::vector<GVertex> queue_;
  int queued_ = 0;
  GVertexBuffer buffer_;
  float size_ = 12.0f;
  bool fixedWidth_ = false;
  bool initialised_ = false;
  int previousGlyph_ = -1;
  TextCapture* capture_ = nullptr;
  float lastX_ = 0.0f, lastY_ = 0.0f;
};

TextRenderer& GetTextRenderer();

// Initialises the renderer and loads the game's three fonts with their letter spacing:
// "18.dds" (16, 24, spacing 3), "22.dds" (16, 24, 0), "mbm.dds" (48, 48, 12).
void LoadStandardFonts();

// Shortens text in place to fit the width, ending it with "..." when it was cut.
void TruncateToWidth(std::string& text, float width);
// The longest prefix narrower than the width, with "..." when the text was cut.
std::string FitTextToWidth(const std::string& text, float width);
std::string FitPrefix(const std::string& text, float width);
