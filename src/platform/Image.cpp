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

ImageShrinker::ImageShrinker(int srcWidth, int srcHeight, int width, int height)
    : srcW_(srcWidth), srcH_(srcHeight), w_(width), h_(height) {
  const std::vector<Span> xs = AreaSpans(srcW_, w_), ys = AreaSpans(srcH_, h_);
  for (const Span& s : xs) {
    xFirst_.push_back(s.first);
    xCount_.push_back(int(s.weights.size()));
    xWeights_.insert(xWeights_.end(), s.weights.begin(), s.weights.end());
  }
  // How many output rows one source row adds to at most: their sums are held side by side.
  std::vector<int> covering(size_t(srcH_), 0);
  for (const Span& s : ys) {
    yFirst_.push_back(s.first);
    yWeights_.push_back(s.weights);
    for (size_t k = 0; k < s.weights.size(); ++k) slots_ = std::max(slots_, ++covering[size_t(s.first) + k]);
  }
  across_.resize(size_t(w_) * 4u);
  sums_.resize(size_t(slots_) * size_t(w_) * 4u);
  out_.resize(size_t(w_) * size_t(h_));
}

void ImageShrinker::AddRow(const uint32_t* row) {
  if (nextSrc_ >= srcH_) return;
  const int y = nextSrc_++;
  // Across first: four channels as floats.
  const float* weight = xWeights_.data();
  for (int x = 0; x < w_; ++x) {
    float sum[4] = {0, 0, 0, 0};
    const int n = xCount_[size_t(x)];
    const uint32_t* in = row + xFirst_[size_t(x)];
    for (int k = 0; k < n; ++k) {
      const uint32_t p = in[k];
      for (int c = 0; c < 4; ++c) sum[c] += weight[k] * float((p >> (8 * c)) & 0xFF);
    }
    weight += n;
    for (int c = 0; c < 4; ++c) across_[size_t(x) * 4u + size_t(c)] = sum[c];
  }
  // Then down, into every output row this source row is part of, in the order of their
  // source rows.
  for (int oy = nextOut_; oy < h_ && yFirst_[size_t(oy)] <= y; ++oy) {
    const std::vector<float>& weights = yWeights_[size_t(oy)];
    const size_t k = size_t(y - yFirst_[size_t(oy)]);
    if (k >= weights.size()) continue;
    float* sum = &sums_[size_t(oy % slots_) * size_t(w_) * 4u];
    if (k == 0) std::fill(sum, sum + size_t(w_) * 4u, 0.0f);
    for (size_t i = 0; i < size_t(w_) * 4u; ++i) sum[i] += weights[k] * across_[i];
  }
  // Rows whose last source row this was are done.
  while (nextOut_ < h_ && yFirst_[size_t(nextOut_)] + int(yWeights_[size_t(nextOut_)].size()) - 1 <= y) {
    const float* sum = &sums_[size_t(nextOut_ % slots_) * size_t(w_) * 4u];
    uint32_t* dst = &out_[size_t(nextOut_) * size_t(w_)];
    for (int x = 0; x < w_; ++x) {
      uint32_t p = 0;
      for (int c = 0; c < 4; ++c)
        p |= uint32_t(std::clamp(int(std::lround(sum[size_t(x) * 4u + size_t(c)])), 0, 255)) << (8 * c);
      dst[x] = p;
    }
    ++nextOut_;
  }
}

std::vector<uint32_t> ImageShrinker::Take() {
  // Rows a short source never reached stay black, as a decoder leaves them.
  return std::move(out_);
}

void ShrinkImage(DecodedImage* image, int width, int height) {
  if (!image || image->levels.empty() || width <= 0 || height <= 0) return;
  const int w = image->width, h = image->height;
  if (!ShrinkWanted(w, h, width, height)) return;
  const std::vector<uint32_t>& src = image->levels[0];
  ImageShrinker shrinker(w, h, width, height);
  for (int y = 0; y < h; ++y) shrinker.AddRow(&src[size_t(y) * size_t(w)]);
  image->levels.clear();
  image->levels.push_back(shrinker.Take());
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
