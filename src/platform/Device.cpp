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

}  // namespace platform
