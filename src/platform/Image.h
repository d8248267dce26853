#pragma once
// Image files. Reading (ImageDecode.cpp): DDS and BMP by our own code, JPEG through
// libjpeg-turbo, PNG through libpng; player and downloaded images reach these, so sizes
// are checked against the caps below before anything is allocated and a corrupt file is
// an error with a reason, never a crash. Writing (Image.cpp): DDS by our own code, BMP
// (24-bit) and PNG through stb's encoders, JPEG through libjpeg-turbo's (stb's in the
// build-time art tools). Pixels are 32-bit ARGB (0xAARRGGBB), rows top first.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Dds.h"

namespace platform {

// Largest JPEG, PNG or BMP accepted: each side, and the whole picture (128 MB decoded).
constexpr int kMaxDecodedSide = 8192;
constexpr int64_t kMaxDecodedPixels = int64_t(8192) * 4096;

// A regular file only (a pipe or device is refused at once), at most maxBytes.
bool ReadWholeBinaryFile(const std::string& path, std::vector<uint8_t>* out,
                         size_t maxBytes = size_t(1) << 30, std::string* error = nullptr);
// The format is told by the first bytes; false with the reason in error when the file is
// not one we read, is corrupt or too large.
// keepBlocks: a block-compressed DDS keeps its blocks undecoded (see ReadDds).
bool DecodeImage(const uint8_t* data, size_t size, DecodedImage* out, std::string* error,
                 bool keepBlocks = false);
bool LoadImageFile(const std::string& path, DecodedImage* out, std::string* error, bool keepBlocks = false);
// Builds a full mip chain below level 0 (box filter); keeps level 0.
void BuildMipChain(DecodedImage* image);
// Shrinks level 0 to width x height, each texel the average of the area it covers (drops
// any other levels). A size larger than the image's, or not positive, leaves it as it is.
void ShrinkImage(DecodedImage* image, int width, int height);
// Writes through a temporary file renamed into place.
bool WriteImageFile(const std::string& path, ImageFileFormat format, int width, int height,
                    const std::vector<uint32_t>& argb, int jpegQuality = 90);

}  // namespace platform
