// A scripted moment of battle effects on the OpenGL device under a (virtual) display:
// fires, bursts, muzzle flashes and exhaust on Desert Pass, then Night Citadel lit by
// them and seen in night vision, against reference pictures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/Game.h"
#include "app/GameModes.h"
#include "battle/Gameplay.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleScreen.h"
#include "battlescreen/BattleScreenFixture.h"
#include "battlescreen/BattleSprites.h"
#include "effects/BattleEffects.h"
#include "effects/EffectsCommon.h"
#include "effects/GUI_EE_Editor.h"
#include "effects/HeatEmitters.h"
#include "effects/LightMap.h"
#include "effects/ParticleSystem.h"
#include "effects/Smoke.h"
#include "engine/D3DEngine.h"
#include "engine/InputManager.h"
#include "engine/Random.h"
#include "engine/ShaderEffects.h"
#include "engine/TextRenderer.h"
#include "engine/Textures.h"
#include "engine/Timer.h"
#include "engine/VertexBuffer.h"
#include "gui/SharedTextures.h"
#include "simdata/Options.h"
#include "support/GLBattleScreenTest.h"
#include "support/GLTestSupport.h"
#include "support/TestSupport.h"

namespace {

class EffectsGLTest : public zt_test::GLBattleScreenTest {
 protected:
  void SetUp() override {
    zt_test::GLScreenSetup s;
    s.title = "Zentrak effects test";
    // The battle's clock moves 16 ms a frame, so the picture does not depend on the machine.
    s.ownClock = true;
    // The frame's off-screen targets and passes, as the game makes them at start-up.
    s.renderTargetWidth = Game::RenderTargetSize(1024);
    s.renderTargetHeight = Game::RenderTargetSize(768);
    s.shaders = true;
    s.seedRandom = true;
    // The fade threshold and the smoke hand-over read the frame-rate ratio: pinned.
    s.pinFrameRatio = true;
    if (!OpenScreen(s)) return;
    SIM_Options::Get().SetFloat("DRIFTINGSMOKE", 1.0f);
    SIM_Options::Get().SetFloat("MOTIONBLUR", 0.0f);
  }
  void Start(const char* scenario, float x, float y, const char* exhaust) {
    exhaustKind = exhaust;
    ASSERT_NE(battlescreen_test::StartShippedBattle(scenario), nullptr);
    if (BattleScreenHooks& h = GetBattleScreenHooks(); h.closeHud) h.closeHud();
    GetInputManager().x = 512;
    GetInputManager().y = 384;
    GUI_BS_Map& map = GUI_BS_Map::Instance();
    map.centreX = x;
    map.centreY = y;
    map.zoom = map.targetZoom = 2.0f;
    cx = x;
    cy = y;
  }
  // Burning ground, a burning hulk, bursts, a tank column's dust and gunfire.
  void Stage() {
    GUI_BS_EffectsManager& fx = GUI_BS_EffectsManager::Instance();
    fx.Add(new GUI_BS_GroundEmitter(14.0f, -1.0f, "burning_ground", cx - 120, cy + 40));
    fx.Add(new GUI_BS_GroundEmitter(10.0f, -1.0f, "hulk_emitter", cx + 110, cy - 60));
    for (int i = 0; i < 3; ++i) {
      const float x = cx - 40.0f + 70.0f * i, y = cy + 90.0f - 40.0f * i;
      GUI_ParticleEmmiterGroup* g = ObtainParticleGroup("scripted_burst", x, y, 0, 0);
      for (const char* c : {"fire_burst", "spark_burst", "smoke_puff", "debris_chunks"})
        g->AddEmitter(NewParticleEmmiter(c, x, y, 0, 0));
      fx.Add(g);
    }
  }
  void Frames(int n) {
    D3DEngine& e = GetRenderDevice();
    for (int i = 0; i < n; ++i) {
      if (i % 6 == 3) {
        WeaponFlashAt(cx - 200, cy - 30, 90.0f);
        WeaponFlashAt(cx + 200, cy + 10, 270.0f);
      }
      ExhaustRequest(exhaustKind, cx - 200 + 3.0f * static_cast<float>(frame % 60), cy - 120);
      ++frame;
      AdvanceClock(16'000'000);
      GetStepRateMeter().rate = 1.0f;
      e.BeginScene();
      GetGame().CurrentMode->Draw();
      e.EndScene();
      if (i + 1 < n) e.Flip();
    }
  }
  void WeaponFlashAt(float x, float y, float heading) {
    if (auto& f = GetBattleHooks().weaponFlash) f(x, y, heading);
  }
  void Expect(const std::string& name) { ExpectScreen("effects", "effects", name); }
  float cx = 0, cy = 0;
  const char* exhaustKind = "MEDIUM_DUST";
  int frame = 0;
};

TEST_F(EffectsGLTest, DesertPassFiresBurstsAndDust) {
  ZT_REQUIRE_GL(gl_);
  Start("desert_pass", 1000.0f, 900.0f, "MEDIUM_SAND");
  Stage();
  Frames(60);
  Expect("desert_effects");
}

TEST_F(EffectsGLTest, NightCitadelLitByFireAndInNightVision) {
  ZT_REQUIRE_GL(gl_);
  Start("night_citadel", 1000.0f, 900.0f, "MEDIUM_DUST");
  ASSERT_EQ(GUI_BS_LightmapManager::Instance().mode, 1) << "the night citadel is lit";
  Stage();
  Frames(60);
  Expect("night_lit");
  NightVisionToggle();
  Frames(10);  // 160 ms: the 100 ms flicker has settled
  ASSERT_TRUE(GUI_BS_LightmapManager::Instance().nightVisionOverride);
  Expect("night_vision");
}

// The effects editor's window on a 1600 x 900 screen: a seeded heat trigger, paused and
// stepped frame by frame with F, so the picture depends on neither clock nor machine.
class EffectsEditorGLTest : public zt_test::GLBattleScreenTest {
 protected:
  void SetUp() override {
    zt_test::GLScreenSetup s;
    s.title = "Zentrak effects editor test";
    s.width = 1600;
    s.height = 900;
    s.ownClock = true;
    s.fontsAndFrames = true;
    s.shaders = true;
    s.pinFrameRatio = true;
    if (!OpenScreen(s)) return;
    SetGameModeFactory(MODE_MAIN_MENU,
                       [] { return static_cast<GUI_GameModeBase*>(new GUI_PlaceholderMode(0)); });
    GetGame().SetGameMode(MODE_MAIN_MENU);
    GetGame().SetGameMode(MODE_EFFECTS_EDITOR);
    // The title backdrop drifts with the real clock; the picture is of the editor.
    backdrop_ = StandardModeBackdrop();
    SetStandardModeBackdrop(nullptr);
    GetInputManager().x = 20;
    GetInputManager().y = 880;
  }
  void TearDown() override {
    SetStandardModeBackdrop(backdrop_);
    if (gl_.IsOpen() && GetGame().CurrentModeNumber == MODE_EFFECTS_EDITOR)
      GetGame().SetGameMode(MODE_MAIN_MENU);
    SetGameModeFactory(MODE_MAIN_MENU, nullptr);
    GLBattleScreenTest::TearDown();
  }
  void Frame() { ModeFrame(16'000'000); }
  void Expect(const std::string& name) {
    DrawMode();
    ExpectScreen("effects", "effects", name);
  }
  StandardModeLayer backdrop_ = nullptr;
};

TEST_F(EffectsEditorGLTest, SteppedHeatTriggerInThePreview) {
  ZT_REQUIRE_GL(gl_);
  GUI_GameModeBase* editor = GetGame().CurrentMode;
  EffectsEditorWindow()->controls->LoadConfig("data/heatparticles/groundblast.txt");
  editor->OnChar('p');
  EffectsSeedRandom(0x5EED32u);
  HeatTrigger();
  for (int i = 0; i < 24; ++i) {
    editor->OnChar('f');
    Frame();
  }
  // Paused: frames without F change nothing.
  Frame();
  Frame();
  Expect("editor_heat_trigger");
}

// A second heat trigger with the same seed plays the same burst: the plumes of the first
// leave nothing in the emitters the second one takes up.
TEST_F(EffectsEditorGLTest, AHeatTriggerAgainPlaysTheSameBurst) {
  ZT_REQUIRE_GL(gl_);
  GUI_GameModeBase* editor = GetGame().CurrentMode;
  EffectsEditorWindow()->controls->LoadConfig("data/heatparticles/groundblast.txt");
  editor->OnChar('p');
  auto burst = [&](int frames) {
    EffectsSeedRandom(0x5EED32u);
    HeatTrigger();
    for (int i = 0; i < frames; ++i) {
      editor->OnChar('f');
      Frame();
    }
    D3DEngine& e = GetRenderDevice();
    e.BeginScene();
    editor->Draw();
    e.EndScene();
    std::vector<uint32_t> pixels;
    EXPECT_EQ(e.Device()->ReadPixels(nullptr, platform::Rect{0, 0, 1600, 900}, &pixels), platform::D3D_OK);
    e.Flip();
    return pixels;
  };
  // The second trigger clears the first burst away, its plumes' emitters with it.
  const std::vector<uint32_t> first = burst(24);
  const std::vector<uint32_t> second = burst(24);
  ASSERT_EQ(first.size(), 1600u * 900u);
  ASSERT_EQ(second.size(), first.size());
  size_t differ = 0;
  for (size_t i = 0; i < first.size(); ++i)
    if (first[i] != second[i]) ++differ;
  EXPECT_EQ(differ, 0u) << "the second burst differs from the first";
}

// The flame's hot pass draws additively. What the editor draws after the preview (its
// slider panels, the window's frame and title) keeps its colours while the flame burns:
// read back from the screen before the burst and during it.
TEST_F(EffectsEditorGLTest, PanelsKeepTheirColoursWhileTheFlamethrowerBurns) {
  ZT_REQUIRE_GL(gl_);
  GUI_GameModeBase* editor = GetGame().CurrentMode;
  GUI_EE_EditorWindow* window = EffectsEditorWindow();
  ASSERT_NE(window, nullptr);
  auto screen = [&] {
    D3DEngine& e = GetRenderDevice();
    e.BeginScene();
    editor->Draw();
    e.EndScene();
    std::vector<uint32_t> pixels;
    EXPECT_EQ(e.Device()->ReadPixels(nullptr, platform::Rect{0, 0, 1600, 900}, &pixels), platform::D3D_OK);
    e.Flip();
    return pixels;
  };
  for (int i = 0; i < 3; ++i) Frame();
  const std::vector<uint32_t> before = screen();
  ASSERT_EQ(before.size(), 1600u * 900u);

  // The Flamethrower button, pressed as the player does; then the mouse moves off it.
  GUI_ButtonBase* flameButton = window->controls->Buttons().back();
  GetInputManager().x = static_cast<int>((flameButton->left + flameButton->right) / 2);
  GetInputManager().y = static_cast<int>((flameButton->top + flameButton->bottom) / 2);
  editor->Process();
  editor->OnLeftDown();
  ASSERT_NE(window->flamethrower, nullptr);
  GetInputManager().x = 20;
  GetInputManager().y = 880;
  for (int i = 0; i < 20; ++i) Frame();
  ASSERT_TRUE(window->flamethrower->emitting);
  ASSERT_GT(window->flamethrower->liveCount, 0);
  const std::vector<uint32_t> burning = screen();
  ASSERT_EQ(burning.size(), before.size());

  // Channel differences summed over a rectangle, and the pixels that changed markedly.
  struct Change {
    double mean;
    int changed;
  };
  auto change = [&](const GUI_BaseElement& e, int inset) {
    double sum = 0.0;
    int changed = 0, count = 0;
    for (int y = e.top + inset; y < e.bottom - inset; ++y)
      for (int x = e.left + inset; x < e.right - inset; ++x) {
        const uint32_t a = before[static_cast<size_t>(y) * 1600 + x],
                       b = burning[static_cast<size_t>(y) * 1600 + x];
        int most = 0;
        for (int shift : {0, 8, 16}) {
          const int d =
              std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
          sum += d;
          most = std::max(most, d);
        }
        ++count;
        if (most > 24) ++changed;
      }
    return Change{count ? sum / (3.0 * count) : 0.0, changed};
  };
  // The flame is on the screen...
  const Change preview = change(*window->preview, 2);
  EXPECT_GT(preview.changed, 400) << "no flame drawn in the preview";
  // ...and the panels around it look as they did before it.
  const struct {
    const char* what;
    const GUI_BaseElement* element;
  } rows[] = {
      {"heat panel", window->controls},
      {"particle panel", window->particleControls},
      {"explosion panel", window->config},
      {"title bar", &window->TitleBar()},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    ASSERT_NE(r.element, nullptr);
    const Change c = change(*r.element, 0);
    EXPECT_LT(c.mean, 1.0);
    EXPECT_LT(c.changed, 20);
  }
  if (::testing::Test::HasFailure()) {
    zt_test::KeepPictureOnFailure(before, 1600, 900,
                                  zt_test::BuildDir() + "/effects_editor_flame_before.png");
    zt_test::KeepPictureOnFailure(burning, 1600, 900,
                                  zt_test::BuildDir() + "/effects_editor_flame_burning.png");
  }
}

TEST_F(EffectsEditorGLTest, ParticleTriggerInThePreview) {
  ZT_REQUIRE_GL(gl_);
  EffectsSeedRandom(0x5EED33u);
  ASSERT_TRUE(TriggerParticleConfig("dark_smoke"));
  for (int i = 0; i < 30; ++i) Frame();
  Expect("editor_particle_trigger");
}

}  // namespace
