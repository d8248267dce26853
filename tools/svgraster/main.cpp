// Rasterises one SVG to the image file the game loads: zt_svgraster <in.svg> <out.ext>.
// The size is the SVG's own width and height; DDS is written uncompressed (A8R8G8B8) with
// a full mip chain, JPEG/PNG/BMP through stb.
#include <cairo.h>
#include <librsvg/rsvg.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/Image.h"

namespace {
bool EndsWith(const std::string& s, const std::string& end) {
  return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
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
    written = platform::WriteDdsFile(out, width, height, img.levels);
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
