// Reading image files. Textures, icons, downloaded scenario pictures and other players'
// images all come through here, so every decoder treats its input as hostile: the
// claimed size is checked against the caps before any pixel memory is allocated, and
// a corrupt file ends in an error with its reason (the caller logs it), never in a
// crash. JPEG is libjpeg-turbo's and PNG libpng's (both fuzzed upstream); their fatal
// errors come back to us through longjmp. BMP and DDS are our own small readers.
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>

// jpeglib.h needs size_t and FILE declared before it.
// clang-format off
#include <jpeglib.h>
#include <jerror.h>
#include <png.h>
// clang-format on

#include "platform/Files.h"
#include "platform/Image.h"

namespace platform {
namespace {

bool Fail(std::string* error, const std::string& why) {
  if (error) *error = why;
  return false;
}

// The caps every format shares: checked on the header's numbers, before allocating.
bool SizeAllowed(int64_t w, int64_t h, const char* format, std::string* error) {
  if (w <= 0 || h <= 0) return Fail(error, std::string(format) + ": image has no pixels");
  if (w > kMaxDecodedSide || h > kMaxDecodedSide || w * h > kMaxDecodedPixels)
    return Fail(error, std::string(format) + ": image of " + std::to_string(w) + " x " + std::to_string(h) +
                           " pixels is too large");
  return true;
}

void StartImage(DecodedImage* out, int w, int h, bool alpha) {
  out->width = w;
  out->height = h;
  out->hasAlpha = alpha;
  out->sourceFormat = alpha ? Format::A8R8G8B8 : Format::X8R8G8B8;
  // Emplaced, not assigned from a temporary: assign would copy the whole picture.
  out->levels.clear();
  out->levels.emplace_back(size_t(w) * size_t(h));
}

// ------------------------------------------------------------------------ JPEG

// A progressive file may hold any number of scans, each a pass over the whole picture;
// real encoders write about ten.
constexpr int kMaxJpegScans = 500;
// What the library may allocate beyond our own pixels (a progressive picture keeps
// every coefficient of the image).
constexpr long kMaxJpegWorkMemory = 512L * 1024 * 1024;

struct JpegErrors {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void JpegErrorExit(j_common_ptr cinfo) {
  auto* e = reinterpret_cast<JpegErrors*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, e->message);
  std::longjmp(e->jump, 1);
}

// Warnings the library would print. Data that ends early or is damaged is refused (the
// library would otherwise fill the rest with grey and call it a picture); the few
// that only note an odd but readable file are let through.
void JpegEmitMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) return;  // trace messages
  switch (cinfo->err->msg_code) {
    case JWRN_EXTRANEOUS_DATA:
    case JWRN_JFIF_MAJOR:
    case JWRN_ADOBE_XFORM:
      return;
    default:
      JpegErrorExit(cinfo);
  }
}

void JpegOutputMessage(j_common_ptr) {}

void JpegProgress(j_common_ptr cinfo) {
  auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (d->input_scan_number > kMaxJpegScans) {
    auto* e = reinterpret_cast<JpegErrors*>(cinfo->err);
    std::snprintf(e->message, sizeof e->message, "more than %d scans", kMaxJpegScans);
    std::longjmp(e->jump, 1);
  }
}

// Everything the decoder touches between setjmp and longjmp lives here, in memory that
// survives the jump.
struct JpegJob {
  jpeg_decompress_struct cinfo;
  JpegErrors errors;
  jpeg_progress_mgr progress;
  std::vector<uint8_t> cmykRow;
  // Decoding straight into a smaller picture: one row at a time through the shrinker.
  std::vector<uint32_t> row;
  std::unique_ptr<ImageShrinker> shrinker;
};

// With a shrinkWidth x shrinkHeight that ShrinkImage would apply, the picture comes out at
// that size, shrunk row by row as it is decoded.
bool DecodeJpeg(const uint8_t* data, size_t size, DecodedImage* out, std::string* error, int shrinkWidth = 0,
                int shrinkHeight = 0) {
  auto job = std::make_unique<JpegJob>();
  jpeg_decompress_struct* cinfo = &job->cinfo;
  std::memset(cinfo, 0, sizeof *cinfo);
  cinfo->err = jpeg_std_error(&job->errors.mgr);
  job->errors.mgr.error_exit = JpegErrorExit;
  job->errors.mgr.emit_message = JpegEmitMessage;
  job->errors.mgr.output_message = JpegOutputMessage;
  job->errors.message[0] = '\0';
  if (setjmp(job->errors.jump)) {
    jpeg_destroy_decompress(&job->cinfo);
    out->levels.clear();
    return Fail(error, std::string("JPEG: ") + job->errors.message);
  }
  jpeg_create_decompress(cinfo);
  job->progress.progress_monitor = JpegProgress;
  cinfo->progress = &job->progress;
  cinfo->mem->max_memory_to_use = kMaxJpegWorkMemory;
  jpeg_mem_src(cinfo, data, static_cast<unsigned long>(size));
  jpeg_read_header(cinfo, TRUE);
  if (!SizeAllowed(cinfo->image_width, cinfo->image_height, "JPEG", error)) {
    jpeg_destroy_decompress(cinfo);
    return false;
  }
  const bool cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
  // Four bytes B, G, R, 0xFF in memory are one little-endian 0xAARRGGBB texel.
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  cinfo->out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
#else
  cinfo->out_color_space = cmyk ? JCS_CMYK : JCS_EXT_ARGB;
#endif
  cinfo->dct_method = JDCT_ISLOW;
  jpeg_start_decompress(cinfo);
  const int w = static_cast<int>(cinfo->output_width), h = static_cast<int>(cinfo->output_height);
  if (cinfo->output_components != 4 || !SizeAllowed(w, h, "JPEG", error)) {
    if (cinfo->output_components != 4) Fail(error, "JPEG: unexpected colour layout");
    jpeg_destroy_decompress(cinfo);
    return false;
  }
  const bool shrink = ShrinkWanted(w, h, shrinkWidth, shrinkHeight);
  if (shrink) {
    job->row.resize(size_t(w));
    job->shrinker = std::make_unique<ImageShrinker>(w, h, shrinkWidth, shrinkHeight);
  } else {
    StartImage(out, w, h, false);
  }
  if (cmyk) job->cmykRow.resize(size_t(w) * 4);
  // Adobe writes its CMYK inverted; the library says whether the file is Adobe's.
  const bool inverted = cinfo->saw_Adobe_marker;
  while (cinfo->output_scanline < cinfo->output_height) {
    const size_t y = cinfo->output_scanline;
    uint32_t* row = shrink ? job->row.data() : out->levels[0].data() + y * size_t(w);
    JSAMPROW target = cmyk ? job->cmykRow.data() : reinterpret_cast<JSAMPROW>(row);
    if (jpeg_read_scanlines(cinfo, &target, 1) != 1) break;
    if (cmyk) {
      for (int x = 0; x < w; ++x) {
        const uint8_t* p = job->cmykRow.data() + size_t(x) * 4;
        uint32_t c = p[0], m = p[1], ye = p[2], k = p[3];
        if (!inverted) {
          c = 255 - c, m = 255 - m, ye = 255 - ye, k = 255 - k;
        }
        const uint32_t r = (c * k + 127) / 255, g = (m * k + 127) / 255, b = (ye * k + 127) / 255;
        row[x] = 0xFF000000u | r << 16 | g << 8 | b;
      }
    }
    if (shrink) job->shrinker->AddRow(row);
  }
  jpeg_finish_decompress(cinfo);
  jpeg_destroy_decompress(cinfo);
  if (shrink) {
    out->width = shrinkWidth;
    out->height = shrinkHeight;
    out->hasAlpha = false;
    out->sourceFormat = Format::X8R8G8B8;
    out->levels.clear();
    out->levels.push_back(job->shrinker->Take());
  }
  return true;
}

// ------------------------------------------------------------------------- PNG

struct PngJob {
  png_structp png = nullptr;
  png_infop info = nullptr;
  const uint8_t* data = nullptr;
  size_t size = 0;
  size_t pos = 0;
  std::vector<png_bytep> rows;
  char message[256] = "";
  char warning[256] = "";  // the first; libpng says what was wrong with a header there
};

void PngRead(png_structp png, png_bytep dest, png_size_t length) {
  auto* job = static_cast<PngJob*>(png_get_io_ptr(png));
  if (length > job->size - job->pos) png_error(png, "file ends early");
  std::memcpy(dest, job->data + job->pos, length);
  job->pos += length;
}

[[noreturn]] void PngError(png_structp png, png_const_charp message) {
  auto* job = static_cast<PngJob*>(png_get_error_ptr(png));
  std::snprintf(job->message, sizeof job->message, "%s", message ? message : "corrupt file");
  png_longjmp(png, 1);
}

void PngWarning(png_structp png, png_const_charp message) {
  auto* job = static_cast<PngJob*>(png_get_error_ptr(png));
  if (!job->warning[0] && message) std::snprintf(job->warning, sizeof job->warning, "%s", message);
}

bool DecodePng(const uint8_t* data, size_t size, DecodedImage* out, std::string* error) {
  auto job = std::make_unique<PngJob>();
  job->data = data;
  job->size = size;
  job->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, job.get(), PngError, PngWarning);
  if (!job->png) return Fail(error, "PNG: cannot start the decoder");
  job->info = png_create_info_struct(job->png);
  if (!job->info) {
    png_destroy_read_struct(&job->png, nullptr, nullptr);
    return Fail(error, "PNG: cannot start the decoder");
  }
  if (setjmp(png_jmpbuf(job->png))) {
    png_destroy_read_struct(&job->png, &job->info, nullptr);
    out->levels.clear();
    std::string why = std::string("PNG: ") + job->message;
    if (job->warning[0]) why += std::string(" (") + job->warning + ")";
    return Fail(error, why);
  }
  png_set_read_fn(job->png, job.get(), PngRead);
  // The library refuses larger headers itself, before it allocates a row.
  png_set_user_limits(job->png, kMaxDecodedSide, kMaxDecodedSide);
  png_set_chunk_malloc_max(job->png, 8u * 1024 * 1024);
  png_read_info(job->png, job->info);
  png_uint_32 w = 0, h = 0;
  int depth = 0, colour = 0, interlace = 0;
  png_get_IHDR(job->png, job->info, &w, &h, &depth, &colour, &interlace, nullptr, nullptr);
  if (!SizeAllowed(w, h, "PNG", error)) {
    png_destroy_read_struct(&job->png, &job->info, nullptr);
    return false;
  }
  const bool transparency = png_get_valid(job->png, job->info, PNG_INFO_tRNS) != 0;
  const bool alpha = (colour & PNG_COLOR_MASK_ALPHA) != 0 || transparency;
  // Everything becomes 8-bit B, G, R, A in memory: one little-endian ARGB texel.
  if (depth == 16) png_set_strip_16(job->png);
  if (colour == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(job->png);
  if (colour == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(job->png);
  if (transparency) png_set_tRNS_to_alpha(job->png);
  if ((colour & PNG_COLOR_MASK_COLOR) == 0) png_set_gray_to_rgb(job->png);
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  png_set_bgr(job->png);
  if (!alpha) png_set_filler(job->png, 0xFF, PNG_FILLER_AFTER);
#else
  if (!alpha)
    png_set_filler(job->png, 0xFF, PNG_FILLER_BEFORE);
  else
    png_set_swap_alpha(job->png);
#endif
  png_set_interlace_handling(job->png);
  png_read_update_info(job->png, job->info);
  if (png_get_rowbytes(job->png, job->info) != size_t(w) * 4) png_error(job->png, "unexpected row layout");
  StartImage(out, int(w), int(h), alpha);
  job->rows.resize(h);
  for (png_uint_32 y = 0; y < h; ++y)
    job->rows[y] = reinterpret_cast<png_bytep>(out->levels[0].data() + size_t(y) * w);
  png_read_image(job->png, job->rows.data());
  png_read_end(job->png, nullptr);
  png_destroy_read_struct(&job->png, &job->info, nullptr);
  return true;
}

// ------------------------------------------------------------------------- BMP

uint32_t Le16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t Le32(const uint8_t* p) { return Le16(p) | Le16(p + 2) << 16; }

// One colour channel of a bit-field pixel, scaled to 8 bits.
struct Channel {
  uint32_t mask = 0;
  int shift = 0;
  uint32_t max = 0;
  explicit Channel(uint32_t m) : mask(m) {
    if (!m) return;
    while (!((m >> shift) & 1)) ++shift;
    max = m >> shift;
  }
  uint32_t Get(uint32_t px, uint32_t absent) const {
    if (!max) return absent;
    return uint32_t((uint64_t((px & mask) >> shift) * 255 + max / 2) / max);
  }
};

bool DecodeBmp(const uint8_t* data, size_t size, DecodedImage* out, std::string* error) {
  if (size < 26) return Fail(error, "BMP: header truncated");
  const uint32_t pixelOffset = Le32(data + 10);
  const uint32_t headerSize = Le32(data + 14);
  if (headerSize != 12 && headerSize < 40) return Fail(error, "BMP: unknown header");
  if (headerSize > size - 14) return Fail(error, "BMP: header truncated");
  const uint8_t* h = data + 14;
  int64_t w = 0, rows = 0;
  uint32_t planes = 0, bpp = 0, compression = 0, coloursUsed = 0;
  if (headerSize == 12) {
    w = Le16(h + 4);
    rows = int16_t(Le16(h + 6));
    planes = Le16(h + 8);
    bpp = Le16(h + 10);
  } else {
    w = int32_t(Le32(h + 4));
    rows = int32_t(Le32(h + 8));
    planes = Le16(h + 12);
    bpp = Le16(h + 14);
    compression = Le32(h + 16);
    coloursUsed = Le32(h + 32);
  }
  const bool topDown = rows < 0;
  const int64_t height = topDown ? -rows : rows;
  if (planes != 1) return Fail(error, "BMP: bad plane count");
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
    return Fail(error, "BMP: unsupported bit depth " + std::to_string(bpp));
  if (!SizeAllowed(w, height, "BMP", error)) return false;

  // Channel masks: stated for bit fields, else the classic layouts.
  uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha
  bool alpha = false;
  size_t tableAt = 14 + headerSize;
  if (compression == 3 || compression == 6) {
    if (bpp != 16 && bpp != 32) return Fail(error, "BMP: bit fields need 16 or 32 bits");
    const int count = compression == 6 ? 4 : 3;
    const size_t at = headerSize >= 52 ? 14 + 40 : tableAt;
    if (at + size_t(count) * 4 > size) return Fail(error, "BMP: masks truncated");
    for (int i = 0; i < count; ++i) masks[i] = Le32(data + at + size_t(i) * 4);
    if (headerSize >= 56) masks[3] = Le32(data + 14 + 52);
    if (headerSize == 40) tableAt += size_t(count) * 4;
    alpha = masks[3] != 0;
  } else if (compression != 0) {
    return Fail(error, "BMP: compressed files are not supported");
  } else if (bpp == 16) {
    masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
  } else if (bpp == 32) {
    masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF, masks[3] = 0xFF000000u;
    alpha = true;
  }

  uint32_t palette[256] = {};
  uint32_t paletteSize = 0;
  if (bpp <= 8) {
    const uint32_t entry = headerSize == 12 ? 3 : 4;
    paletteSize = coloursUsed == 0 ? (1u << bpp) : coloursUsed;
    if (paletteSize > (1u << bpp)) return Fail(error, "BMP: palette larger than its bit depth allows");
    if (tableAt + size_t(paletteSize) * entry > size) return Fail(error, "BMP: palette truncated");
    for (uint32_t i = 0; i < paletteSize; ++i) {
      const uint8_t* p = data + tableAt + size_t(i) * entry;
      palette[i] = 0xFF000000u | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    }
  }

  const uint64_t stride = ((uint64_t(w) * bpp + 31) / 32) * 4;
  if (pixelOffset > size || stride * uint64_t(height) > size - pixelOffset)
    return Fail(error, "BMP: pixel data truncated");

  const Channel red(masks[0]), green(masks[1]), blue(masks[2]), alphaChannel(masks[3]);
  StartImage(out, int(w), int(height), alpha);
  std::vector<uint32_t>& px = out->levels[0];
  bool anyAlpha = false;
  for (int64_t y = 0; y < height; ++y) {
    const uint8_t* src = data + pixelOffset + stride * uint64_t(topDown ? y : height - 1 - y);
    uint32_t* dst = px.data() + size_t(y) * size_t(w);
    for (int64_t x = 0; x < w; ++x) {
      uint32_t value = 0;
      if (bpp <= 8) {
        const uint32_t perByte = 8 / bpp;
        const uint32_t byte = src[x / perByte];
        const uint32_t index = (byte >> ((perByte - 1 - uint32_t(x % perByte)) * bpp)) & ((1u << bpp) - 1);
        // An index past the palette is black rather than a read past it.
        value = index < paletteSize ? palette[index] : 0xFF000000u;
      } else if (bpp == 24) {
        const uint8_t* p = src + x * 3;
        value = 0xFF000000u | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
      } else {
        const uint32_t raw = bpp == 16 ? Le16(src + x * 2) : Le32(src + x * 4);
        const uint32_t a = alphaChannel.Get(raw, 255);
        if (alpha && a) anyAlpha = true;
        value = a << 24 | red.Get(raw, 0) << 16 | green.Get(raw, 0) << 8 | blue.Get(raw, 0);
      }
      dst[x] = value;
    }
  }
  // Many writers leave the fourth byte of a 32-bit file at zero: that is no alpha at all.
  if (alpha && !anyAlpha) {
    for (uint32_t& p : px) p |= 0xFF000000u;
    out->hasAlpha = false;
    out->sourceFormat = Format::X8R8G8B8;
  }
  return true;
}

}  // namespace

bool ReadWholeBinaryFile(const std::string& path, std::vector<uint8_t>* out, size_t maxBytes,
                         std::string* error) {
  return ReadRegularFile(path, out, static_cast<int64_t>(maxBytes), error);
}

bool DecodeImage(const uint8_t* data, size_t size, DecodedImage* out, std::string* error, bool keepBlocks) {
  *out = DecodedImage();
  if (!data || size == 0) return Fail(error, "empty file");
  if (IsDds(data, size)) return ReadDds(data, size, out, error, keepBlocks);
  if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF)
    return DecodeJpeg(data, size, out, error);
  if (size >= 8 && png_sig_cmp(data, 0, 8) == 0) return DecodePng(data, size, out, error);
  if (size >= 2 && data[0] == 'B' && data[1] == 'M') return DecodeBmp(data, size, out, error);
  return Fail(error, "unknown image format");
}

bool LoadImageFile(const std::string& path, DecodedImage* out, std::string* error, bool keepBlocks) {
  std::vector<uint8_t> bytes;
  std::string why;
  if (!ReadWholeBinaryFile(path, &bytes, size_t(1) << 30, &why))
    return Fail(error, "cannot read file: " + why);
  if (bytes.empty()) return Fail(error, "empty file");
  return DecodeImage(bytes.data(), bytes.size(), out, error, keepBlocks);
}

bool LoadImageFileAtSize(const std::string& path, int width, int height, DecodedImage* out,
                         std::string* error) {
  *out = DecodedImage();
  std::vector<uint8_t> bytes;
  std::string why;
  if (!ReadWholeBinaryFile(path, &bytes, size_t(1) << 30, &why))
    return Fail(error, "cannot read file: " + why);
  if (bytes.empty()) return Fail(error, "empty file");
  const uint8_t* data = bytes.data();
  const size_t size = bytes.size();
  if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF)
    return DecodeJpeg(data, size, out, error, width, height);
  // Block-compressed: only the top level's blocks are decoded, four rows at a time.
  if (!DecodeImage(data, size, out, error, true)) return false;
  if (out->blocks.empty()) {
    ShrinkImage(out, width, height);
    out->levels.resize(1);
    return true;
  }
  const int w = out->width, h = out->height;
  if (!ShrinkWanted(w, h, width, height)) {
    out->blocks.resize(1);
    DecodeBlocks(out);
    return true;
  }
  ImageShrinker shrinker(w, h, width, height);
  const size_t blockBytes = CompressedLevelSize(out->sourceFormat, 4, 4);
  const int blocksAcross = (w + 3) / 4;
  std::vector<uint32_t> rows(size_t(w) * 4u);
  uint32_t block[16];
  const uint8_t* level = out->blocks[0].data();
  for (int by = 0; by < (h + 3) / 4; ++by) {
    for (int bx = 0; bx < blocksAcross; ++bx) {
      const uint8_t* b = level + (size_t(by) * size_t(blocksAcross) + size_t(bx)) * blockBytes;
      if (out->sourceFormat == Format::DXT1)
        DecodeDxt1Block(b, block);
      else if (out->sourceFormat == Format::DXT3)
        DecodeDxt3Block(b, block);
      else
        DecodeDxt5Block(b, block);
      for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4 && bx * 4 + x < w; ++x)
          rows[size_t(y) * size_t(w) + size_t(bx * 4 + x)] = block[y * 4 + x];
    }
    for (int y = 0; y < 4 && by * 4 + y < h; ++y) shrinker.AddRow(&rows[size_t(y) * size_t(w)]);
  }
  out->blocks.clear();
  out->levels.clear();
  out->levels.push_back(shrinker.Take());
  out->width = width;
  out->height = height;
  return true;
}

}  // namespace platform
