#include "platform/Image.h"

#include <cstdio>
#include <cstring>

#include "platform/Files.h"

// Writing only: a private copy of stb's encoders (our own pixels go in, never a file
// from outside). Files are read by ImageDecode.cpp. The encoders shift negative
// integers (well defined since C++20, flagged by the undefined-behaviour sanitizer in
// C++17), so their functions are built without the shift check.
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
#define STBIW_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>
#undef static
#pragma GCC diagnostic pop

namespace platform {

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
  return WriteFileReplacing(path, bytes.data(), bytes.size());
}

}  // namespace platform
