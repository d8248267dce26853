#pragma once
// Our DDS reader and writer. Reads uncompressed 32-bit (with or without alpha), 24-bit
// and DXT1/3/5 block-compressed surfaces with the mip levels stored in the file, decoded
// to 32-bit ARGB; writes uncompressed A8R8G8B8. Every size and offset in a file is checked
// against the data, so a truncated or hostile file is refused, never over-read.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Device.h"

namespace platform {

struct DecodedImage {
  int width = 0, height = 0;
  Format sourceFormat = Format::A8R8G8B8;
  // levels[0] is the full image; each level is ARGB texels, rows top first.
  std::vector<std::vector<uint32_t>> levels;
  bool hasAlpha = true;
  // A block-compressed file read with its blocks kept: each level's blocks as stored,
  // and 'levels' left empty until DecodeBlocks.
  std::vector<std::vector<uint8_t>> blocks;
};

constexpr uint32_t kDdsMagic = 0x20534444u;  // "DDS "
constexpr int kDdsHeaderSize = 124;
// Largest side we accept from a file (bounds memory for hostile headers).
constexpr int kMaxImageSide = 16384;

bool IsDds(const uint8_t* data, size_t size);
// keepBlocks: a DXT1/3/5 file keeps its blocks (for a device that samples them as they
// are) instead of being decoded to texels.
bool ReadDds(const uint8_t* data, size_t size, DecodedImage* out, std::string* error,
             bool keepBlocks = false);
// Decodes kept blocks into texel levels (and drops the blocks). True when there was
// nothing to decode.
void DecodeBlocks(DecodedImage* image);
// Bytes of one level of a block-compressed format.
size_t CompressedLevelSize(Format format, int width, int height);
// Writes block-compressed levels (DXT1/3/5, each level's blocks as the file stores them)
// as a DDS file, through a temporary file renamed into place.
std::vector<uint8_t> EncodeCompressedDds(int width, int height, Format format,
                                         const std::vector<std::vector<uint8_t>>& levels);
bool WriteCompressedDdsFile(const std::string& path, int width, int height, Format format,
                            const std::vector<std::vector<uint8_t>>& levels);
// Encodes the levels (each half the size of the one before, at least 1) as A8R8G8B8.
std::vector<uint8_t> EncodeDds(int width, int height, const std::vector<std::vector<uint32_t>>& levels);
bool WriteDdsFile(const std::string& path, int width, int height,
                  const std::vector<std::vector<uint32_t>>& levels);

// Decodes one 4x4 block into 16 ARGB texels (row-major).
void DecodeDxt1Block(const uint8_t* block, uint32_t out[16], bool allowTransparent = true);
void DecodeDxt3Block(const uint8_t* block, uint32_t out[16]);
void DecodeDxt5Block(const uint8_t* block, uint32_t out[16]);

}  // namespace platform
