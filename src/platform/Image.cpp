#include "platform/Image.h"

#include <cstdio>
#include <cstring>

// Private copies of the stb codecs so no other translation unit can collide with them.
// The codecs shift negative integers (well defined since C++20, flagged by the undefined-
// behaviour sanitizer in C++17), so their functions are built without the shift check.
#include <assert.h>
#include <limits.h>
#include <math.h>
#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wattributes"
#define static static __attribute__((no_sanitize("shift", "signed-integer-overflow")))
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_JPEG
#define STBI_ONLY_PNG
#define STBI_ONLY_BMP
#define STBI_FAILURE_USERMSG
#include <stb_image.h>
#define STBIW_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>
#undef static
#pragma GCC diagnostic pop

namespace platform {

bool ReadWholeBinaryFile(const std::string& path, std::vector<uint8_t>* out, size_t maxBytes) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  out->clear();
  uint8_t buf[65536];
  size_t n;
  bool ok = true;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
    if (out->size() + n > maxBytes) {
      ok = false;
      break;
    }
    out->insert(out->end(), buf, buf + n);
  }
  if (std::ferror(f)) ok = false;
  std::fclose(f);
  return ok;
}

bool DecodeImage(const uint8_t* data, size_t size, DecodedImage* out, std::string* error, bool keepBlocks) {
  if (IsDds(data, size)) return ReadDds(data, size, out, error, keepBlocks);
  if (size > size_t(1) << 30) {
    if (error) *error = "image too large";
    return false;
  }
  int w = 0, h = 0, comp = 0;
  if (!stbi_info_from_memory(data, int(size), &w, &h, &comp)) {
    if (error) *error = stbi_failure_reason() ? stbi_failure_reason() : "unknown image format";
    return false;
  }
  if (w <= 0 || h <= 0 || w > kMaxImageSide || h > kMaxImageSide) {
    if (error) *error = "image size out of range";
    return false;
  }
  unsigned char* px = stbi_load_from_memory(data, int(size), &w, &h, &comp, 4);
  if (!px) {
    if (error) *error = stbi_failure_reason() ? stbi_failure_reason() : "image decode failed";
    return false;
  }
  out->width = w;
  out->height = h;
  out->hasAlpha = comp == 2 || comp == 4;
  out->sourceFormat = out->hasAlpha ? Format::A8R8G8B8 : Format::X8R8G8B8;
  out->levels.assign(1, std::vector<uint32_t>(size_t(w) * size_t(h)));
  std::vector<uint32_t>& dst = out->levels[0];
  for (size_t i = 0; i < dst.size(); ++i) {
    const unsigned char* p = px + i * 4;
    dst[i] = uint32_t(p[3]) << 24 | uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
  }
  stbi_image_free(px);
  return true;
}

bool LoadImageFile(const std::string& path, DecodedImage* out, std::string* error, bool keepBlocks) {
  std::vector<uint8_t> bytes;
  if (!ReadWholeBinaryFile(path, &bytes)) {
    if (error) *error = "cannot read file";
    return false;
  }
  if (bytes.empty()) {
    if (error) *error = "empty file";
    return false;
  }
  return DecodeImage(bytes.data(), bytes.size(), out, error, keepBlocks);
}

void BuildMipChain(DecodedImage* image) {
  if (image->levels.empty()) return;
  image->levels.resize(1);
  int w = image->width, h = image->height;
  while (w > 1 || h > 1) {
    int nw = w > 1 ? w / 2 : 1, nh = h > 1 ? h / 2 : 1;
    const std::vector<uint32_t>& src = image->levels.back();
    std::vector<uint32_t> dst(size_t(nw) * size_t(nh));
    for (int y = 0; y < nh; ++y) {
      for (int x = 0; x < nw; ++x) {
        uint32_t sum[4] = {0, 0, 0, 0};
        int n = 0;
        for (int dy = 0; dy < 2; ++dy) {
          for (int dx = 0; dx < 2; ++dx) {
            int sx = x * 2 + dx, sy = y * 2 + dy;
            if (sx >= w || sy >= h) continue;
            uint32_t p = src[size_t(sy) * w + sx];
            for (int c = 0; c < 4; ++c) sum[c] += (p >> (8 * c)) & 0xFF;
            ++n;
          }
        }
        uint32_t p = 0;
        for (int c = 0; c < 4; ++c) p |= ((sum[c] + n / 2) / n) << (8 * c);
        dst[size_t(y) * nw + x] = p;
      }
    }
    image->levels.push_back(std::move(dst));
    w = nw;
    h = nh;
  }
}

std::vector<uint32_t> ResizeImage(const std::vector<uint32_t>& src, int sw, int sh, int dw, int dh) {
  std::vector<uint32_t> dst(size_t(dw) * size_t(dh));
  for (int y = 0; y < dh; ++y) {
    int sy = int((int64_t(y) * sh) / dh);
    for (int x = 0; x < dw; ++x) {
      int sx = int((int64_t(x) * sw) / dw);
      dst[size_t(y) * dw + x] = src[size_t(sy) * sw + sx];
    }
  }
  return dst;
}

namespace {
void WriteToVector(void* context, void* data, int size) {
  auto* v = static_cast<std::vector<uint8_t>*>(context);
  auto* p = static_cast<uint8_t*>(data);
  v->insert(v->end(), p, p + size);
}
}  // namespace

bool WriteImageFile(const std::string& path, ImageFileFormat format, int width, int height,
                    const std::vector<uint32_t>& argb, int jpegQuality) {
  if (width <= 0 || height <= 0 || argb.size() != size_t(width) * size_t(height)) return false;
  if (format == ImageFileFormat::DDS) return WriteDdsFile(path, width, height, {argb});
  std::vector<uint8_t> bytes;
  int ok = 0;
  if (format == ImageFileFormat::PNG) {
    std::vector<uint8_t> rgba(argb.size() * 4);
    for (size_t i = 0; i < argb.size(); ++i) {
      uint32_t p = argb[i];
      rgba[i * 4 + 0] = uint8_t(p >> 16);
      rgba[i * 4 + 1] = uint8_t(p >> 8);
      rgba[i * 4 + 2] = uint8_t(p);
      rgba[i * 4 + 3] = uint8_t(p >> 24);
    }
    ok = stbi_write_png_to_func(WriteToVector, &bytes, width, height, 4, rgba.data(), width * 4);
  } else {
    // Screenshots and saved images carry no alpha.
    std::vector<uint8_t> rgb(argb.size() * 3);
    for (size_t i = 0; i < argb.size(); ++i) {
      uint32_t p = argb[i];
      rgb[i * 3 + 0] = uint8_t(p >> 16);
      rgb[i * 3 + 1] = uint8_t(p >> 8);
      rgb[i * 3 + 2] = uint8_t(p);
    }
    if (format == ImageFileFormat::JPG)
      ok = stbi_write_jpg_to_func(WriteToVector, &bytes, width, height, 3, rgb.data(), jpegQuality);
    else
      ok = stbi_write_bmp_to_func(WriteToVector, &bytes, width, height, 3, rgb.data());
  }
  if (!ok || bytes.empty()) return false;
  std::string tmp = path + ".tmp";
  FILE* f = std::fopen(tmp.c_str(), "wb");
  if (!f) return false;
  bool good = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  good = (std::fclose(f) == 0) && good;
  if (!good || std::rename(tmp.c_str(), path.c_str()) != 0) {
    std::remove(tmp.c_str());
    return false;
  }
  return true;
}

}  // namespace platform
