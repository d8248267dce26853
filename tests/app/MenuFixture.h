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
#include "support/FakeSoundEngine.h"
#include "support/NullDeviceFixture.h"
#include "support/TestSupport.h"

namespace menu_test {

inline std::int64_t& FakeNowNs() {
  static std::int64_t now = 0;
  return now;
}
inline std::int64_t FakeClock() { return FakeNowNs(); }

class MenuTest : public zt_test::NullDeviceTest {
 protected:
  void SetUp() override {
    FakeNowNs() = 5'000'000'000;  // well past zero, like a running process
    SetClockSource(FakeClock);
    NullDeviceTest::SetUp();
    if (HasFatalFailure()) return;
    if (createTarget) engine().CreateRenderTarget("rt_transition", 1024, 1024, platform::Format::X8R8G8B8);

    auto fake = std::make_unique<FakeSoundEngine>();
    sounds = fake.get();
    ReplaceSounds(std::make_unique<GUI_Sounds>(std::move(fake)));
    InitRandomWithSeed(1234);
    GetCInput().enabled = true;
  }

  void TearDown() override {
    SetClockSource(nullptr);
    GUI_InputManager::SetCursorReader(nullptr);
    NullDeviceTest::TearDown();
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
  int DrawsWith(const std::string& textureName) const { return DrawsWith(FindTexture(textureName)); }
  int DrawsWith(const platform::Texture* t) const {
    int n = 0;
    for (const auto& d : device->draws)
      if (t && d.textures[0] == t) ++n;
    return n;
  }

  bool createTarget = true;
  FakeSoundEngine* sounds = nullptr;
};

}  // namespace menu_test
