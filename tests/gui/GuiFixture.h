#pragma once
// Shared set-up of the toolkit tests: the null graphics device (recording its draws),
// a recording sound engine, and direct control of the mouse.
#include <SDL.h>
#include <gtest/gtest.h>

#include <memory>

#include "app/CInput.h"
#include "app/Sounds.h"
#include "app/Tutorial.h"
#include "engine/D3DEngine.h"
#include "engine/InputManager.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"
#include "platform/NullDevice.h"
#include "sound/FakeSoundEngine.h"

class GuiTest : public ::testing::Test {
 protected:
  static constexpr int kScreenW = 1024;
  static constexpr int kScreenH = 768;

  void SetUp() override {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    window_ = SDL_CreateWindow("gui test", 0, 0, kScreenW, kScreenH, SDL_WINDOW_HIDDEN);
    ASSERT_NE(window_, nullptr) << SDL_GetError();
    auto d3d = std::make_unique<platform::NullDirect3D>();
    platform::NullDirect3D* raw = d3d.get();
    D3DEngine& engine = GetRenderDevice();
    engine.SetMainWindow(window_);
    engine.SetDirect3D(std::move(d3d));
    ASSERT_TRUE(engine.InitD3D(kScreenW, kScreenH, true));
    engine.SetScreenSize(kScreenW, kScreenH);
    device = raw->lastDevice;
    ASSERT_NE(device, nullptr);
    RegisterTextureFolder("data/bitmaps");
    InitGlobalVertexBuffer();

    auto fake = std::make_unique<FakeSoundEngine>();
    sounds = fake.get();
    ReplaceSounds(std::make_unique<GUI_Sounds>(std::move(fake)));

    GetCInput().enabled = true;
    MoveMouse(5, 5);
  }

  void TearDown() override {
    GUI_InputManager::SetCursorReader(nullptr);
    // Process-wide objects go with the test's singleton reset; the window is ours.
    if (window_) SDL_DestroyWindow(window_);
    window_ = nullptr;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }

  void MoveMouse(float x, float y) {
    GUI_InputManager& in = GetInputManager();
    in.x = x;
    in.y = y;
  }
  void SetButton(bool held) { GetInputManager().leftHeld = held; }
  // The start of a frame as the game runs it: the poll clears the mouse claim.
  void NewFrame() {
    CInput& in = GetCInput();
    in.MouseClaimed = false;
    in.WindowUnderMouse = nullptr;
  }
  // Interface sounds played so far (by file).
  int SoundsPlayed(const std::string& file) const {
    int n = 0;
    for (const auto& kv : sounds->sounds)
      if (kv.second.file == file) ++n;
    return n;
  }

  platform::NullDevice* device = nullptr;
  FakeSoundEngine* sounds = nullptr;

 private:
  SDL_Window* window_ = nullptr;
};
