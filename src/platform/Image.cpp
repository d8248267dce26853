#include "platform/Image.h"

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifndef ZENTRAK_STB_JPEG
// jpeglib.h needs size_t and FILE declared before it.
// clang-format off
#include <jpeglib.h>
// clang-format on
#endif

#include "platform/Files.h"

// The PNG, BMP and JPEG encoders are stb's, built in ImageWrite.cpp.
#include <stb_image_write.h>

namespace platform {

namespace {
// For each of 'to' texels, the source texels of 'from' it covers and how much of each.
struct Span {
  int first = 0;
  std::vector<float> weights;
};
std::vector<Span> AreaSpans(int from, int to) {
  std::vector<Span> spans(static_cast<size_t>(to));
  const double step = double(from) / double(to);
  for (int i = 0; i < to; ++i) {
    const double a = i * step, b = (i + 1) * step;
    Span& s = spans[size_t(i)];
    s.first = int(a);
    for (int k = s.first; k < from && k < b; ++k) {
      const double w = std::min(b, double(k + 1)) - std::max(a, double(k));
      s.weights.push_back(float(w / step));
    }
  }
  return spans;
}
}  // namespace

void ShrinkImage(DecodedImage* image, int width, int height) {
  if (!image || image->levels.empty() || width <= 0 || height <= 0) return;
  const int w = image->width, h = image->height;
  if (width > w || height > h || (width == w && height == h)) return;
  const std::vector<uint32_t>& src = image->levels[0];
  const std::vector<Span> xs = AreaSpans(w, width), ys = AreaSpans(h, height);
  // Across first, then down: four channels as floats in between. Only the few source
  // rows the current output row covers are held (slot = row modulo the widest span):
  // the whole picture's in-between floats would be tens of megabytes to fill at start-up.
  const size_t rowFloats = size_t(width) * 4u;
  size_t slots = 1;
  for (const Span& s : ys) slots = std::max(slots, s.weights.size());
  std::vector<float> across(slots * rowFloats);
  std::vector<int> held(slots, -1);  // the source row in each slot
  auto acrossRow = [&](int y) -> const float* {
    float* out = &across[size_t(y) % slots * rowFloats];
    if (held[size_t(y) % slots] == y) return out;
    held[size_t(y) % slots] = y;
    const uint32_t* row = &src[size_t(y) * size_t(w)];
    for (int x = 0; x < width; ++x) {
      float sum[4] = {0, 0, 0, 0};
      const Span& s = xs[size_t(x)];
      for (size_t k = 0; k < s.weights.size(); ++k) {
        const uint32_t p = row[s.first + int(k)];
        for (int c = 0; c < 4; ++c) sum[c] += s.weights[k] * float((p >> (8 * c)) & 0xFF);
      }
      for (int c = 0; c < 4; ++c) out[size_t(x) * 4u + size_t(c)] = sum[c];
    }
    return out;
  };
  std::vector<uint32_t> dst(size_t(width) * size_t(height));
  std::vector<const float*> rows;
  for (int y = 0; y < height; ++y) {
    const Span& s = ys[size_t(y)];
    rows.clear();
    for (size_t k = 0; k < s.weights.size(); ++k) rows.push_back(acrossRow(s.first + int(k)));
    for (int x = 0; x < width; ++x) {
      float sum[4] = {0, 0, 0, 0};
      for (size_t k = 0; k < s.weights.size(); ++k) {
        const float* in = rows[k] + size_t(x) * 4u;
        for (int c = 0; c < 4; ++c) sum[c] += s.weights[k] * in[c];
      }
      uint32_t p = 0;
      for (int c = 0; c < 4; ++c) p |= uint32_t(std::clamp(int(std::lround(sum[c])), 0, 255)) << (8 * c);
      dst[size_t(y) * size_t(width) + size_t(x)] = p;
    }
  }
  image->levels.assign(1, std::move(dst));
  image->width = width;
  image->height = height;
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

namespace {
#ifndef ZENTRAK_STB_JPEG
struct JpegWriteErrors {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
};

[[noreturn]] void JpegWriteErrorExit(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<JpegWriteErrors*>(cinfo->err)->jump, 1);
}

// JPEG through libjpeg-turbo's SIMD encoder, straight from our 0xAARRGGBB pixels (bytes
// B, G, R, A in memory) with the alpha skipped: several times faster than stb's, which
// matters for the map images the designer bakes on every save. Colour subsampled 2 x 2
// as stb did at the same quality.
bool EncodeJpeg(int width, int height, const std::vector<uint32_t>& argb, int quality,
                std::vector<uint8_t>* bytes) {
  jpeg_compress_struct cinfo{};
  JpegWriteErrors errors{};
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  cinfo.err = jpeg_std_error(&errors.mgr);
  errors.mgr.error_exit = JpegWriteErrorExit;
  if (setjmp(errors.jump)) {
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return false;
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = 4;
  cinfo.in_color_space = JCS_EXT_BGRX;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, std::clamp(quality, 1, 100), TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    // The library only reads the rows it is given.
    JSAMPROW row = reinterpret_cast<JSAMPROW>(
        const_cast<uint32_t*>(argb.data() + size_t(cinfo.next_scanline) * size_t(width)));
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  bytes->assign(buffer, buffer + size);
  jpeg_destroy_compress(&cinfo);
  std::free(buffer);
  return !bytes->empty();
}
#endif

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
#ifndef ZENTRAK_STB_JPEG
  } else if (format == ImageFileFormat::JPG) {
    ok = EncodeJpeg(width, height, argb, jpegQuality, &bytes) ? 1 : 0;
#endif
  } else {
    // Screenshots and saved images carry no alpha.
    std::vector<uint8_t> rgb(argb.size() * 3);
    for (size_t i = 0; i < argb.size(); ++i) {
      uint32_t p = argb[i];
      rgb[i * 3 + 0] = uint8_t(p >> 16);
      rgb[i * 3 + 1] = uint8_t(p >> 8);
      rgb[i * 3 + 2] = uint8_t(p);
    }
#ifdef ZENTRAK_STB_JPEG
    if (format == ImageFileFormat::JPG)
      ok = stbi_write_jpg_to_func(WriteToVector, &bytes, width, height, 3, rgb.data(), jpegQuality);
    else
#endif
      ok = stbi_write_bmp_to_func(WriteToVector, &bytes, width, height, 3, rgb.data());
  }
  if (!ok || bytes.empty()) return false;
  return WriteFileReplacing(path, bytes.data(), bytes.size());
}

}  // namespace platform
