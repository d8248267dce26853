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
// Whether ShrinkImage would change an image of srcWidth x srcHeight.
inline bool ShrinkWanted(int srcWidth, int srcHeight, int width, int height) {
  return width > 0 && height > 0 && width <= srcWidth && height <= srcHeight &&
         (width != srcWidth || height != srcHeight);
}
// ShrinkImage a row at a time, as a decoder hands the rows over (top first): only a few
// rows of sums are held, never the whole source picture.
class ImageShrinker {
 public:
  ImageShrinker(int srcWidth, int srcHeight, int width, int height);
  // One source row of srcWidth texels; rows past the last are ignored.
  void AddRow(const uint32_t* row);
  // The shrunk texels (width x height); rows never reached are 0.
  std::vector<uint32_t> Take();

 private:
  int srcW_, srcH_, w_, h_;
  int nextSrc_ = 0, nextOut_ = 0, slots_ = 1;
  std::vector<int> xFirst_, xCount_, yFirst_;
  std::vector<float> xWeights_;
  std::vector<std::vector<float>> yWeights_;
  std::vector<float> across_, sums_;
  std::vector<uint32_t> out_;
};
// Reads and decodes a file shrunk to width x height as ShrinkImage would (one level). JPEG
// pictures and block-compressed DDS files are shrunk as they are decoded, so the full-size
// picture is never held; other files are decoded whole first.
bool LoadImageFileAtSize(const std::string& path, int width, int height, DecodedImage* out,
                         std::string* error);
// Writes through a temporary file renamed into place.
bool WriteImageFile(const std::string& path, ImageFileFormat format, int width, int height,
                    const std::vector<uint32_t>& argb, int jpegQuality = 90);

}  // namespace platform
