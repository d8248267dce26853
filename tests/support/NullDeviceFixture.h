#pragma once
// The one set-up of the engine on the recording null device that the headless tests
// share: optionally a hidden SDL window (dummy video driver) at the fixture's screen
// size, the shipped art folder and the global vertex buffer. Fixtures of higher layers
// derive from it and add what their layer needs (sounds, input, clock).
#include <SDL.h>
#include <gtest/gtest.h>

#include <memory>

#include "engine/D3DEngine.h"
#include "engine/Log.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"
#include "platform/NullDevice.h"
#include "support/TestSupport.h"

namespace zt_test {

class NullDeviceTest : public ::testing::Test {
 protected:
  virtual int ScreenW() const { return 1024; }
  virtual int ScreenH() const { return 768; }
  // Called on the null Direct3D before the device is made (to make it fail, say).
  virtual void ConfigureDirect3D(platform::NullDirect3D&) {}

  void SetUp() override {
    OpenDebugFile(UserRoot());
    if (withWindow) {
      ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
      videoStarted_ = true;
      window_ = SDL_CreateWindow("null device test", 0, 0, ScreenW(), ScreenH(), SDL_WINDOW_HIDDEN);
      ASSERT_NE(window_, nullptr) << SDL_GetError();
      engine().SetMainWindow(window_);
    }
    auto d3d = std::make_unique<platform::NullDirect3D>();
    d3d_ = d3d.get();
    ConfigureDirect3D(*d3d_);
    engine().SetDirect3D(std::move(d3d));
    ASSERT_TRUE(engine().InitD3D(ScreenW(), ScreenH(), true));
    if (withWindow) engine().SetScreenSize(ScreenW(), ScreenH());
    device = d3d_->lastDevice;
    ASSERT_NE(device, nullptr);
    if (registerArt) RegisterTextureFolder("data/bitmaps");
    if (withVertexBuffer) InitGlobalVertexBuffer();
  }

  void TearDown() override {
    // Process-wide objects go with the test's singleton reset; the window is ours.
    if (window_) SDL_DestroyWindow(window_);
    window_ = nullptr;
    // Balanced, so a later test can start video on another driver.
    if (videoStarted_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    videoStarted_ = false;
  }

  D3DEngine& engine() { return GetRenderDevice(); }
  platform::NullDevice& dev() { return *device; }

  // What SetUp starts beside the device; a derived fixture sets these in its constructor.
  bool withWindow = true;
  bool registerArt = true;  // false: no texture can be found
  bool withVertexBuffer = true;

  platform::NullDirect3D* d3d_ = nullptr;
  platform::NullDevice* device = nullptr;

 private:
  SDL_Window* window_ = nullptr;
  bool videoStarted_ = false;
};

}  // namespace zt_test
