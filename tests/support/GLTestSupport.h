#pragma once
// Tests that must see real pixels: the engine's OpenGL device in a window on an X display
// (run the test program under xvfb-run), screenshots read back, and pictures compared with
// a reference PNG. ZENTRAK_UPDATE_REFERENCE=1 rewrites the reference instead.
#include <SDL.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Dds.h"
#include "support/EnvGuard.h"

namespace zt_test {

// The window and the engine's OpenGL device on it. Leak checking is paused while it is
// open: the X, D-Bus and GL driver libraries keep allocations for the life of the
// process, and our own code's leaks are checked on the null device.
class GLWindow {
 public:
  GLWindow() = default;
  ~GLWindow() { Close(); }
  GLWindow(const GLWindow&) = delete;
  GLWindow& operator=(const GLWindow&) = delete;

  // Call from SetUp; on false return at once. Without a display, a GL window or an
  // OpenGL 3.3 device the test cannot draw: see ZT_CANNOT_DRAW.
  bool Open(const char* title, int width, int height, uint32_t extraWindowFlags = 0);
  // Stops the engine, closes the window and puts the video driver back. Objects holding
  // GL names must be released first, while the context exists. Safe when Open failed.
  void Close();
  bool IsOpen() const { return window_ != nullptr; }

 private:
  void OpenOrSkip(const char* title, int width, int height, uint32_t extraWindowFlags);

  SDL_Window* window_ = nullptr;
  bool ready_ = false;
  std::unique_ptr<EnvGuard> driver_;
  bool leaksIgnored_ = false;
};

// Under ./test.sh (ZENTRAK_TESTS_MUST_DRAW=1) every drawing test must draw: one that cannot
// fails with the reason. Elsewhere (no display on purpose) it is skipped, counted, and the
// test program ends with kCannotDrawExitCode so CTest lists it as not run.
bool DrawingRequired();
// Whether this process opened an OpenGL window.
bool OpenedGLWindow();
void CountDrawingSkip();
int DrawingSkips();
constexpr int kCannotDrawExitCode = 77;

// The pixel at (x, y) as 0xRRGGBB.
uint32_t RgbAt(const platform::DecodedImage& img, int x, int y);

// Saves the back buffer through the game's own screenshot path as
// "<user root>/screenshots/<name>.bmp" and reads it back; a failure and an empty
// picture when that does not work.
platform::DecodedImage TakeScreenshot(const std::string& name);

// When the running test has failed, keeps the picture at path to look at.
void KeepPictureOnFailure(const std::vector<uint32_t>& argb, int width, int height, const std::string& path);

// Compares a picture with the reference PNG within a tolerance (rasterisers differ in
// the last bit and at edges: a small mean channel difference and few far pixels); when
// the test has failed the picture is kept at keepPath.
void ExpectMatchesReference(const std::vector<uint32_t>& argb, int width, int height,
                            const std::string& referencePath, const std::string& keepPath);

}  // namespace zt_test

// Ends the calling test function (or void helper) because it cannot draw: a failure
// under ./test.sh, a counted skip elsewhere.
#define ZT_CANNOT_DRAW(why)                     \
  do {                                          \
    if (::zt_test::DrawingRequired()) {         \
      GTEST_FAIL() << "cannot draw: " << (why); \
    } else {                                    \
      ::zt_test::CountDrawingSkip();            \
      GTEST_SKIP() << "cannot draw: " << (why); \
    }                                           \
  } while (0)

// The first line of a drawing test's body.
#define ZT_REQUIRE_GL(gl)                                              \
  do {                                                                 \
    if (!(gl).IsOpen()) ZT_CANNOT_DRAW("no OpenGL window was opened"); \
  } while (0)
