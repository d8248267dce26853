// The screen transition on the null device with a hand-moved clock: it copies the old
// screen only when switched on, wipes it away in 850 ms, alternates its two styles and
// draws the pieces where the wipe says.
#include <algorithm>
#include <fstream>
#include <sstream>
#include <vector>

#include "MenuFixture.h"
#include "app/Transition.h"
#include "simdata/Options.h"

namespace menu_test {
namespace {

constexpr const char* kWhoosh = "data/sounds/menu_screen_whoos.ogg";

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// The screen rectangle a recorded quad covers (the -0.5 pixel-centre offset removed).
struct Box {
  float left, top, right, bottom;
  float Area() const { return (right - left) * (bottom - top); }
};
Box BoxOf(const platform::DrawRecord& d) {
  Box b{1e9f, 1e9f, -1e9f, -1e9f};
  for (int i = 0; i < d.vertexCount; ++i) {
    b.left = std::min(b.left, d.X(i) + 0.5f);
    b.right = std::max(b.right, d.X(i) + 0.5f);
    b.top = std::min(b.top, d.Y(i) + 0.5f);
    b.bottom = std::max(b.bottom, d.Y(i) + 0.5f);
  }
  return b;
}

class TransitionTest : public MenuTest {
 protected:
  // Starts a transition and runs its first Draw (which restarts the timer).
  GUI_Transition& StartAndArm() {
    GUI_Transition& t = GetTransition();
    t.Start();
    AdvanceMs(3000);  // time before the first Draw does not count
    t.Draw();
    return t;
  }
  // Moves the clock to progress p of the running wipe and draws it alone.
  void DrawAt(GUI_Transition& t, float p, float* at) {
    AdvanceMs((p - *at) * GUI_Transition::kDurationMs);
    *at = p;
    device->ClearRecord();
    t.Draw();
  }
};

TEST_F(TransitionTest, ScalesFollowTheScreenAndTheRenderTarget) {
  GUI_Transition& t = GetTransition();
  t.Start();
  EXPECT_FLOAT_EQ(t.HalfDiagonal(), 640.0f);  // 512, 384, 640
  EXPECT_FLOAT_EQ(t.UScale(), 1.0f);          // 1024 of the target's 1024
  EXPECT_FLOAT_EQ(t.VScale(), 0.75f);         // 768 of 1024
}

TEST_F(TransitionTest, RunsForItsDurationThenAlternatesStyles) {
  GUI_Transition& t = GetTransition();
  const int styles[] = {GUI_Transition::kSideWipe, GUI_Transition::kIris, GUI_Transition::kSideWipe,
                        GUI_Transition::kIris};
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(t.CurrentStyle(), styles[i]);
    t.Start();
    EXPECT_TRUE(t.IsRunning());
    EXPECT_TRUE(t.RestartPending());
    AdvanceMs(10000);  // a slow frame between the switch and the first Draw
    t.Draw();
    EXPECT_FALSE(t.RestartPending());
    EXPECT_TRUE(t.IsRunning());
    EXPECT_FLOAT_EQ(t.Progress(), 0.0f);
    AdvanceMs(425);
    t.Draw();
    EXPECT_NEAR(t.Progress(), 0.5f, 1e-4f);
    AdvanceMs(424);
    t.Draw();
    EXPECT_TRUE(t.IsRunning()) << "ended before 850 ms";
    AdvanceMs(2);
    t.Draw();
    EXPECT_FALSE(t.IsRunning()) << "still running after 850 ms";
    device->ClearRecord();
    t.Draw();  // idle: nothing
    EXPECT_TRUE(device->draws.empty());
  }
  EXPECT_EQ(Played(kWhoosh), 4);
}

TEST_F(TransitionTest, TheOptionSwitchesCopyWipeAndSoundAndIsSetToOneByACopy) {
  struct Case {
    float option;
    bool runs;
    float after;  // the option's value once the copy was made
  } cases[] = {
      {0.0f, false, 0.0f},
      {0.5f, true, 1.0f},  // a partial value counts as on and is written back as 1
      {1.0f, true, 1.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.option);
    SIM_Options::Get().SetFloat("TRANSITIONS", c.option);
    const int whooshes = Played(kWhoosh);
    device->ClearRecord();
    GUI_Transition& t = GetTransition();
    t.Start();
    EXPECT_EQ(device->CountCalls("StretchRect"), c.runs ? 1 : 0);
    EXPECT_EQ(t.IsRunning(), c.runs);
    EXPECT_EQ(Played(kWhoosh) - whooshes, c.runs ? 1 : 0);
    EXPECT_FLOAT_EQ(SIM_Options::Get().GetFloat("TRANSITIONS"), c.after);
    // Let a running one finish before the next case.
    AdvanceMs(1);
    t.Draw();
    AdvanceMs(900);
    t.Draw();
    EXPECT_FALSE(t.IsRunning());
  }
}

TEST_F(TransitionTest, ACopyLeavesTheBackBufferBlackAndTheTargetAsItWas) {
  D3DEngine& d3d = GetRenderDevice();
  device->ClearRecord();
  GetTransition().Start();
  EXPECT_EQ(d3d.CurrentRenderTarget(), "");
  // The copy, then the clear to opaque black of the back buffer.
  auto copy = std::find_if(device->calls.begin(), device->calls.end(),
                           [](const std::string& s) { return s.rfind("StretchRect", 0) == 0; });
  ASSERT_NE(copy, device->calls.end());
  auto clear =
      std::find_if(copy, device->calls.end(), [](const std::string& s) { return s.rfind("Clear", 0) == 0; });
  ASSERT_NE(clear, device->calls.end());
  EXPECT_NE(clear->find("FF000000"), std::string::npos) << *clear;
}

TEST_F(TransitionTest, ACopyRestoresAlphaBlendingWhateverTheScreenLeftOn) {
  // A switch made while a frame is being drawn (the end of a battle, the loading
  // screen) may find any blend mode on; what is drawn after the copy (the new screen's
  // first quads) must not be added or multiplied onto black.
  struct Case {
    const char* what;
    void (D3DEngine::*set)();
  } cases[] = {{"additive", &D3DEngine::SetAdditiveBlend},
               {"multiply", &D3DEngine::SetMultiplyBlend},
               {"normal", &D3DEngine::SetNormalBlend}};
  D3DEngine& d3d = GetRenderDevice();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    d3d.BeginScene();
    (d3d.*c.set)();
    GetTransition().Start();
    EXPECT_EQ(device->GetRenderState(platform::RenderState::SrcBlend), platform::BLEND_SRCALPHA);
    EXPECT_EQ(device->GetRenderState(platform::RenderState::DestBlend), platform::BLEND_INVSRCALPHA);
    d3d.EndScene();
  }
}

TEST_F(TransitionTest, AGapLongerThanTheWipeEndsItWithoutDrawing) {
  GUI_Transition& t = StartAndArm();
  device->ClearRecord();
  AdvanceMs(900);
  t.Draw();
  EXPECT_FALSE(t.IsRunning());
  EXPECT_TRUE(device->draws.empty());
}

TEST_F(TransitionTest, SideWipeShowsTheCopyLeftOfItsBorderWithASoftEdge) {
  GUI_Transition& t = StartAndArm();
  ASSERT_EQ(t.CurrentStyle(), GUI_Transition::kSideWipe);
  float at = 0.0f;
  DrawAt(t, 0.25f, &at);  // border at W (1 - 2t) = 512
  ASSERT_FALSE(device->draws.empty());
  platform::Texture* copy = FindTexture("rt_transition");
  float right = 0.0f;
  for (const auto& d : device->draws) {
    EXPECT_EQ(d.textures[0], copy);
    const Box b = BoxOf(d);
    right = std::max(right, b.right);
    EXPECT_FLOAT_EQ(b.top, 0.0f);
    EXPECT_FLOAT_EQ(b.bottom, 768.0f);
    for (int i = 0; i < d.vertexCount; ++i) {
      // One texel per pixel: u = x / W * u scale, v = y / H * v scale.
      EXPECT_NEAR(d.U(i), (d.X(i) + 0.5f) / 1024.0f, 1e-5f);
      EXPECT_NEAR(d.V(i), (d.Y(i) + 0.5f) / 768.0f * 0.75f, 1e-5f);
      const int alpha = static_cast<int>(d.Colour(i) >> 24);
      const float x = d.X(i) + 0.5f;
      if (x == 512.0f) {
        EXPECT_EQ(alpha, 0) << "the edge at the border is not soft";
      }
      if (x < 512.0f - GUI_Transition::kSoftBand + 0.5f) {
        EXPECT_EQ(alpha, 255);
      }
    }
  }
  EXPECT_FLOAT_EQ(right, 512.0f);

  DrawAt(t, 0.55f, &at);  // past the half: nothing of the old screen is left
  EXPECT_TRUE(t.IsRunning());
  EXPECT_TRUE(device->draws.empty());
}

TEST_F(TransitionTest, IrisOpensACircleAndTheBandsCoverTheRest) {
  // The second transition is the iris.
  GUI_Transition& first = StartAndArm();
  AdvanceMs(900);
  first.Draw();
  GUI_Transition& t = StartAndArm();
  ASSERT_EQ(t.CurrentStyle(), GUI_Transition::kIris);
  platform::Texture* mask = FindTexture("circular_wipe.dds");
  ASSERT_NE(mask, nullptr) << "the iris mask is missing from the data";

  struct Case {
    float t;
    float half;  // half-diagonal x t
  } cases[] = {{0.25f, 160.0f}, {0.5f, 320.0f}};
  float at = 0.0f;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.t);
    DrawAt(t, c.t, &at);
    float bandArea = 0.0f;
    int squares = 0;
    for (const auto& d : device->draws) {
      const Box b = BoxOf(d);
      if (d.stride == 36) {
        ++squares;
        EXPECT_EQ(d.textures[1], mask);
        EXPECT_FLOAT_EQ(b.left, 512.0f - c.half);
        EXPECT_FLOAT_EQ(b.right, 512.0f + c.half);
        EXPECT_FLOAT_EQ(b.top, 384.0f - c.half);
        EXPECT_FLOAT_EQ(b.bottom, 384.0f + c.half);
        EXPECT_FLOAT_EQ(d.U(0, 1), 0.0f);
        EXPECT_FLOAT_EQ(d.U(3, 1), 1.0f);
      } else {
        EXPECT_EQ(d.textures[1], nullptr) << "the mask stayed bound for a band";
        bandArea += b.Area();
      }
    }
    EXPECT_EQ(squares, 1);
    const float side = 2.0f * c.half;
    EXPECT_FLOAT_EQ(bandArea, 1024.0f * 768.0f - side * side);
  }
}

class TransitionWithoutTargetTest : public TransitionTest {
 protected:
  void SetUp() override {
    createTarget = false;
    TransitionTest::SetUp();
  }
};

TEST_F(TransitionWithoutTargetTest, AFailedCopyIsLoggedAndTheSwitchStillCompletes) {
  GUI_Transition& t = StartAndArm();
  const std::string errors = ReadText(GetLogFolder() + "/errors.txt");
  EXPECT_NE(errors.find("Failed copying transition buffer"), std::string::npos) << errors;
  device->ClearRecord();
  AdvanceMs(300);
  t.Draw();
  EXPECT_TRUE(device->draws.empty()) << "drew a copy that was never made";
  AdvanceMs(600);
  t.Draw();
  EXPECT_FALSE(t.IsRunning());
}

}  // namespace
}  // namespace menu_test
