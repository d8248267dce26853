#pragma once
// Shared set-up of the toolkit tests: the null graphics device (recording its draws),
// a recording sound engine, and direct control of the mouse.
#include <gtest/gtest.h>

#include <memory>

#include "app/CInput.h"
#include "app/Sounds.h"
#include "app/Tutorial.h"
#include "engine/InputManager.h"
#include "support/FakeSoundEngine.h"
#include "support/NullDeviceFixture.h"

class GuiTest : public zt_test::NullDeviceTest {
 protected:
  static constexpr int kScreenW = 1024;
  static constexpr int kScreenH = 768;

  void SetUp() override {
    NullDeviceTest::SetUp();
    if (HasFatalFailure()) return;
    auto fake = std::make_unique<FakeSoundEngine>();
    sounds = fake.get();
    ReplaceSounds(std::make_unique<GUI_Sounds>(std::move(fake)));

    GetCInput().enabled = true;
    MoveMouse(5, 5);
  }

  void TearDown() override {
    GUI_InputManager::SetCursorReader(nullptr);
    NullDeviceTest::TearDown();
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

  FakeSoundEngine* sounds = nullptr;
};
