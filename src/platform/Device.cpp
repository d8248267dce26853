#include "platform/Device.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/GLDevice.h"
#include "platform/Image.h"
#include "platform/NullDevice.h"

namespace platform {

const char* FormatName(Format f) {
  switch (f) {
    case Format::A8R8G8B8:
      return "A8R8G8B8";
    case Format::X8R8G8B8:
      return "X8R8G8B8";
    case Format::DXT1:
      return "DXT1";
    case Format::DXT3:
      return "DXT3";
    case Format::DXT5:
      return "DXT5";
    default:
      return "UNKNOWN";
  }
}

int FvfStride(uint32_t fvf) {
  int stride = 0;
  if (fvf & FVF_XYZRHW) stride += 16;
  if (fvf & FVF_DIFFUSE) stride += 4;
  stride += int((fvf >> 8) & 0xF) * 8;
  return stride;
}

int VerticesForPrimitives(PrimitiveType type, int n) {
  if (n <= 0) return 0;
  switch (type) {
    case PrimitiveType::PointList:
      return n;
    case PrimitiveType::LineList:
      return n * 2;
    case PrimitiveType::LineStrip:
      return n + 1;
    case PrimitiveType::TriangleList:
      return n * 3;
    case PrimitiveType::TriangleStrip:
    case PrimitiveType::TriangleFan:
      return n + 2;
  }
  return 0;
}

const char* RenderStateName(RenderState s) {
  static const char* names[] = {"AlphaTestEnable", "AlphaFunc", "AlphaRef",      "AlphaBlendEnable",
                                "SrcBlend",        "DestBlend", "BlendOp",       "Lighting",
                                "ZEnable",         "CullMode",  "TextureFactor", "ScissorTestEnable"};
  int i = int(s);
  return i >= 0 && i < int(RenderState::Count) ? names[i] : "?";
}
const char* SamplerStateName(SamplerState s) {
  static const char* names[] = {"AddressU", "AddressV", "MagFilter", "MinFilter", "MipFilter", "MipLodBias"};
  int i = int(s);
  return i >= 0 && i < int(SamplerState::Count) ? names[i] : "?";
}
const char* StageStateName(StageState s) {
  static const char* names[] = {"ColorOp",   "ColorArg1", "ColorArg2",     "AlphaOp",
                                "AlphaArg1", "AlphaArg2", "TexCoordIndex", "Constant"};
  int i = int(s);
  return i >= 0 && i < int(StageState::Count) ? names[i] : "?";
}

uint32_t FloatBits(float f) {
  uint32_t b;
  std::memcpy(&b, &f, 4);
  return b;
}
float BitsFloat(uint32_t bits) {
  float f;
  std::memcpy(&f, &bits, 4);
  return f;
}

Backend ResolveBackend(Backend backend) {
  if (backend != Backend::Auto) return backend;
  const char* g = std::getenv("ZENTRAK_GRAPHICS");
  if (g && std::strcmp(g, "null") == 0) return Backend::Null;
  if (g && std::strcmp(g, "opengl") == 0) return Backend::OpenGL;
  const char* v = std::getenv("SDL_VIDEODRIVER");
  if (v && std::strcmp(v, "dummy") == 0) return Backend::Null;
  return Backend::OpenGL;
}

std::unique_ptr<Direct3D> CreateDirect3D(Backend backend) {
  if (ResolveBackend(backend) == Backend::Null) return std::make_unique<NullDirect3D>();
  return CreateGLDirect3D();
}

uint32_t WindowFlagsForDevice() {
  return ResolveBackend(Backend::Auto) == Backend::OpenGL ? SDL_WINDOW_OPENGL : 0;
}

bool SaveImageFile(const std::string& path, ImageFileFormat format, int width, int height,
                   const std::vector<uint32_t>& argb) {
  return WriteImageFile(path, format, width, height, argb);
}

HRESULT SaveSurfaceToFile(Device& device, const std::string& path, ImageFileFormat format, Texture* source,
                          const Rect* rect) {
  Rect r;
  if (rect) {
    r = *rect;
  } else {
    r.right = source ? source->Width() : device.BackBufferWidth();
    r.bottom = source ? source->Height() : device.BackBufferHeight();
  }
  if (r.right <= r.left || r.bottom <= r.top) return D3DERR_INVALIDCALL;
  std::vector<uint32_t> px;
  HRESULT hr = device.ReadPixels(source, r, &px);
  if (Failed(hr)) return hr;
  if (!SaveImageFile(path, format, r.right - r.left, r.bottom - r.top, px)) return E_FAIL;
  return D3D_OK;
}

HRESULT CreateTextureFromFile(Device& device, const std::string& path, bool fullMips,
                              std::unique_ptr<Texture>* out, std::string* error, bool keepBlocks) {
  out->reset();
  DecodedImage img;
  std::string reason;
  if (!LoadImageFile(path, &img, &reason, !fullMips && keepBlocks)) {
    if (error) *error = reason;
    return D3DERR_INVALIDCALL;
  }
  // Both back ends take any texture size, so nothing needs rounding up.
  int w = img.width, h = img.height;
  if (!img.blocks.empty()) {
    // Block-compressed art goes to the device as it is stored, where the device samples
    // it; otherwise it is decoded below like any other image.
    int levels = int(img.blocks.size());
    HRESULT hr = device.CreateTexture(w, h, levels, USAGE_NONE, img.sourceFormat, Pool::Managed, out);
    if (Succeeded(hr) && *out && (*out)->GetFormat() == img.sourceFormat && (*out)->Levels() == levels) {
      for (int l = 0; l < levels && Succeeded(hr); ++l)
        hr = (*out)->UploadCompressedLevel(l, std::max(1, w >> l), std::max(1, h >> l),
                                           img.blocks[size_t(l)].data(), img.blocks[size_t(l)].size());
      if (Succeeded(hr)) return D3D_OK;
    }
    out->reset();
    DecodeBlocks(&img);
  }
  if (fullMips) BuildMipChain(&img);
  int levels = int(img.levels.size());
  Format fmt = img.hasAlpha ? Format::A8R8G8B8 : Format::X8R8G8B8;
  HRESULT hr = device.CreateTexture(w, h, levels, USAGE_NONE, fmt, Pool::Managed, out);
  if (Failed(hr) || !*out) return Failed(hr) ? hr : E_FAIL;
  for (int l = 0; l < levels; ++l) {
    int lw = w >> l, lh = h >> l;
    if (lw < 1) lw = 1;
    if (lh < 1) lh = 1;
    hr = (*out)->UploadLevel(l, lw, lh, img.levels[size_t(l)].data());
    if (Failed(hr)) {
      out->reset();
      return hr;
    }
  }
  return D3D_OK;
}

HRESULT CreateTextureFromFileAtSize(Device& device, const std::string& path, int width, int height,
                                    std::unique_ptr<Texture>* out, std::string* error) {
  out->reset();
  DecodedImage img;
  std::string reason;
  if (!LoadImageFileAtSize(path, width, height, &img, &reason)) {
    if (error) *error = reason;
    return D3DERR_INVALIDCALL;
  }
  const Format fmt = img.hasAlpha ? Format::A8R8G8B8 : Format::X8R8G8B8;
  HRESULT hr = device.CreateTexture(img.width, img.height, 1, USAGE_NONE, fmt, Pool::Managed, out);
  if (Failed(hr) || !*out) return Failed(hr) ? hr : E_FAIL;
  hr = (*out)->UploadLevel(0, img.width, img.height, img.levels[0].data());
  if (Failed(hr)) out->reset();
  return hr;
}

Rect DrawClipRect(const Viewport& vp, bool scissorOn, const Rect& scissor, int targetWidth,
                  int targetHeight) {
  int x0 = vp.x, y0 = vp.y, x1 = vp.x + vp.width, y1 = vp.y + vp.height;
  if (scissorOn) {
    x0 = std::max(x0, scissor.left);
    y0 = std::max(y0, scissor.top);
    x1 = std::min(x1, scissor.right);
    y1 = std::min(y1, scissor.bottom);
  }
  x0 = std::max(0, std::min(x0, targetWidth));
  x1 = std::max(x0, std::min(x1, targetWidth));
  y0 = std::max(0, std::min(y0, targetHeight));
  y1 = std::max(y0, std::min(y1, targetHeight));
  return Rect{x0, y0, x1, y1};
}

namespace {
struct Pt {
  double x, y;
};
// One edge of the clip: keeps the side where 'inside' holds, cutting the polygon there.
template <typename Inside, typename Cut>
int ClipEdge(const Pt* in, int n, Pt* out, Inside inside, Cut cut) {
  int m = 0;
  for (int i = 0; i < n; ++i) {
    const Pt& a = in[i];
    const Pt& b = in[(i + 1) % n];
    const bool ia = inside(a), ib = inside(b);
    if (ia) out[m++] = a;
    if (ia != ib) out[m++] = cut(a, b);
  }
  return m;
}

// The area of a triangle inside [x0, x1] x [y0, y1].
double ClippedTriangleArea(Pt a, Pt b, Pt c, double x0, double y0, double x1, double y1) {
  const double minX = std::min({a.x, b.x, c.x}), maxX = std::max({a.x, b.x, c.x});
  const double minY = std::min({a.y, b.y, c.y}), maxY = std::max({a.y, b.y, c.y});
  if (maxX <= x0 || minX >= x1 || maxY <= y0 || minY >= y1) return 0.0;
  Pt p[10] = {a, b, c}, q[10];
  int n = 3;
  if (minX < x0 || maxX > x1 || minY < y0 || maxY > y1) {
    auto atX = [](const Pt& u, const Pt& v, double x) {
      return Pt{x, u.y + (v.y - u.y) * (x - u.x) / (v.x - u.x)};
    };
    auto atY = [](const Pt& u, const Pt& v, double y) {
      return Pt{u.x + (v.x - u.x) * (y - u.y) / (v.y - u.y), y};
    };
    n = ClipEdge(
        p, n, q, [&](const Pt& u) { return u.x >= x0; },
        [&](const Pt& u, const Pt& v) { return atX(u, v, x0); });
    n = ClipEdge(
        q, n, p, [&](const Pt& u) { return u.x <= x1; },
        [&](const Pt& u, const Pt& v) { return atX(u, v, x1); });
    n = ClipEdge(
        p, n, q, [&](const Pt& u) { return u.y >= y0; },
        [&](const Pt& u, const Pt& v) { return atY(u, v, y0); });
    n = ClipEdge(
        q, n, p, [&](const Pt& u) { return u.y <= y1; },
        [&](const Pt& u, const Pt& v) { return atY(u, v, y1); });
  }
  double twice = 0.0;
  for (int i = 0; i < n; ++i) twice += p[i].x * p[(i + 1) % n].y - p[(i + 1) % n].x * p[i].y;
  return std::fabs(twice) * 0.5;
}
}  // namespace

uint64_t CoveredPixels(PrimitiveType type, const std::vector<float>& xy, const Rect& clip) {
  const int n = static_cast<int>(xy.size() / 2);
  if (clip.right <= clip.left || clip.bottom <= clip.top) return 0;
  // Pixel i spans [i - 0.5, i + 0.5): the edges of the clip in vertex space.
  const double x0 = clip.left - 0.5, x1 = clip.right - 0.5, y0 = clip.top - 0.5, y1 = clip.bottom - 0.5;
  auto at = [&](int i) { return Pt{xy[size_t(i) * 2], xy[size_t(i) * 2 + 1]}; };
  double area = 0.0;
  switch (type) {
    case PrimitiveType::TriangleList:
      for (int i = 0; i + 2 < n; i += 3)
        area += ClippedTriangleArea(at(i), at(i + 1), at(i + 2), x0, y0, x1, y1);
      break;
    case PrimitiveType::TriangleStrip:
      for (int i = 0; i + 2 < n; ++i)
        area += ClippedTriangleArea(at(i), at(i + 1), at(i + 2), x0, y0, x1, y1);
      break;
    case PrimitiveType::TriangleFan:
      for (int i = 1; i + 1 < n; ++i) area += ClippedTriangleArea(at(0), at(i), at(i + 1), x0, y0, x1, y1);
      break;
    case PrimitiveType::LineList:
    case PrimitiveType::LineStrip: {
      const int step = type == PrimitiveType::LineList ? 2 : 1;
      for (int i = 0; i + 1 < n; i += step) {
        const Pt a = at(i), b = at(i + 1);
        area += std::max(std::fabs(b.x - a.x), std::fabs(b.y - a.y)) + 1.0;
      }
      break;
    }
    case PrimitiveType::PointList:
      area = n;
      break;
  }
  return static_cast<uint64_t>(area + 0.5);
}

void Device::CountDrawPixels(PrimitiveType type, int primitiveCount, const uint8_t* vertices,
                             size_t vertexBytes, int stride, const uint8_t* indices, size_t indexBytes,
                             int startIndex, int baseVertex, const Rect& clip, int targetWidth,
                             int targetHeight) {
  const int count = VerticesForPrimitives(type, primitiveCount);
  if (!vertices || stride < 8 || count <= 0) return;
  countXY_.clear();
  for (int i = 0; i < count; ++i) {
    long long v = i;
    if (indices) {
      const size_t at = (size_t(std::max(0, startIndex)) + size_t(i)) * 2u;
      if (at + 2 > indexBytes) break;
      uint16_t index;
      std::memcpy(&index, indices + at, 2);
      v = static_cast<long long>(index) + baseVertex;
    }
    if (v < 0 || size_t(v) * size_t(stride) + 8u > vertexBytes) break;
    float p[2];
    std::memcpy(p, vertices + size_t(v) * size_t(stride), sizeof p);
    // Pixel centres sit on whole numbers: a scaled target keeps them there.
    countXY_.push_back(countScale_ == 1.0f ? p[0] : (p[0] + 0.5f) * countScale_ - 0.5f);
    countXY_.push_back(countScale_ == 1.0f ? p[1] : (p[1] + 0.5f) * countScale_ - 0.5f);
  }
  const uint64_t pixels = CoveredPixels(type, countXY_, clip);
  counters_->drawnPixels += pixels;
  // One quad over (nearly) the whole target: a full-screen pass.
  const uint64_t whole = uint64_t(std::max(0, targetWidth)) * uint64_t(std::max(0, targetHeight));
  if (primitiveCount <= 2 && whole > 0 && pixels * 100 >= whole * 95) ++counters_->fullTargetPasses;
}

uint64_t StretchPixels(const Rect& dest, int targetWidth, int targetHeight) {
  const Rect r = DrawClipRect(Viewport{dest.left, dest.top, dest.right - dest.left, dest.bottom - dest.top},
                              false, Rect(), targetWidth, targetHeight);
  return uint64_t(r.right - r.left) * uint64_t(r.bottom - r.top);
}

void Device::CountClearPixels(const Rect& clip) {
  counters_->clearedPixels += uint64_t(clip.right - clip.left) * uint64_t(clip.bottom - clip.top);
  ++counters_->clears;
}

}  // namespace platform
