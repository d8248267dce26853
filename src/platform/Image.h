#pragma once
// Image files: DDS through our own code, JPEG, PNG and BMP read through stb; BMP (24-bit),
// JPEG and PNG written through stb. Pixels are 32-bit ARGB (0xAARRGGBB), rows top first.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Dds.h"

namespace platform {

bool ReadWholeBinaryFile(const std::string& path, std::vector<uint8_t>* out,
                         size_t maxBytes = size_t(1) << 30);
// keepBlocks: a block-compressed DDS keeps its blocks undecoded (see ReadDds).
bool DecodeImage(const uint8_t* data, size_t size, DecodedImage* out, std::string* error,
                 bool keepBlocks = false);
bool LoadImageFile(const std::string& path, DecodedImage* out, std::string* error, bool keepBlocks = false);
// Builds a full mip chain below level 0 (box filter); keeps level 0.
void BuildMipChain(DecodedImage* image);
// Writes through a temporary file renamed into place.
bool WriteImageFile(const std::string& path, ImageFileFormat format, int width, int height,
                    const std::vector<uint32_t>& argb, int jpegQuality = 90);
// Scales to a new size (box/nearest mix, for rounding textures up to powers of two).
std::vector<uint32_t> ResizeImage(const std::vector<uint32_t>& src, int sw, int sh, int dw, int dh);

}  // namespace platform
