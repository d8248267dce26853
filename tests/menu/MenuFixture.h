#pragma once
// Shared set-up of the menu tests: the null graphics device (recording its draws) at a
// chosen screen size with the transition's render target, a recording sound engine, a
// fake clock the test moves by hand, and seeded random tables.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "app/CInput.h"
#include "app/Sounds.h"
#include "engine/D3DEngine.h"
#include "engine/InputManager.h"
#include "engine/Log.h"
#include "engine/Random.h"
#include "engine/Textures.h"
#include "engine/Timer.h"
#include "engine/VertexBuffer.h"
#include "platform/NullDevice.h"
#include "sound/FakeSoundEngine.h"
#include "support/TestSupport.h"

namespace menu_test {

inline std::int64_t& FakeNowNs() {
  static std::int64_t now = 0;
  return now;
}
inline std::int64_t FakeClock() { return FakeNowNs(); }

class MenuTest : public ::testing::Test {
 protected:
  virtual int ScreenW() const { return 1024; }
  virtual int ScreenH() const { return 768; }

  void SetUp() override {
    OpenDebugFile(zt_test::UserRoot());
    FakeNowNs() = 5'000'000'000;  // well past zero, like a running process
    SetClockSource(FakeClock);
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    videoStarted_ = true;
    window_ = SDL_CreateWindow("menu test", 0, 0, ScreenW(), ScreenH(), SDL_WINDOW_HIDDEN);
    ASSERT_NE(window_, nullptr) << SDL_GetError();
    auto d3d = std::make_unique<platform::NullDirect3D>();
    platform::NullDirect3D* raw = d3d.get();
    D3DEngine& engine = GetRenderDevice();
    engine.SetMainWindow(window_);
    engine.SetDirect3D(std::move(d3d));
    ASSERT_TRUE(engine.InitD3D(ScreenW(), ScreenH(), true));
    engine.SetScreenSize(ScreenW(), ScreenH());
    device = raw->lastDevice;
    ASSERT_NE(device, nullptr);
    if (registerArt) RegisterTextureFolder("data/bitmaps");
    InitGlobalVertexBuffer();
    if (createTarget) engine.CreateRenderTarget("rt_transition", 1024, 1024, platform::Format::X8R8G8B8);

    auto fake = std::make_unique<FakeSoundEngine>();
    sounds = fake.get();
    ReplaceSounds(std::make_unique<GUI_Sounds>(std::move(fake)));
    InitRandomWithSeed(1234);
    GetCInput().enabled = true;
  }

  void TearDown() override {
    SetClockSource(nullptr);
    GUI_InputManager::SetCursorReader(nullptr);
    if (window_) SDL_DestroyWindow(window_);
    window_ = nullptr;
    // Balanced, so a later test can start video on another driver.
    if (videoStarted_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    videoStarted_ = false;
  }

  void AdvanceMs(double ms) { FakeNowNs() += static_cast<std::int64_t>(ms * 1e6); }

  // How many sounds of this file were started.
  int Played(const std::string& file) const {
    int n = 0;
    for (const auto& kv : sounds->sounds)
      if (kv.second.file == file) ++n;
    return n;
  }
  // Draws since the last ClearRecord that bound this named texture on stage 0.
  int DrawsWith(const std::string& textureName) const {
    platform::Texture* t = FindTexture(textureName);
    int n = 0;
    for (const auto& d : device->draws)
      if (t && d.textures[0] == t) ++n;
    return n;
  }

  bool createTarget = true;
  bool registerArt = true;  // false: no texture can be found
  platform::NullDevice* device = nullptr;
  FakeSoundEngine* sounds = nullptr;

 private:
  SDL_Window* window_ = nullptr;
  bool videoStarted_ = false;
};

}  // namespace menu_test
