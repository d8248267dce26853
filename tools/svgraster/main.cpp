// Rasterises one SVG to the image file the game loads: zt_svgraster <in.svg> <out.ext>.
// The size is the SVG's own width and height. DDS gets a full mip chain, block-compressed
// with stb_dxt: DXT1 where every texel is opaque, DXT5 otherwise. Art whose texels the
// code reads or writes stays uncompressed A8R8G8B8: its SVG says so with the attribute
// data-texture="uncompressed" on the root element. JPEG/PNG/BMP go through stb.
#include <cairo.h>
#include <librsvg/rsvg.h>

#define STB_DXT_IMPLEMENTATION
#include <stb_dxt.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/Image.h"

namespace {
bool EndsWith(const std::string& s, const std::string& end) {
  return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

// The marker of art kept uncompressed, anywhere in the SVG's text.
bool WantsUncompressed(const std::string& svgPath) {
  std::ifstream in(svgPath, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str().find("data-texture=\"uncompressed\"") != std::string::npos;
}

// One level as DXT blocks; texels past the edge of a level smaller than a block repeat
// the last row and column.
std::vector<uint8_t> CompressLevel(const std::vector<uint32_t>& argb, int w, int h, bool alpha) {
  const int bw = (w + 3) / 4, bh = (h + 3) / 4, blockBytes = alpha ? 16 : 8;
  std::vector<uint8_t> out(size_t(bw) * size_t(bh) * size_t(blockBytes));
  unsigned char rgba[64];
  for (int by = 0; by < bh; ++by) {
    for (int bx = 0; bx < bw; ++bx) {
      for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
          int sx = std::min(bx * 4 + x, w - 1), sy = std::min(by * 4 + y, h - 1);
          uint32_t p = argb[size_t(sy) * size_t(w) + size_t(sx)];
          unsigned char* d = rgba + (y * 4 + x) * 4;
          d[0] = uint8_t(p >> 16);
          d[1] = uint8_t(p >> 8);
          d[2] = uint8_t(p);
          d[3] = uint8_t(p >> 24);
        }
      }
      stb_compress_dxt_block(&out[(size_t(by) * size_t(bw) + size_t(bx)) * size_t(blockBytes)], rgba,
                             alpha ? 1 : 0, STB_DXT_HIGHQUAL);
    }
  }
  return out;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: zt_svgraster <input.svg> <output.(dds|jpg|png|bmp)>\n");
    return 2;
  }
  std::string in = argv[1], out = argv[2];
  GError* error = nullptr;
  RsvgHandle* handle = rsvg_handle_new_from_file(in.c_str(), &error);
  if (!handle) {
    std::fprintf(stderr, "%s: %s\n", in.c_str(), error ? error->message : "cannot load");
    if (error) g_error_free(error);
    return 1;
  }
  double w = 0, h = 0;
  if (!rsvg_handle_get_intrinsic_size_in_pixels(handle, &w, &h) || w < 1 || h < 1 || w > 8192 || h > 8192) {
    std::fprintf(stderr, "%s: the svg element needs width and height in pixels (1..8192)\n", in.c_str());
    g_object_unref(handle);
    return 1;
  }
  int width = int(std::lround(w)), height = int(std::lround(h));
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  cairo_t* cr = cairo_create(surface);
  RsvgRectangle viewport = {0, 0, double(width), double(height)};
  bool ok = rsvg_handle_render_document(handle, cr, &viewport, &error);
  cairo_destroy(cr);
  g_object_unref(handle);
  if (!ok) {
    std::fprintf(stderr, "%s: %s\n", in.c_str(), error ? error->message : "render failed");
    if (error) g_error_free(error);
    cairo_surface_destroy(surface);
    return 1;
  }
  cairo_surface_flush(surface);
  // Cairo keeps premultiplied native-endian ARGB; the game wants straight alpha.
  std::vector<uint32_t> argb(size_t(width) * size_t(height));
  const unsigned char* data = cairo_image_surface_get_data(surface);
  int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < height; ++y) {
    const uint32_t* row = reinterpret_cast<const uint32_t*>(data + size_t(y) * size_t(stride));
    for (int x = 0; x < width; ++x) {
      uint32_t p = row[x];
      uint32_t a = p >> 24;
      uint32_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
      if (a > 0 && a < 255) {
        r = std::min(255u, (r * 255 + a / 2) / a);
        g = std::min(255u, (g * 255 + a / 2) / a);
        b = std::min(255u, (b * 255 + a / 2) / a);
      }
      argb[size_t(y) * width + x] = a << 24 | r << 16 | g << 8 | b;
    }
  }
  cairo_surface_destroy(surface);

  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(out).parent_path(), ec);
  bool written = false;
  if (EndsWith(out, ".dds")) {
    platform::DecodedImage img;
    img.width = width;
    img.height = height;
    img.levels.push_back(argb);
    platform::BuildMipChain(&img);
    if (WantsUncompressed(in)) {
      written = platform::WriteDdsFile(out, width, height, img.levels);
    } else {
      bool opaque = std::all_of(argb.begin(), argb.end(), [](uint32_t p) { return (p >> 24) == 0xFF; });
      platform::Format format = opaque ? platform::Format::DXT1 : platform::Format::DXT5;
      std::vector<std::vector<uint8_t>> blocks;
      for (size_t l = 0; l < img.levels.size(); ++l)
        blocks.push_back(
            CompressLevel(img.levels[l], std::max(1, width >> l), std::max(1, height >> l), !opaque));
      written = platform::WriteCompressedDdsFile(out, width, height, format, blocks);
    }
  } else if (EndsWith(out, ".jpg")) {
    written = platform::WriteImageFile(out, platform::ImageFileFormat::JPG, width, height, argb, 92);
  } else if (EndsWith(out, ".png")) {
    written = platform::WriteImageFile(out, platform::ImageFileFormat::PNG, width, height, argb);
  } else if (EndsWith(out, ".bmp")) {
    written = platform::WriteImageFile(out, platform::ImageFileFormat::BMP, width, height, argb);
  } else {
    std::fprintf(stderr, "%s: unknown output type\n", out.c_str());
    return 1;
  }
  if (!written) {
    std::fprintf(stderr, "%s: cannot write\n", out.c_str());
    return 1;
  }
  return 0;
}
