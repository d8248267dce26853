#include "engine/TextRenderer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/D3DEngine.h"
#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/Singletons.h"
#include "engine/Textures.h"
#include "platform/Files.h"

namespace {
constexpr int kQueueVertices = 4000;
constexpr int kMaxWrapLength = 2048;
// Cells 95..99 of the sheet are blank; codes with no cell of their own draw that one.
constexpr int kBlankGlyph = 99;

int Glyph(unsigned char c) { return TextRenderer::GlyphIndex(c); }
}  // namespace

// ---------------------------------------------------------------------------------
LibFont::LibFont() {
  // Fixed kerning pairs, in glyph indexes.
  const int f = Glyph('f'), o = Glyph('o');
  for (char second : {'o', 'e', 'a', 'u'})
    kerning[f].emplace_back(Glyph(static_cast<unsigned char>(second)), -1.0f);
  kerning[f].emplace_back(f, -2.0f);
  kerning[o].emplace_back(Glyph('w'), -1.0f);
}

float LibFont::Kerning(int first, int second) const {
  if (first < 0 || first > 255) return 0.0f;
  for (const auto& p : kerning[first])
    if (p.first == second) return p.second;
  return 0.0f;
}

void LibFont::Load(const std::string& widthFile, const std::string& textureName, int base, int cell) {
  baseSize = base > 0 ? base : 16;
  cellSize = cell > 0 ? cell : 24;
  std::snprintf(name, sizeof name, "%s", textureName.c_str());  // bounded to 31 characters
  rows = columns = 10;

  // Both tables are tiny; a pipe, device or huge file at either name is refused at once.
  constexpr int64_t kMaxFontTableBytes = 1 << 16;
  std::string raw, why;
  if (!platform::ReadRegularFile(widthFile, &raw, kMaxFontTableBytes, &why)) {
    DebugLog("Error locating font width data");
    if (why != platform::kFileNotFound) LogError(widthFile + ": " + why);
    return;
  }
  // A short table leaves the missing widths at 0 instead of garbage.
  if (raw.size() < 256 * 4) DebugLog(("Font width data too short: " + widthFile).c_str());
  raw.resize(256 * 4, '\0');
  for (int i = 0; i < 256; ++i) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(raw.data()) + i * 4;
    widths[i] = int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
  }

  std::string textFile = "data/fonts/" + std::string(name) + ".txt";
  std::string text;
  if (platform::ReadRegularFile(textFile, &text, kMaxFontTableBytes, &why)) {
    int i = 0;
    size_t pos = 0;
    while (i < 256 && pos < text.size()) {
      size_t end = text.find('\n', pos);
      if (end == std::string::npos) end = text.size();
      const std::string line = text.substr(pos, end - pos);
      pos = end + 1;
      const size_t comma = line.find(',');
      widths[i] = comma != std::string::npos ? std::atoi(line.c_str() + comma + 1) : 0;
      ++i;
    }
    if (i < 256) {
      DebugLog(("Font width text too short: " + textFile).c_str());
      for (; i < 256; ++i) widths[i] = 0;
    }
    // The binary table is regenerated from the text; a read-only install just skips it.
    if (FILE* w = std::fopen(widthFile.c_str(), "wb")) {
      unsigned char out[256 * 4];
      for (int k = 0; k < 256; ++k) {
        uint32_t v = uint32_t(widths[k]);
        for (int b = 0; b < 4; ++b) out[k * 4 + b] = uint8_t(v >> (8 * b));
      }
      std::fwrite(out, 1, sizeof out, w);
      std::fclose(w);
    } else {
      DebugLog(("Cannot rewrite font width data: " + widthFile).c_str());
    }
  }

  platform::Texture* tex = FindTexture(name);
  float W = tex ? float(tex->Width()) : 0.0f, H = tex ? float(tex->Height()) : 0.0f;
  if (W > 0 && H > 0) {
    for (int j = 0; j < rows; ++j) {
      for (int k = 0; k < columns; ++k) {
        int n = j * columns + k;
        float u0 = cellSize / W * k, u1 = cellSize / W * (k + 1);
        float v0 = cellSize / H * j, v1 = cellSize / H * (j + 1);
        u[n][0] = u0, u[n][1] = u1, u[n][2] = u0, u[n][3] = u1;
        v[n][0] = v0, v[n][1] = v0, v[n][2] = v1, v[n][3] = v1;
      }
    }
  }
  texture = FindOrLoadTexture(name);
}

// ---------------------------------------------------------------------------------
TextCapture::~TextCapture() { Clear(); }
void TextCapture::Clear() {
  for (LibTextChunk* c : chunks) delete c;
  chunks.clear();
}

TextRenderer::TextRenderer() : queue_(kQueueVertices) {}
TextRenderer::~TextRenderer() = default;

int TextRenderer::GlyphIndex(unsigned char c) {
  int g;
  if (c == 128)
    g = 94;
  else if (c == 163)
    g = 92;
  else if (c == 37)
    g = 93;
  else
    g = int(c) - 33;
  if (g < 0 || g > 255) g = 0;
  // Only the first 100 cells exist on the sheet.
  if (g >= 100) g = kBlankGlyph;
  return g;
}

void TextRenderer::Init() {
  fonts_.clear();
  font_ = nullptr;
  size_ = 12.0f;
  queue_.assign(kQueueVertices, GVertex());
  for (auto& q : queue_) {
    q.rhw = 0.0f;
    q.colour = 0;
  }
  buffer_.Init(kQueueVertices);
  queued_ = 0;
  previousGlyph_ = -1;
  initialised_ = true;
}

LibFont* TextRenderer::AddFont(const std::string& widthFile, const std::string& textureName, int baseSize,
                               int cellSize, int spacing) {
  auto font = std::make_unique<LibFont>();
  font->Load(widthFile, textureName, baseSize, cellSize);
  font->spacing = spacing;
  fonts_.push_back(std::move(font));
  return fonts_.back().get();
}

void TextRenderer::SetFont(const char* name, float size) {
  if (!name) return;
  if (size == size_ && font_ && std::strcmp(font_->name, name) == 0) return;
  FindFont(name);
  size_ = size;
}

void TextRenderer::FindFont(const char* name) {
  for (auto& f : fonts_) {
    if (std::strcmp(f->name, name) == 0) {
      if (f.get() != font_ && queued_ > 0) Flush();
      font_ = f.get();
      return;
    }
  }
  DebugLog((std::string("missing font: ") + name).c_str());
}

float TextRenderer::CharWidth(unsigned char c) const {
  if (c == ' ' || c == 0) return size_ * 0.25f;
  if (c == 146) c = '\'';
  if (!font_) return 0.0f;
  float scale = size_ / float(font_->baseSize);
  float w = fixedWidth_ ? size_ / 12.0f * 9.0f : float(font_->widths[GlyphIndex(c)]) * scale;
  return w + scale * float(font_->spacing);
}

int TextRenderer::TextWidth(const char* text) const {
  if (!initialised_) {
    DebugLog("Text Not Initialised");
    return 0;
  }
  if (!text) return 0;
  float w = 0.0f;
  for (const char* p = text; *p; ++p) w += CharWidth(static_cast<unsigned char>(*p));
  return int(w);
}

void TextRenderer::Print(int alignment, const char* text, float x, float y, uint32_t colour, float width) {
  if (!initialised_) {
    DebugLog("TextNotInitialised");
    return;
  }
  if (!text) return;
  if (capture_ && capture_->state != TextCapture::Off) {
    if (capture_->state == TextCapture::Recording) {
      auto* chunk = new LibTextChunk();
      chunk->text = text;
      chunk->x = x;
      chunk->y = y;
      chunk->colour = colour;
      chunk->size = size_;
      chunk->alignment = alignment;
      chunk->width = width;
      chunk->font = font_ ? font_->name : "";
      capture_->chunks.push_back(chunk);
    }
    return;
  }
  if (!font_) {
    DebugLog("missing font: (none selected)");
    return;
  }
  size_t len = std::strlen(text);
  if (queued_ + 4 * len > size_t(kQueueVertices)) Flush();
  LayOut(alignment, text, x, y, colour, width, [this](const GVertex(&quad)[4]) {
    if (queued_ > kQueueVertices - 5) {
      DebugLog("ERROR - Text exceeds max characters");
      return false;
    }
    std::copy(quad, quad + 4, &queue_[size_t(queued_)]);
    queued_ += 4;
    return true;
  });
}

bool TextRenderer::LayOutGlyphs(int alignment, const char* text, float x, float y, uint32_t colour,
                                float width, const GlyphSink& glyph) {
  if (!initialised_ || !text || !font_ || (capture_ && capture_->state != TextCapture::Off)) return false;
  LayOut(alignment, text, x, y, colour, width, [&glyph](const GVertex(&quad)[4]) {
    glyph(quad);
    return true;
  });
  return true;
}

template <class Emit>
void TextRenderer::LayOut(int alignment, const char* text, float x, float y, uint32_t colour, float width,
                          Emit&& emit) {
  float px;
  if (alignment == 1)
    px = x + width - float(TextWidth(text));
  else if (alignment == 2)
    px = float(int(x + width / 2.0f - float(TextWidth(text)) / 2.0f));
  else
    px = float(int(x));
  float py = float(int(y));
  previousGlyph_ = -1;
  const float scale = size_ / float(font_->baseSize);
  const float q = scale * float(font_->cellSize);

  for (const char* p = text; *p; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c == 146) c = '\'';
    if (c == '\t') {
      px = (std::floor(px / 80.0f) + 1.0f) * 80.0f;
      previousGlyph_ = -1;
      continue;
    }
    if (c == ' ') {
      px += float(int(size_ * 0.25f));
      previousGlyph_ = -1;
      continue;
    }
    int g = GlyphIndex(c);
    if (previousGlyph_ >= 0) px += scale * font_->Kerning(previousGlyph_, g);
    GVertex v[4];
    const float xs[4] = {px - 0.5f, px + q - 0.5f, px - 0.5f, px + q - 0.5f};
    const float ys[4] = {py - 0.5f, py - 0.5f, py + q - 0.5f, py + q - 0.5f};
    for (int k = 0; k < 4; ++k) {
      v[k].x = xs[k];
      v[k].y = ys[k];
      v[k].z = 0.0f;
      v[k].rhw = 1.0f;
      v[k].colour = colour;
      v[k].u = font_->u[g][k];
      v[k].v = font_->v[g][k];
    }
    if (!emit(v)) break;
    px += fixedWidth_ ? size_ / 12.0f * 9.0f : scale * float(font_->widths[g]);
    px += scale * float(font_->spacing);
    lastX_ = px;
    lastY_ = py;
    previousGlyph_ = g;
  }
}

void TextRenderer::Flush() {
  if (!initialised_) {
    DebugLog("TextNotInitialised");
    return;
  }
  if (queued_ == 0) return;
  D3DEngine& e = GetRenderDevice();
  // At the font's own size glyphs map 1:1 to pixels, so sample them exactly.
  bool point = font_ && size_ == float(font_->baseSize);
  if (point) e.SetPointFiltering(true);
  buffer_.SetTexture(font_ ? font_->texture : nullptr);
  buffer_.AddVertices(queue_.data(), queued_);
  buffer_.Flush();
  if (point) e.SetPointFiltering(false);
  queued_ = 0;
}

void TextRenderer::NextLine(std::string& text, float width, std::string& rest) const {
  std::string line;
  float w = 0.0f;
  int count = 0;
  bool spaceSeen = false;
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    line.push_back(char(c));
    if (c == ' ') {
      count = 1;
      spaceSeen = true;
    } else {
      ++count;
    }
    w += CharWidth(c);
    if (float(int(w)) >= width) {
      if (spaceSeen) {
        // Break before the space in front of the current word.
        size_t wordStart = i + 2 - size_t(count);
        rest = text.substr(wordStart);
        text = text.substr(0, wordStart - 1);
      } else {
        // One word wider than the line: break inside it, at least one character per line.
        size_t keep = i > 0 ? i : 1;
        rest = text.substr(keep);
        text = text.substr(0, keep);
      }
      return;
    }
  }
  rest.clear();
}

std::string TextRenderer::NextLineString(const std::string& text, float width, std::string* rest) const {
  std::string line = text, r;
  NextLine(line, width, r);
  if (rest) *rest = r;
  return line;
}

float TextRenderer::PrintWrapped(const char* text, uint32_t colour, float x, float y, float width) {
  if (!text) return y;
  if (std::strlen(text) >= size_t(kMaxWrapLength)) {
    DebugLog("Text too long in one chunk (max 2048)");
    return y;
  }
  std::string remaining = text;
  const float leading = font_ ? float(font_->leading) : 0.0f;
  while (!remaining.empty()) {
    std::string line = remaining, rest;
    NextLine(line, width, rest);
    Print(0, line.c_str(), x, y, colour, width);
    y += size_ + leading;
    if (rest.size() >= remaining.size()) break;  // no progress: stop rather than spin
    remaining = rest;
  }
  return y;
}

float TextRenderer::PrintString(const std::string& text, float x, float y, float width, uint32_t colour) {
  return PrintWrapped(text.c_str(), colour, x, y, width);
}

float TextRenderer::GetWrappedHeight(const char* text, float width) const {
  if (!text) return 0.0f;
  std::string remaining = text;
  const float leading = font_ ? float(font_->leading) : 0.0f;
  float h = 0.0f;
  while (!remaining.empty()) {
    std::string line = remaining, rest;
    NextLine(line, width, rest);
    h += size_ + leading;
    if (rest.size() <= 1 || rest.size() >= remaining.size()) break;
    remaining = rest;
  }
  return h;
}

void TextRenderer::Release() {
  fonts_.clear();
  font_ = nullptr;
  buffer_.Release();
  queued_ = 0;
  initialised_ = false;
}

TextRenderer& GetTextRenderer() {
  static std::unique_ptr<TextRenderer> s;
  static bool registered = (RegisterSingletonReset([] { s.reset(); }), true);
  (void)registered;
  if (!s) s = std::make_unique<TextRenderer>();
  return *s;
}

void LoadStandardFonts() {
  TextRenderer& t = GetTextRenderer();
  t.Init();
  t.AddFont("data/fonts/18.dds.dat", "18.dds", 16, 24, 3);
  t.AddFont("data/fonts/22.dds.dat", "22.dds", 16, 24, 0);
  t.AddFont("data/fonts/mbm.dds.dat", "mbm.dds", 48, 48, 12);
}

void TruncateToWidth(std::string& text, float width) {
  TextRenderer& t = GetTextRenderer();
  if (float(t.TextWidth(text.c_str())) <= width) return;
  const float dots = t.CharWidth('.') * 3.0f;
  while (!text.empty() && float(t.TextWidth(text.c_str())) + dots > width) text.pop_back();
  text += "...";
}

std::string FitPrefix(const std::string& text, float width) {
  TextRenderer& t = GetTextRenderer();
  float w = 0.0f;
  size_t n = 0;
  for (; n < text.size(); ++n) {
    float next = w + t.CharWidth(static_cast<unsigned char>(text[n]));
    if (!(next < width)) break;
    w = next;
  }
  return text.substr(0, n);
}

std::string FitTextToWidth(const std::string& text, float width) {
  std::string prefix = FitPrefix(text, width);
  return prefix.size() < text.size() ? prefix + "..." : prefix;
}
