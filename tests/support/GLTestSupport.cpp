#include "support/GLTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "engine/D3DEngine.h"
#include "engine/Log.h"
#include "platform/Image.h"
#include "support/TestSupport.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#define ZT_IGNORE_LEAKS_BEGIN() __lsan_disable()
#define ZT_IGNORE_LEAKS_END() __lsan_enable()
#else
#define ZT_IGNORE_LEAKS_BEGIN()
#define ZT_IGNORE_LEAKS_END()
#endif

namespace zt_test {

namespace {
int g_drawingSkips = 0;
bool g_openedGLWindow = false;
}  // namespace

bool OpenedGLWindow() { return g_openedGLWindow; }

bool DrawingRequired() {
  const char* v = std::getenv("ZENTRAK_TESTS_MUST_DRAW");
  return v && *v && std::string(v) != "0";
}
void CountDrawingSkip() { ++g_drawingSkips; }
int DrawingSkips() { return g_drawingSkips; }

bool GLWindow::Open(const char* title, int width, int height, uint32_t extraWindowFlags) {
  OpenOrSkip(title, width, height, extraWindowFlags);
  return ready_;
}

void GLWindow::OpenOrSkip(const char* title, int width, int height, uint32_t extraWindowFlags) {
  ZT_IGNORE_LEAKS_BEGIN();
  leaksIgnored_ = true;
  if (!std::getenv("DISPLAY")) ZT_CANNOT_DRAW("no X display (run under xvfb-run)");
  // An earlier test may have left video running on the headless driver.
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  driver_ = std::make_unique<EnvGuard>("SDL_VIDEODRIVER");
  setenv("SDL_VIDEODRIVER", "x11", 1);
  // Many test programs share one virtual display: a connection it refuses while busy is
  // tried again a few times before the test fails.
  std::string why;
  for (int attempt = 0; attempt < 5 && !window_; ++attempt) {
    if (attempt > 0) SDL_Delay(200);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
      why = std::string("no video: ") + SDL_GetError();
      continue;
    }
    window_ = SDL_CreateWindow(title, 0, 0, width, height, SDL_WINDOW_OPENGL | extraWindowFlags);
    if (!window_) {
      why = std::string("no OpenGL window: ") + SDL_GetError();
      SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
  }
  if (!window_) ZT_CANNOT_DRAW(why);
  g_openedGLWindow = true;
  OpenDebugFile(UserRoot());
  D3DEngine& e = GetRenderDevice();
  e.SetMainWindow(window_);
  e.SetBackend(platform::Backend::OpenGL);
  if (!e.InitD3D(width, height, true)) ZT_CANNOT_DRAW("no OpenGL 3.3 device on this display");
  ready_ = true;
}

void GLWindow::Close() {
  if (window_) {
    GetRenderDevice().ReleaseD3D();
    SDL_DestroyWindow(window_);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    window_ = nullptr;
  }
  ready_ = false;
  driver_.reset();
  if (leaksIgnored_) ZT_IGNORE_LEAKS_END();
  leaksIgnored_ = false;
}

uint32_t RgbAt(const platform::DecodedImage& img, int x, int y) {
  return img.levels[0][size_t(y) * size_t(img.width) + size_t(x)] & 0xFFFFFFu;
}

platform::DecodedImage TakeScreenshot(const std::string& name) {
  const std::string shot = UserRoot() + "/screenshots/" + name + ".bmp";
  GetRenderDevice().SaveScreenshot(shot.c_str(), platform::ImageFileFormat::BMP, nullptr);
  platform::DecodedImage img;
  std::string error;
  EXPECT_TRUE(platform::LoadImageFile(shot, &img, &error)) << shot << ": " << error;
  return img;
}

void KeepPictureOnFailure(const std::vector<uint32_t>& argb, int width, int height, const std::string& path) {
  if (!::testing::Test::HasFailure()) return;
  platform::WriteImageFile(path, platform::ImageFileFormat::PNG, width, height, argb);
  ADD_FAILURE() << "picture kept at " << path;
}

namespace {

void CompareWithReference(const std::vector<uint32_t>& argb, int width, int height,
                          const std::string& referencePath) {
  if (std::getenv("ZENTRAK_UPDATE_REFERENCE")) {
    ASSERT_TRUE(platform::WriteImageFile(referencePath, platform::ImageFileFormat::PNG, width, height, argb));
    GTEST_SKIP() << "reference rewritten (look at it first): " << referencePath;
  }
  platform::DecodedImage ref;
  std::string error;
  ASSERT_TRUE(platform::LoadImageFile(referencePath, &ref, &error))
      << "missing reference " << referencePath << ": " << error
      << " (run once with ZENTRAK_UPDATE_REFERENCE=1)";
  ASSERT_EQ(ref.width, width);
  ASSERT_EQ(ref.height, height);
  const std::vector<uint32_t>& expected = ref.levels[0];
  ASSERT_EQ(expected.size(), argb.size());
  double total = 0;
  int far = 0;
  for (size_t i = 0; i < argb.size(); ++i) {
    int worst = 0;
    for (int shift : {0, 8, 16})
      worst = std::max(worst, std::abs(int((argb[i] >> shift) & 0xFF) - int((expected[i] >> shift) & 0xFF)));
    total += worst;
    if (worst > 48) ++far;
  }
  const double mean = total / double(argb.size());
  EXPECT_LT(mean, 2.0) << "mean channel difference from " << referencePath;
  EXPECT_LT(far, int(argb.size() / 200)) << "pixels far from " << referencePath;
}

}  // namespace

void ExpectMatchesReference(const std::vector<uint32_t>& argb, int width, int height,
                            const std::string& referencePath, const std::string& keepPath) {
  CompareWithReference(argb, width, height, referencePath);
  KeepPictureOnFailure(argb, width, height, keepPath);
}

}  // namespace zt_test
