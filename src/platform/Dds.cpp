#include "platform/Dds.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/Files.h"
#include "platform/Image.h"

namespace platform {
namespace {

uint32_t Rd32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t Rd16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
void Wr32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

constexpr uint32_t DDSD_CAPS = 0x1, DDSD_HEIGHT = 0x2, DDSD_WIDTH = 0x4, DDSD_PITCH = 0x8,
                   DDSD_PIXELFORMAT = 0x1000, DDSD_MIPMAPCOUNT = 0x20000, DDSD_LINEARSIZE = 0x80000;
constexpr uint32_t DDPF_ALPHAPIXELS = 0x1, DDPF_FOURCC = 0x4, DDPF_RGB = 0x40;
constexpr uint32_t DDSCAPS_COMPLEX = 0x8, DDSCAPS_TEXTURE = 0x1000, DDSCAPS_MIPMAP = 0x400000;

uint32_t Expand565(uint16_t c) {
  uint32_t r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
  r = (r << 3) | (r >> 2);
  g = (g << 2) | (g >> 4);
  b = (b << 3) | (b >> 2);
  return r << 16 | g << 8 | b;
}

uint32_t Mix(uint32_t a, uint32_t b, int wa, int wb, int div) {
  uint32_t out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    uint32_t ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
    out |= ((ca * wa + cb * wb) / div) << shift;
  }
  return out;
}

void DecodeColourBlock(const uint8_t* block, uint32_t out[16], bool threeColourMode) {
  uint16_t c0 = Rd16(block), c1 = Rd16(block + 2);
  uint32_t palette[4];
  palette[0] = Expand565(c0) | 0xFF000000u;
  palette[1] = Expand565(c1) | 0xFF000000u;
  if (c0 > c1 || !threeColourMode) {
    palette[2] = Mix(palette[0], palette[1], 2, 1, 3) | 0xFF000000u;
    palette[3] = Mix(palette[0], palette[1], 1, 2, 3) | 0xFF000000u;
  } else {
    palette[2] = Mix(palette[0], palette[1], 1, 1, 2) | 0xFF000000u;
    palette[3] = 0x00000000u;  // transparent black
  }
  uint32_t bits = Rd32(block + 4);
  for (int i = 0; i < 16; ++i) out[i] = palette[(bits >> (2 * i)) & 3];
}

int BlockBytes(Format f) { return f == Format::DXT1 ? 8 : 16; }

// Channel extraction for uncompressed masks.
struct Channel {
  uint32_t mask = 0;
  int shift = 0;
  int bits = 0;
};
Channel MakeChannel(uint32_t mask) {
  Channel c;
  c.mask = mask;
  if (!mask) return c;
  while (!((mask >> c.shift) & 1)) ++c.shift;
  while (c.shift + c.bits < 32 && ((mask >> (c.shift + c.bits)) & 1)) ++c.bits;
  return c;
}
uint32_t Extract(uint32_t px, const Channel& c, uint32_t fallback) {
  if (!c.mask) return fallback;
  uint32_t v = (px & c.mask) >> c.shift;
  uint32_t maxv = (c.bits >= 32) ? 0xFFFFFFFFu : ((1u << c.bits) - 1);
  if (maxv == 0) return fallback;
  return uint32_t((uint64_t(v) * 255 + maxv / 2) / maxv);
}

bool Fail(std::string* error, const char* text) {
  if (error) *error = text;
  return false;
}

}  // namespace

void DecodeDxt1Block(const uint8_t* block, uint32_t out[16], bool allowTransparent) {
  DecodeColourBlock(block, out, allowTransparent);
}

void DecodeDxt3Block(const uint8_t* block, uint32_t out[16]) {
  DecodeColourBlock(block + 8, out, false);
  for (int i = 0; i < 16; ++i) {
    uint32_t a = (block[i / 2] >> ((i & 1) * 4)) & 0xF;
    out[i] = (out[i] & 0x00FFFFFFu) | ((a * 17) << 24);
  }
}

void DecodeDxt5Block(const uint8_t* block, uint32_t out[16]) {
  DecodeColourBlock(block + 8, out, false);
  uint32_t a0 = block[0], a1 = block[1];
  uint32_t alpha[8];
  alpha[0] = a0;
  alpha[1] = a1;
  if (a0 > a1) {
    for (int i = 1; i < 7; ++i) alpha[i + 1] = ((7 - i) * a0 + i * a1) / 7;
  } else {
    for (int i = 1; i < 5; ++i) alpha[i + 1] = ((5 - i) * a0 + i * a1) / 5;
    alpha[6] = 0;
    alpha[7] = 255;
  }
  uint64_t bits = 0;
  for (int i = 0; i < 6; ++i) bits |= uint64_t(block[2 + i]) << (8 * i);
  for (int i = 0; i < 16; ++i) {
    uint32_t idx = uint32_t(bits >> (3 * i)) & 7;
    out[i] = (out[i] & 0x00FFFFFFu) | (alpha[idx] << 24);
  }
}

bool IsDds(const uint8_t* data, size_t size) { return size >= 4 && Rd32(data) == kDdsMagic; }

namespace {
// Decodes one level of blocks into texels.
std::vector<uint32_t> DecodeLevel(Format format, const uint8_t* data, int w, int hgt) {
  std::vector<uint32_t> px(size_t(w) * size_t(hgt));
  int bw = (w + 3) / 4, bh = (hgt + 3) / 4;
  uint32_t block[16];
  for (int by = 0; by < bh; ++by) {
    for (int bx = 0; bx < bw; ++bx) {
      const uint8_t* b = data + (size_t(by) * bw + bx) * BlockBytes(format);
      if (format == Format::DXT1)
        DecodeDxt1Block(b, block);
      else if (format == Format::DXT3)
        DecodeDxt3Block(b, block);
      else
        DecodeDxt5Block(b, block);
      for (int y = 0; y < 4; ++y) {
        int py = by * 4 + y;
        if (py >= hgt) break;
        for (int x = 0; x < 4; ++x) {
          int pxx = bx * 4 + x;
          if (pxx >= w) break;
          px[size_t(py) * w + pxx] = block[y * 4 + x];
        }
      }
    }
  }
  return px;
}
}  // namespace

size_t CompressedLevelSize(Format format, int width, int height) {
  return size_t((width + 3) / 4) * size_t((height + 3) / 4) * size_t(BlockBytes(format));
}

void DecodeBlocks(DecodedImage* image) {
  if (image->blocks.empty()) return;
  image->levels.clear();
  for (size_t l = 0; l < image->blocks.size(); ++l) {
    int w = std::max(1, image->width >> l), hgt = std::max(1, image->height >> l);
    image->levels.push_back(DecodeLevel(image->sourceFormat, image->blocks[l].data(), w, hgt));
  }
  image->blocks.clear();
  image->blocks.shrink_to_fit();
}

bool ReadDds(const uint8_t* data, size_t size, DecodedImage* out, std::string* error, bool keepBlocks) {
  if (!IsDds(data, size)) return Fail(error, "not a DDS file");
  if (size < 4 + size_t(kDdsHeaderSize)) return Fail(error, "DDS header truncated");
  const uint8_t* h = data + 4;
  if (Rd32(h) != uint32_t(kDdsHeaderSize)) return Fail(error, "DDS header size is wrong");
  uint32_t flags = Rd32(h + 4);
  uint32_t height = Rd32(h + 8), width = Rd32(h + 12);
  uint32_t mipCount = Rd32(h + 24);
  uint32_t pfFlags = Rd32(h + 76), fourCC = Rd32(h + 80), bitCount = Rd32(h + 84);
  uint32_t rMask = Rd32(h + 88), gMask = Rd32(h + 92), bMask = Rd32(h + 96), aMask = Rd32(h + 100);
  uint32_t caps2 = Rd32(h + 108);
  if (width == 0 || height == 0 || width > uint32_t(kMaxImageSide) || height > uint32_t(kMaxImageSide))
    return Fail(error, "DDS size out of range");
  if (caps2 & 0x200) return Fail(error, "DDS cube maps are not supported");
  if (caps2 & 0x200000) return Fail(error, "DDS volume textures are not supported");

  Format format = Format::Unknown;
  bool compressed = false;
  if (pfFlags & DDPF_FOURCC) {
    if (fourCC == uint32_t(Format::DXT1) || fourCC == uint32_t(Format::DXT3) ||
        fourCC == uint32_t(Format::DXT5)) {
      format = Format(fourCC);
      compressed = true;
    } else {
      return Fail(error, "DDS compression format not supported");
    }
  } else if (pfFlags & (DDPF_RGB | DDPF_ALPHAPIXELS)) {
    if (bitCount != 32 && bitCount != 24 && bitCount != 16) return Fail(error, "DDS bit count not supported");
    format = (pfFlags & DDPF_ALPHAPIXELS) && aMask ? Format::A8R8G8B8 : Format::X8R8G8B8;
  } else {
    return Fail(error, "DDS pixel format not supported");
  }

  int maxLevels = 1;
  for (uint32_t s = (width > height ? width : height); s > 1; s >>= 1) ++maxLevels;
  int levels = 1;
  if ((flags & DDSD_MIPMAPCOUNT) || mipCount > 1) levels = mipCount == 0 ? 1 : int(mipCount);
  if (levels > maxLevels) levels = maxLevels;

  out->width = int(width);
  out->height = int(height);
  out->sourceFormat = format;
  out->levels.clear();
  out->blocks.clear();
  out->hasAlpha = format != Format::X8R8G8B8;

  size_t offset = 4 + kDdsHeaderSize;
  Channel cr = MakeChannel(rMask), cg = MakeChannel(gMask), cb = MakeChannel(bMask), ca = MakeChannel(aMask);
  for (int level = 0; level < levels; ++level) {
    int w = int(width >> level), hgt = int(height >> level);
    if (w < 1) w = 1;
    if (hgt < 1) hgt = 1;
    // The data is checked before the level is allocated: a header may claim any size.
    const size_t need = compressed ? size_t((w + 3) / 4) * size_t((hgt + 3) / 4) * size_t(BlockBytes(format))
                                   : size_t(w) * size_t(hgt) * (bitCount / 8);
    if (size - offset < need) {
      if (level == 0) return Fail(error, "DDS data truncated");
      break;  // keep the complete levels
    }
    if (compressed && keepBlocks) {
      out->blocks.emplace_back(data + offset, data + offset + need);
      offset += need;
      continue;
    }
    std::vector<uint32_t> px;
    if (compressed) {
      px = DecodeLevel(format, data + offset, w, hgt);
      offset += need;
    } else {
      px.resize(size_t(w) * size_t(hgt));
      size_t bpp = bitCount / 8;
      const uint8_t* p = data + offset;
      for (size_t i = 0; i < size_t(w) * size_t(hgt); ++i, p += bpp) {
        uint32_t raw = bpp == 4 ? Rd32(p) : bpp == 3 ? uint32_t(p[0] | p[1] << 8 | p[2] << 16) : Rd16(p);
        uint32_t a = format == Format::A8R8G8B8 ? Extract(raw, ca, 255) : 255;
        px[i] = a << 24 | Extract(raw, cr, 0) << 16 | Extract(raw, cg, 0) << 8 | Extract(raw, cb, 0);
      }
      offset += need;
    }
    out->levels.push_back(std::move(px));
  }
  return true;
}

std::vector<uint8_t> EncodeDds(int width, int height, const std::vector<std::vector<uint32_t>>& levels) {
  std::vector<uint8_t> out;
  size_t total = 0;
  for (auto& l : levels) total += l.size() * 4;
  out.reserve(4 + kDdsHeaderSize + total);
  Wr32(out, kDdsMagic);
  Wr32(out, kDdsHeaderSize);
  uint32_t flags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT;
  if (levels.size() > 1) flags |= DDSD_MIPMAPCOUNT;
  Wr32(out, flags);
  Wr32(out, uint32_t(height));
  Wr32(out, uint32_t(width));
  Wr32(out, uint32_t(width) * 4);  // pitch
  Wr32(out, 0);                    // depth
  Wr32(out, uint32_t(levels.size() > 1 ? levels.size() : 0));
  for (int i = 0; i < 11; ++i) Wr32(out, 0);
  Wr32(out, 32);  // pixel format size
  Wr32(out, DDPF_RGB | DDPF_ALPHAPIXELS);
  Wr32(out, 0);
  Wr32(out, 32);
  Wr32(out, 0x00FF0000u);
  Wr32(out, 0x0000FF00u);
  Wr32(out, 0x000000FFu);
  Wr32(out, 0xFF000000u);
  uint32_t caps = DDSCAPS_TEXTURE;
  if (levels.size() > 1) caps |= DDSCAPS_COMPLEX | DDSCAPS_MIPMAP;
  Wr32(out, caps);
  for (int i = 0; i < 4; ++i) Wr32(out, 0);
  for (auto& l : levels)
    for (uint32_t px : l) Wr32(out, px);
  return out;
}

namespace {
bool WriteBytesFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  return WriteFileReplacing(path, bytes.data(), bytes.size());
}
}  // namespace

bool WriteDdsFile(const std::string& path, int width, int height,
                  const std::vector<std::vector<uint32_t>>& levels) {
  if (levels.empty() || width <= 0 || height <= 0) return false;
  if (levels[0].size() != size_t(width) * size_t(height)) return false;
  return WriteBytesFile(path, EncodeDds(width, height, levels));
}

std::vector<uint8_t> EncodeCompressedDds(int width, int height, Format format,
                                         const std::vector<std::vector<uint8_t>>& levels) {
  std::vector<uint8_t> out;
  size_t total = 0;
  for (auto& l : levels) total += l.size();
  out.reserve(4 + kDdsHeaderSize + total);
  Wr32(out, kDdsMagic);
  Wr32(out, kDdsHeaderSize);
  uint32_t flags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT | DDSD_LINEARSIZE;
  if (levels.size() > 1) flags |= DDSD_MIPMAPCOUNT;
  Wr32(out, flags);
  Wr32(out, uint32_t(height));
  Wr32(out, uint32_t(width));
  Wr32(out, uint32_t(levels.empty() ? 0 : levels[0].size()));  // linear size of level 0
  Wr32(out, 0);                                                // depth
  Wr32(out, uint32_t(levels.size() > 1 ? levels.size() : 0));
  for (int i = 0; i < 11; ++i) Wr32(out, 0);
  Wr32(out, 32);  // pixel format size
  Wr32(out, DDPF_FOURCC);
  Wr32(out, uint32_t(format));
  for (int i = 0; i < 5; ++i) Wr32(out, 0);  // bit count and masks
  uint32_t caps = DDSCAPS_TEXTURE;
  if (levels.size() > 1) caps |= DDSCAPS_COMPLEX | DDSCAPS_MIPMAP;
  Wr32(out, caps);
  for (int i = 0; i < 4; ++i) Wr32(out, 0);
  for (auto& l : levels) out.insert(out.end(), l.begin(), l.end());
  return out;
}

bool WriteCompressedDdsFile(const std::string& path, int width, int height, Format format,
                            const std::vector<std::vector<uint8_t>>& levels) {
  if (levels.empty() || width <= 0 || height <= 0) return false;
  if (format != Format::DXT1 && format != Format::DXT3 && format != Format::DXT5) return false;
  for (size_t l = 0; l < levels.size(); ++l)
    if (levels[l].size() != CompressedLevelSize(format, std::max(1, width >> l), std::max(1, height >> l)))
      return false;
  return WriteBytesFile(path, EncodeCompressedDds(width, height, format, levels));
}

}  // namespace platform
