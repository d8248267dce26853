#pragma once
// A fixture for tests that draw the game's screens on the OpenGL device under a
// (virtual) display and compare whole frames with reference pictures: the window, the
// art, the vertex buffer and, as each test asks, its own clock, the fonts, the shaders,
// the frame's off-screen targets and a pinned frame-rate ratio; all undone again after
// the test. Only for test programs that link the whole game.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/Game.h"
#include "effects/EffectsCommon.h"
#include "engine/D3DEngine.h"
#include "engine/Random.h"
#include "engine/ShaderEffects.h"
#include "engine/TextRenderer.h"
#include "engine/Textures.h"
#include "engine/Timer.h"
#include "engine/VertexBuffer.h"
#include "gui/SharedTextures.h"
#include "support/GLTestSupport.h"
#include "support/TestSupport.h"

namespace zt_test {

// What a test's screen is set up with, beyond the window, data/bitmaps and the vertex
// buffer every one has.
struct GLScreenSetup {
  const char* title = "Zentrak test";
  int width = 1024, height = 768;
  // The test's own clock, from 10 s on, moved only by the test: the pictures do not
  // depend on how fast the machine draws.
  bool ownClock = false;
  bool framePacing = true;
  std::vector<std::string> textureFolders;  // registered after data/bitmaps
  bool fontsAndFrames = false;              // the standard fonts and the dialogs' frames
  bool shaders = false;
  // The frame's off-screen targets at this size, as the game makes them; 0: none.
  int renderTargetWidth = 0, renderTargetHeight = 0;
  // The frame-rate ratio the effects read, at 1.0 until the test ends.
  bool pinFrameRatio = false;
  bool seedRandom = false;  // the game's random numbers from seed 7
};

inline std::int64_t& GLTestClockNs() {
  static std::int64_t ns = 0;
  return ns;
}
inline std::int64_t GLTestNow() { return GLTestClockNs(); }

class GLBattleScreenTest : public ::testing::Test {
 protected:
  // The first call of SetUp; on false return at once: the test's ZT_REQUIRE_GL(gl_)
  // then fails it (or skips it where drawing is not required).
  bool OpenScreen(const GLScreenSetup& s) {
    if (!gl_.Open(s.title, s.width, s.height)) return false;
    width_ = s.width;
    height_ = s.height;
    if (s.ownClock) {
      GLTestClockNs() = 10'000'000'000;
      SetClockSource(GLTestNow);
      ownClock_ = true;
    }
    D3DEngine& e = GetRenderDevice();
    e.SetScreenSize(s.width, s.height);
    if (!s.framePacing) e.SetFramePacing(false);
    RegisterTextureFolder("data/bitmaps");
    for (const std::string& folder : s.textureFolders) RegisterTextureFolder(folder);
    InitGlobalVertexBuffer();
    if (s.fontsAndFrames) {
      LoadStandardFonts();
      GetSharedGUITextures().Load();
    }
    if (s.shaders) GetShaderManager().LoadAll();
    if (s.renderTargetWidth > 0) {
      GetGame().RenderTargetWidth = s.renderTargetWidth;
      GetGame().RenderTargetHeight = s.renderTargetHeight;
      GetGame().CreateRenderTargets();
    }
    if (s.pinFrameRatio) {
      SetEffectsFrameRatioOverride(1.0f);
      pinnedFrameRatio_ = true;
    }
    if (s.seedRandom) InitRandomWithSeed(7);
    return true;
  }
  void TearDown() override {
    if (pinnedFrameRatio_) SetEffectsFrameRatioOverride(-1.0f);
    if (ownClock_) SetClockSource(nullptr);
    pinnedFrameRatio_ = ownClock_ = false;
    if (gl_.IsOpen()) GetGlobalVertexBuffer().Release();
    gl_.Close();
  }

  static void AdvanceClock(std::int64_t ns) { GLTestClockNs() += ns; }

  // One frame of the current mode as the game runs it, `stepNs` later on the test's
  // clock; detail fades and effects read the measured frame rate, so it is held at 1.0
  // that a loaded machine does not change the picture.
  void ModeFrame(std::int64_t stepNs) {
    AdvanceClock(stepNs);
    D3DEngine& e = GetRenderDevice();
    e.BeginScene();
    GetGame().CurrentMode->Process();
    GetStepRateMeter().rate = 1.0f;
    GetGame().CurrentMode->Draw();
    e.EndScene();
    e.Flip();
  }
  // The current mode drawn into the back buffer, not shown yet.
  void DrawMode() {
    D3DEngine& e = GetRenderDevice();
    e.BeginScene();
    GetGame().CurrentMode->Draw();
    e.EndScene();
  }
  // The back buffer against tests/<folder>/reference/<name>.png (kept in the build
  // folder as <keptPrefix>_<name>_actual.png when it differs), then shown.
  void ExpectScreen(const std::string& folder, const std::string& keptPrefix, const std::string& name) {
    D3DEngine& e = GetRenderDevice();
    std::vector<uint32_t> pixels;
    ASSERT_EQ(e.Device()->ReadPixels(nullptr, platform::Rect{0, 0, width_, height_}, &pixels),
              platform::D3D_OK);
    ExpectMatchesReference(pixels, width_, height_,
                           TestSourceDir() + "/" + folder + "/reference/" + name + ".png",
                           BuildDir() + "/" + keptPrefix + "_" + name + "_actual.png");
    e.Flip();
  }

  GLWindow gl_;

 private:
  int width_ = 0, height_ = 0;
  bool ownClock_ = false;
  bool pinnedFrameRatio_ = false;
};

}  // namespace zt_test
