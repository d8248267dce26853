// Reading JPEG, PNG and BMP files that may come from anywhere (downloaded scenarios,
// other players' pictures): the valid ones decode to their exact pixels, and the corpus
// of hostile ones in hostile_images/ (written by make_images.py there) is refused with
// a reason, without a sanitizer report and without a large allocation.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/Image.h"

#if defined(__SANITIZE_ADDRESS__)
// The address sanitizer's allocator hooks (GCC ships no header for them).
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*, size_t),
                                                         void (*free_hook)(const volatile void*));
#define ZT_ALLOCATION_HOOKS 1
#endif

namespace {

using platform::DecodedImage;
using platform::DecodeImage;

const std::string kCorpus = std::string(ZENTRAK_TEST_SOURCE_DIR) + "/platform/hostile_images/";

std::vector<uint8_t> ReadCorpusFile(const std::string& name) {
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(platform::ReadWholeBinaryFile(kCorpus + name, &bytes)) << name;
  return bytes;
}

// The largest single allocation made while decoding, where the address sanitizer lets
// us watch the allocator; -1 where it does not.
std::atomic<bool> g_watching{false};
std::atomic<size_t> g_largest{0};
#ifdef ZT_ALLOCATION_HOOKS
void OnMalloc(const volatile void*, size_t size) {
  if (!g_watching.load(std::memory_order_relaxed)) return;
  size_t seen = g_largest.load(std::memory_order_relaxed);
  while (size > seen && !g_largest.compare_exchange_weak(seen, size)) {
  }
}
void OnFree(const volatile void*) {}
#endif

struct DecodeResult {
  bool ok = false;
  std::string error;
  DecodedImage image;
  long long largestAllocation = -1;
};

DecodeResult Decode(const std::vector<uint8_t>& bytes) {
#ifdef ZT_ALLOCATION_HOOKS
  // Hooks cannot be removed, so they are installed once and switched by the flag.
  static const bool installed = (__sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree), true);
  (void)installed;
#endif
  DecodeResult r;
  g_largest = 0;
  g_watching = true;
  r.ok = DecodeImage(bytes.data(), bytes.size(), &r.image, &r.error);
  g_watching = false;
#ifdef ZT_ALLOCATION_HOOKS
  r.largestAllocation = static_cast<long long>(g_largest.load());
#endif
  return r;
}

// The pattern make_images.py paints: 4 x 3 pixels.
uint32_t Rgb(int x, int y) { return uint32_t(x * 50) << 16 | uint32_t(y * 70) << 8 | uint32_t((x + y) * 20); }
uint32_t Alpha(int x, int y) { return uint32_t(255 - x * 60) << 24; }

struct ValidCase {
  const char* file;
  int width, height;
  bool alpha;
  std::function<uint32_t(int, int)> pixel;
};

const std::vector<ValidCase>& ValidCases() {
  static const std::vector<ValidCase> cases = {
      {"valid_rgba.png", 4, 3, true, [](int x, int y) { return Alpha(x, y) | Rgb(x, y); }},
      {"valid_palette_trns.png", 4, 3, true,
       [](int x, int y) {
         const int i = y * 4 + x;
         return uint32_t(i == 0 ? 0 : i == 1 ? 128 : 255) << 24 | Rgb(x, y);
       }},
      // 16 bits per sample keep their high byte.
      {"valid_gray16.png", 4, 3, false,
       [](int x, int) { return 0xFF000000u | uint32_t(x * 50) * 0x010101u; }},
      {"valid_gray.jpg", 8, 8, false, [](int, int) { return 0xFF808080u; }},
      {"valid_24.bmp", 4, 3, false, [](int x, int y) { return 0xFF000000u | Rgb(x, y); }},
      {"valid_8bit_topdown.bmp", 4, 3, false, [](int x, int y) { return 0xFF000000u | Rgb(x, y); }},
      {"valid_32_bitfields.bmp", 4, 3, true, [](int x, int y) { return Alpha(x, y) | Rgb(x, y); }},
      {"valid_1bit.bmp", 4, 3, false, [](int x, int) { return x % 2 ? 0xFFFFFFFFu : 0xFF000000u; }},
  };
  return cases;
}

struct HostileCase {
  const char* file;
  const char* reason;  // part of the error the caller logs
};

const std::vector<HostileCase>& HostileCases() {
  static const std::vector<HostileCase> cases = {
      // PNG (libpng)
      {"png_bomb_1000000x1000000.png", "exceeds user limit"},
      {"png_8192x8192.png", "8192 x 8192 pixels is too large"},
      {"png_side_over_cap.png", "exceeds user limit"},
      {"png_zero_width.png", "width is zero"},
      {"png_bad_bit_depth.png", "Invalid bit depth"},
      {"png_bad_crc_ihdr.png", "CRC"},
      {"png_bad_crc_idat.png", "CRC"},
      {"png_truncated_in_idat.png", "ends early"},
      {"png_truncated_after_signature.png", "ends early"},
      {"png_garbage_after_header.png", "invalid chunk type"},
      {"png_not_enough_data.png", "Not enough image data"},
      {"png_idat_not_deflate.png", "IDAT"},
      {"png_palette_missing.png", "PLTE"},
      // JPEG (libjpeg-turbo)
      {"jpeg_truncated_header.jpg", "Premature end"},
      {"jpeg_truncated_scan.jpg", "Premature end"},
      {"jpeg_huge_dimensions.jpg", "too large"},
      {"jpeg_8192x8192.jpg", "too large"},
      {"jpeg_zero_width.jpg", "Empty JPEG image"},
      {"jpeg_huffman_over_256_codes.jpg", "Huffman"},
      {"jpeg_huffman_oversubscribed.jpg", "Huffman"},
      {"jpeg_garbage_after_header.jpg", "Unsupported marker"},
      {"jpeg_scan_before_frame.jpg", "SOS before SOF"},
      {"jpeg_five_components.jpg", "color conversion"},
      {"jpeg_zero_sampling.jpg", "sampling factors"},
      {"jpeg_undefined_quant_table.jpg", "Quantization table"},
      // BMP (our own reader)
      {"bmp_truncated_pixels.bmp", "truncated"},
      {"bmp_header_truncated.bmp", "truncated"},
      {"bmp_huge_dimensions.bmp", "too large"},
      {"bmp_negative_width.bmp", "no pixels"},
      {"bmp_zero_height.bmp", "no pixels"},
      {"bmp_palette_count_huge.bmp", "palette"},
      {"bmp_offset_past_end.bmp", "truncated"},
      {"bmp_rle8.bmp", "not supported"},
      {"bmp_bitfields_masks_truncated.bmp", "truncated"},
  };
  return cases;
}

// A refused file needs no more than the decoder's own small tables.
constexpr long long kSmallAllocation = 4 * 1024 * 1024;

TEST(ImageDecodeTest, ValidFilesDecodeToTheirExactPixels) {
  for (const ValidCase& c : ValidCases()) {
    SCOPED_TRACE(c.file);
    DecodeResult r = Decode(ReadCorpusFile(c.file));
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.image.width, c.width);
    ASSERT_EQ(r.image.height, c.height);
    EXPECT_EQ(r.image.hasAlpha, c.alpha);
    ASSERT_EQ(r.image.levels.size(), 1u);
    ASSERT_EQ(r.image.levels[0].size(), size_t(c.width) * size_t(c.height));
    // The allocation watch sees the pixels (so it would see a bomb's too).
    if (r.largestAllocation >= 0) {
      EXPECT_GE(r.largestAllocation, c.width * c.height * 4);
    }
    for (int y = 0; y < c.height; ++y)
      for (int x = 0; x < c.width; ++x)
        EXPECT_EQ(r.image.levels[0][size_t(y) * c.width + x], c.pixel(x, y)) << x << "," << y;
  }
}

TEST(ImageDecodeTest, HostileFilesAreRefusedWithAReasonAndNoLargeAllocation) {
  for (const HostileCase& c : HostileCases()) {
    SCOPED_TRACE(c.file);
    DecodeResult r = Decode(ReadCorpusFile(c.file));
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find(c.reason), std::string::npos) << r.error;
    EXPECT_TRUE(r.image.levels.empty()) << "a refused file leaves no pixels behind";
    if (r.largestAllocation >= 0) {
      EXPECT_LT(r.largestAllocation, kSmallAllocation);
    }
  }
}

// Nothing in the folder escapes the tables above.
TEST(ImageDecodeTest, EveryCorpusFileIsChecked) {
  std::set<std::string> listed;
  for (const ValidCase& c : ValidCases()) listed.insert(c.file);
  for (const HostileCase& c : HostileCases()) listed.insert(c.file);
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(kCorpus)) {
    const std::string name = entry.path().filename().string();
    if (entry.path().extension() == ".py") continue;
    ++files;
    EXPECT_EQ(listed.count(name), 1u) << name << " is in no table";
  }
  EXPECT_EQ(files, int(listed.size())) << "a listed file is missing from the folder";
}

// Every file cut short at every length is refused, never read past its end.
TEST(ImageDecodeTest, EveryTruncationOfAValidFileIsRefused) {
  for (const ValidCase& c : ValidCases()) {
    SCOPED_TRACE(c.file);
    const std::vector<uint8_t> whole = ReadCorpusFile(c.file);
    for (size_t n = 0; n < whole.size(); ++n) {
      // An exact-size copy, so the sanitizer sees any read past the cut.
      const std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n));
      DecodeResult r = Decode(cut);
      EXPECT_FALSE(r.ok) << "cut at " << n;
      EXPECT_FALSE(r.error.empty()) << "cut at " << n;
    }
  }
}

// Each byte of each valid file flipped in turn: the decoder either refuses the file or
// returns a picture within the caps; the sanitizers watch every read and write.
TEST(ImageDecodeTest, SingleByteDamageNeverEscapesTheDecoder) {
  for (const ValidCase& c : ValidCases()) {
    SCOPED_TRACE(c.file);
    const std::vector<uint8_t> whole = ReadCorpusFile(c.file);
    for (size_t i = 0; i < whole.size(); ++i) {
      for (uint8_t flip : {uint8_t(0xFF), uint8_t(0x80), uint8_t(0x01)}) {
        std::vector<uint8_t> bad = whole;
        bad[i] ^= flip;
        DecodeResult r = Decode(bad);
        if (r.ok) {
          ASSERT_EQ(r.image.levels.size(), 1u);
          EXPECT_GT(r.image.width, 0);
          EXPECT_LE(r.image.width, platform::kMaxDecodedSide);
          EXPECT_LE(int64_t(r.image.width) * r.image.height, platform::kMaxDecodedPixels);
          EXPECT_EQ(r.image.levels[0].size(), size_t(r.image.width) * size_t(r.image.height));
        } else {
          EXPECT_FALSE(r.error.empty()) << "byte " << i;
        }
      }
    }
  }
}

}  // namespace
