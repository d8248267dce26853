// Writing only: a private copy of stb's PNG and BMP encoders (our own pixels go in,
// never a file from outside), and its JPEG encoder for the build-time art tools. Files
// are read by ImageDecode.cpp. The encoders shift negative integers (well defined since
// C++20, flagged by the undefined-behaviour sanitizer in C++17), so the build leaves
// the shift and overflow checks out of this file alone.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>
