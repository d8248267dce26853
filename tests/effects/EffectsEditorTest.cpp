// The effects editor on the null device with fake input: its tests empty what played
// before, pause and single steps, the zoom wheel, the slider panels' load, live edit and
// save (into the test's own folder), and the messages for what cannot be done.
#include <SDL.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/Game.h"
#include "app/GameModes.h"
#include "app/OptionsScreen.h"
#include "battle/Gameplay.h"
#include "battlescreen/BattleSprites.h"
#include "effects/Debris.h"
#include "effects/EffectsFixture.h"
#include "effects/Explosions.h"
#include "effects/GUI_EE_Editor.h"
#include "effects/HeatEmitters.h"
#include "effects/ParticleSystem.h"
#include "engine/InputManager.h"
#include "engine/Log.h"
#include "gui/FileDialogs.h"
#include "gui/MessageBox.h"
#include "gui/WindowOrder.h"
#include "simdata/Options.h"
#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;

// An effect that only says when it is deleted.
struct Sentinel : GUI_BS_RenderObject {
  explicit Sentinel(bool* gone) : gone_(gone) { layer = 2; }
  ~Sentinel() override { *gone_ = true; }
  bool* gone_;
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::stringstream s(text);
  for (std::string line; std::getline(s, line);)
    if (!line.empty()) lines.push_back(line);
  return lines;
}

class EffectsEditorTest : public effects_test::EffectsTest {
 protected:
  int ScreenW() const override { return 1600; }
  int ScreenH() const override { return 900; }

  void SetUp() override {
    effects_test::EffectsTest::SetUp();
    SetGameModeFactory(MODE_MAIN_MENU,
                       [] { return static_cast<GUI_GameModeBase*>(new GUI_PlaceholderMode(0)); });
    GetStepRateMeter().rate = 1.0f;
    Game& game = GetGame();
    game.SetGameMode(MODE_MAIN_MENU);
    game.SetGameMode(MODE_EFFECTS_EDITOR);
    editor = dynamic_cast<GUI_EE_Editor*>(game.CurrentMode);
    ASSERT_NE(editor, nullptr);
    window = EffectsEditorWindow();
    ASSERT_NE(window, nullptr);
    folder = zt_test::UserRoot() + "/editor";
    fs::create_directories(folder);
  }
  void TearDown() override {
    SDL_SetModState(KMOD_NONE);
    if (GetGame().CurrentModeNumber == MODE_EFFECTS_EDITOR) GetGame().SetGameMode(MODE_MAIN_MENU);
    SetGameModeFactory(MODE_MAIN_MENU, nullptr);
    effects_test::EffectsTest::TearDown();
  }

  // A copy of a shipped config in the test's folder, with lines replaced or added.
  std::string Copy(const std::string& from, const std::string& name,
                   const std::vector<std::pair<std::string, std::string>>& changes = {}) {
    std::vector<std::string> lines = Lines(ReadAll(from));
    for (const auto& change : changes) {
      bool replaced = false;
      for (std::string& line : lines)
        if (line.rfind(change.first + " ", 0) == 0) {
          line = change.first + " = " + change.second;
          replaced = true;
        }
      if (!replaced) lines.push_back(change.first + " = " + change.second);
    }
    const std::string path = folder + "/" + name;
    std::ofstream out(path);
    for (const std::string& line : lines) out << line << "\n";
    return path;
  }
  // A heat config read from the test's folder and held by the config manager.
  std::string AddHeatConfig(const std::string& name) {
    const std::string path = Copy("data/heatparticles/groundblast.txt", name + ".txt", {{"name", name}});
    auto config = std::make_unique<GUI_BS_HPConfig>();
    EXPECT_TRUE(GUI_BS_HPConfig::Read(config.get(), path));
    GUI_BS_HPConfigManager::Instance().configs.push_back(std::move(config));
    return path;
  }
  void DrawFrames(int n) {
    for (int i = 0; i < n; ++i) editor->Draw();
  }
  void MouseAt(float x, float y) {
    GetInputManager().x = static_cast<int>(x);
    GetInputManager().y = static_cast<int>(y);
  }

  GUI_EE_Editor* editor = nullptr;
  GUI_EE_EditorWindow* window = nullptr;
  std::string folder;
};

TEST_F(EffectsEditorTest, WindowAndPanelsSitWhereTheLayoutPutsThem) {
  // 1600 x 768 centred on a 1600 x 900 screen.
  EXPECT_EQ(window->left, 0);
  EXPECT_EQ(window->top, 66);
  EXPECT_EQ(window->right, 1600);
  EXPECT_EQ(window->bottom, 834);
  const struct {
    const GUI_WindowBase* panel;
    int left, top, right, bottom;
  } rows[] = {
      {window->preview, 600, 106, 1180, 824},
      {window->controls, 10, 106, 580, 824},
      {window->particleControls, 1190, 106, 1590, 624},
      {window->config, 1190, 624, 1590, 834},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(r.panel->left, r.left);
    EXPECT_EQ(r.panel->top, r.top);
    EXPECT_EQ(r.panel->right, r.right);
    EXPECT_EQ(r.panel->bottom, r.bottom);
  }
  float x = 0, y = 0;
  EditorPreviewCentre(&x, &y);
  EXPECT_FLOAT_EQ(x, 890.0f);
  EXPECT_FLOAT_EQ(y, 465.0f);
  // The close button in the top-right corner leads back to the main menu.
  EXPECT_EQ(editor->CloseButton()->left, 1564);
  EXPECT_EQ(editor->CloseButton()->right, 1600);
  editor->CloseButton()->Click();
  EXPECT_EQ(GetGame().CurrentModeNumber, MODE_MAIN_MENU);
  EXPECT_EQ(EffectsEditorWindow(), nullptr);
}

// On a 1280 x 1024 screen the window takes the screen's width instead of its 1600 pixels:
// the heat panel narrows, the preview gives up the rest, and every slider and button lies
// on the screen where the player's mouse reaches it. The tests still play at the
// preview's centre.
class EffectsEditorNarrowTest : public EffectsEditorTest {
 protected:
  int ScreenW() const override { return 1280; }
  int ScreenH() const override { return 1024; }
};

TEST_F(EffectsEditorNarrowTest, EveryControlIsOnTheScreenAndAnswersTheMouse) {
  EXPECT_EQ(window->left, 0);
  EXPECT_EQ(window->right, 1280);
  EXPECT_EQ(window->top, 128);
  EXPECT_EQ(window->bottom, 896);
  const struct {
    const GUI_WindowBase* panel;
    int left, top, right, bottom;
  } panels[] = {
      {window->controls, 10, 168, 466, 886},
      {window->preview, 486, 168, 860, 886},
      {window->particleControls, 870, 168, 1270, 686},
      {window->config, 870, 686, 1270, 896},
  };
  for (const auto& p : panels) {
    EXPECT_EQ(p.panel->left, p.left);
    EXPECT_EQ(p.panel->top, p.top);
    EXPECT_EQ(p.panel->right, p.right);
    EXPECT_EQ(p.panel->bottom, p.bottom);
  }
  DrawFrames(1);
  auto inside = [](const GUI_BaseElement& e, const GUI_BaseElement& around) {
    return e.left >= around.left && e.right <= around.right && e.top >= around.top &&
           e.bottom <= around.bottom;
  };
  // Every button of the three control panels stands inside its panel.
  for (const GUI_WindowBase* panel : {static_cast<const GUI_WindowBase*>(window->controls),
                                      static_cast<const GUI_WindowBase*>(window->particleControls),
                                      static_cast<const GUI_WindowBase*>(window->config)}) {
    ASSERT_FALSE(panel->Buttons().empty());
    for (const GUI_ButtonBase* b : panel->Buttons())
      EXPECT_TRUE(inside(*b, *panel)) << b->left << " " << b->right;
  }
  // Each slider answers the wheel at its middle, through the editor's own input path.
  std::vector<std::pair<GUI_OptionsSlider*, const GUI_WindowBase*>> sliders;
  for (int i = 0; i < GUI_EE_Controls::kValueSliders; ++i)
    sliders.push_back({window->controls->Slider(i), window->controls});
  sliders.push_back({window->controls->MuzzleDamage(), window->controls});
  for (int i = 0; i < GUI_EE_ParticleControls::kSliders; ++i)
    sliders.push_back({window->particleControls->Slider(i), window->particleControls});
  for (const auto& [slider, panel] : sliders) {
    SCOPED_TRACE(slider->labelText);
    EXPECT_TRUE(inside(*slider, *panel)) << slider->left << " " << slider->right;
    const float x = (slider->left + slider->right) * 0.5f, y = (slider->top + slider->bottom) * 0.5f;
    ASSERT_TRUE(x >= 0.0f && x < 1280.0f && y >= 0.0f && y < 1024.0f) << x << "," << y;
    MouseAt(x, y);
    const float before = slider->value;
    editor->OnWheelDown();
    if (slider->value == before) editor->OnWheelUp();
    EXPECT_NE(slider->value, before);
  }
  // The flamethrower's button starts it, and it burns at the preview's centre.
  GUI_ButtonBase* flameButton = window->controls->Buttons().back();
  MouseAt((flameButton->left + flameButton->right) * 0.5f, (flameButton->top + flameButton->bottom) * 0.5f);
  editor->OnLeftDown();
  ASSERT_NE(window->flamethrower, nullptr);
  DrawFrames(1);
  float worldX = 0.0f, worldY = 0.0f;
  EditorPreviewCentre(&worldX, &worldY);
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  EXPECT_FLOAT_EQ((worldX - map.viewLeft) * map.zoom, window->preview->CentreX());
  EXPECT_FLOAT_EQ((worldY - map.viewTop) * map.zoom, window->preview->CentreY());
}

// Where the screen is wide enough the window keeps its 1600 x 768 and the panels their
// places; below that it never leaves the screen.
TEST(EffectsEditorFrameTest, FullSizeWhereTheScreenHasRoomElseTheScreensWidth) {
  const struct {
    int screenW, screenH;
    float left, top, right, bottom, controlsRight, previewLeft, previewRight;
  } rows[] = {
      {1600, 900, 0, 66, 1600, 834, 580, 600, 1180},
      {1920, 1080, 160, 156, 1760, 924, 740, 760, 1340},
      {1280, 1024, 0, 128, 1280, 896, 466, 486, 860},
      {1024, 768, 0, 0, 1024, 768, 375, 395, 604},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::Message() << r.screenW << "x" << r.screenH);
    const GUI_EE_EditorWindow::Frame f = GUI_EE_EditorWindow::FrameFor(r.screenW, r.screenH);
    EXPECT_FLOAT_EQ(f.left, r.left);
    EXPECT_FLOAT_EQ(f.top, r.top);
    EXPECT_FLOAT_EQ(f.right, r.right);
    EXPECT_FLOAT_EQ(f.bottom, r.bottom);
    EXPECT_FLOAT_EQ(f.controlsRight, r.controlsRight);
    EXPECT_FLOAT_EQ(f.previewLeft, r.previewLeft);
    EXPECT_FLOAT_EQ(f.previewRight, r.previewRight);
  }
}

// The editor's window and its load box are titled before they have a size: the titles
// wait for the size instead of tripping the title bar's width check.
TEST_F(EffectsEditorTest, OpeningTheEditorAndItsLoadBoxWritesNoFailedCheck) {
  DrawFrames(1);
  GUI_EE_ParticleControls::OnLoad(0);
  DrawFrames(1);
  const std::string errors = ReadAll(GetLogFolder() + "/errors.txt");
  EXPECT_EQ(errors.find("Assert failed"), std::string::npos) << errors;
}

TEST_F(EffectsEditorTest, EscapeLeavesAndPutsTheBattleClockBack) {
  const int before = BATTLE_DEPLOYMENT;
  EXPECT_EQ(GetBattle().state, BATTLE_RUNNING);
  // Escape leaves at once, taking the editor's pop-ups along.
  GUI_EE_ParticleControls::OnLoad(0);
  ASSERT_NE(OpenOpenFileDialog(), nullptr);
  EXPECT_FALSE(TriggerParticleConfig("no_such_spray"));
  ASSERT_NE(OpenMessageBox(), nullptr);
  editor->OnKeyDown(kKeyEscape);
  EXPECT_EQ(OpenOpenFileDialog(), nullptr);
  EXPECT_EQ(OpenMessageBox(), nullptr);
  EXPECT_TRUE(GetWindowOrder().OpenWindows().empty());
  EXPECT_EQ(GetGame().CurrentModeNumber, MODE_MAIN_MENU);
  EXPECT_EQ(EffectsEditorWindow(), nullptr);
  EXPECT_EQ(GetBattle().state, before);
  // Entering again opens a new window.
  GetGame().SetGameMode(MODE_EFFECTS_EDITOR);
  EXPECT_NE(EffectsEditorWindow(), nullptr);
}

TEST_F(EffectsEditorTest, EveryTestFirstEmptiesWhatPlayedBefore) {
  const std::string heat = AddHeatConfig("editor_heat");
  window->controls->LoadConfig(heat);
  ASSERT_NE(window->controls->Edited(), nullptr);
  const struct {
    const char* name;
    void (*run)();
    int debris;  // pieces the test throws itself
  } rows[] = {
      {"explosion", [] { TriggerExplosionConfig("large_explosion"); }, 0},
      {"particle", [] { TriggerParticleConfig("dust_burst"); }, 0},
      {"muzzle flash", [] { MuzzleFlashTest("editor_heat", 10); }, 0},
      {"ground", [] { GroundTest("editor_heat"); }, 0},
      {"heat trigger", [] { HeatTrigger(); }, 64},
      {"flamethrower", [] { FlamethrowerTest(); }, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    bool gone = false;
    GUI_BS_EffectsManager::Instance().Add(new Sentinel(&gone));
    SpawnDebris(5, 4.0f, 0, 16, 32.0f, true, 100.0f, 100.0f);
    row.run();
    EXPECT_TRUE(gone);
    EXPECT_EQ(GUI_BS_DebrisPool::Instance().ActiveCount(), row.debris);
    EXPECT_EQ(window->groundTest != nullptr, std::string(row.name) == "ground");
    DrawFrames(3);
  }
  // The last test's flamethrower stops firing after its burst.
  ASSERT_NE(window->flamethrower, nullptr);
  EXPECT_TRUE(window->flamethrower->emitting);
  DrawFrames(80);
  EXPECT_GT(window->flamethrowerClock, GUI_EE_EditorWindow::kFlameBurstMs);
  EXPECT_FALSE(window->flamethrower->emitting);
}

// The flame's hot pass is additive. What the editor draws around the preview (the slider
// panels, the window's frame and title) is alpha blended while it burns, as before it.
TEST_F(EffectsEditorTest, PanelsStayAlphaBlendedWhileTheFlamethrowerPlays) {
  const GUI_WindowBase& panel = *window->controls;
  // The draws of one frame that lie on the heat panel, counted by their blending.
  auto panelDraws = [&](int* normal, int* other) {
    *normal = *other = 0;
    for (const platform::DrawRecord& d : device->draws) {
      if (d.vertexCount < 3 || d.viewport.width != 1600) continue;
      const float x = d.X(0), y = d.Y(0);
      if (x < panel.left || x > panel.right || y < panel.top || y > panel.bottom) continue;
      const bool alpha = !d.blendEnabled || (d.srcBlend == platform::BLEND_SRCALPHA &&
                                             d.destBlend == platform::BLEND_INVSRCALPHA);
      ++*(alpha ? normal : other);
    }
  };
  int normal = 0, other = 0;
  for (const char* when : {"before", "burning", "burning again"}) {
    SCOPED_TRACE(when);
    if (std::string(when) == "burning") FlamethrowerTest();
    device->draws.clear();
    DrawFrames(1);
    panelDraws(&normal, &other);
    EXPECT_GT(normal, 0);
    EXPECT_EQ(other, 0);
  }
  ASSERT_NE(window->flamethrower, nullptr);
  EXPECT_GT(window->flamethrower->liveCount, 0);
}

TEST_F(EffectsEditorTest, HeatTriggerPlaysPlumesGroupsAndDebrisAtTheCentre) {
  HeatTrigger();
  GUI_BS_EffectsManager& fx = GUI_BS_EffectsManager::Instance();
  int plumes = 0, groups = 0;
  for (GUI_BS_RenderObject* o : fx.allEffects) {
    plumes += dynamic_cast<GUI_BS_ExplosionPlume*>(o) != nullptr;
    if (auto* g = dynamic_cast<GUI_ParticleEmmiterGroup*>(o)) {
      ++groups;
      EXPECT_FLOAT_EQ(g->x, 890.0f);
      EXPECT_FLOAT_EQ(g->y, 465.0f);
    }
  }
  EXPECT_GE(plumes, 32);
  EXPECT_LE(plumes, 60);
  // Only the large blast's type names a configuration.
  EXPECT_EQ(groups, 1);
  EXPECT_EQ(GUI_BS_DebrisPool::Instance().ActiveCount(), 64);
}

TEST_F(EffectsEditorTest, UnknownParticleConfigIsAMessageNotAnEnd) {
  EXPECT_FALSE(TriggerParticleConfig("no_such_spray"));
  ASSERT_NE(OpenMessageBox(), nullptr);
  EXPECT_NE(OpenMessageBox()->Text().find("no_such_spray"), std::string::npos);
  EXPECT_TRUE(GUI_BS_EffectsManager::Instance().allEffects.empty());
  // A known one plays one emitter of that config.
  ASSERT_TRUE(TriggerParticleConfig("dust_burst"));
  ASSERT_EQ(GUI_BS_EffectsManager::Instance().allEffects.size(), 1u);
  auto* g = dynamic_cast<GUI_ParticleEmmiterGroup*>(GUI_BS_EffectsManager::Instance().allEffects[0]);
  ASSERT_NE(g, nullptr);
  ASSERT_NE(g->emitters[0], nullptr);
  EXPECT_EQ(g->emitters[0]->config->name, "dust_burst");
  EXPECT_EQ(g->emitters[1], nullptr);
  // And its particles are drawn in the preview.
  DrawFrames(3);
  EXPECT_GT(g->emitters[0]->liveCount, 0);
}

// Muzzle Flash before any heat config is loaded asks for one instead of failing a check.
TEST_F(EffectsEditorTest, MuzzleFlashBeforeAConfigIsLoadedAsksForOne) {
  GUI_EE_Controls::OnMuzzleFlash(0);
  ASSERT_NE(OpenMessageBox(), nullptr);
  EXPECT_NE(OpenMessageBox()->Text().find("Load a heat particle config"), std::string::npos);
  EXPECT_TRUE(GUI_BS_EffectsManager::Instance().allEffects.empty());
  const std::string errors = ReadAll(GetLogFolder() + "/errors.txt");
  EXPECT_EQ(errors.find("Assert failed"), std::string::npos) << errors;
}

TEST_F(EffectsEditorTest, ExplosionPanelTriggersOnlyWhatWasLoaded) {
  GUI_EE_Config& panel = *window->config;
  bool gone = false;
  GUI_BS_EffectsManager::Instance().Add(new Sentinel(&gone));
  GUI_EE_Config::OnTrigger(0);
  EXPECT_FALSE(gone) << "nothing loaded: nothing happens";

  const std::string broken = folder + "/broken.txt";
  std::ofstream(broken) << "no sections here\n";
  EXPECT_FALSE(panel.LoadFile(broken));
  EXPECT_NE(OpenMessageBox(), nullptr);
  EXPECT_EQ(panel.Loaded(), nullptr);

  ASSERT_TRUE(panel.LoadFile("data/explosions/medium_explosion.txt"));
  EXPECT_EQ(panel.path, "data/explosions/medium_explosion.txt");
  GUI_EE_Config::OnTrigger(0);
  EXPECT_TRUE(gone);
  ASSERT_EQ(GUI_BS_EffectsManager::Instance().allEffects.size(), 1u);
  auto* g = dynamic_cast<GUI_ParticleEmmiterGroup*>(GUI_BS_EffectsManager::Instance().allEffects[0]);
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->name, panel.Loaded()->ConfigName);
}

TEST_F(EffectsEditorTest, PausedTheStepKeyLetsExactlyOneFramePass) {
  SIM_Battle& battle = GetBattle();
  DrawFrames(1);
  EXPECT_FLOAT_EQ(battle.frameStep, 16.0f);
  editor->OnChar('p');
  EXPECT_TRUE(battle.paused);
  DrawFrames(3);
  EXPECT_FLOAT_EQ(battle.frameStep, 0.0f);

  std::vector<float> steps;
  editor->OnChar('f');
  for (int i = 0; i < 4; ++i) {
    DrawFrames(1);
    steps.push_back(battle.frameStep);
  }
  EXPECT_EQ(steps, (std::vector<float>{16.0f, 0.0f, 0.0f, 0.0f}));
  EXPECT_TRUE(battle.paused);
  // At double speed the step is one frame of double length.
  editor->OnKeyDown(GUI_EE_Editor::kKeyPadPlus);
  editor->OnKeyDown(GUI_EE_Editor::kKeyPadPlus);
  editor->OnKeyDown(GUI_EE_Editor::kKeyPadPlus);
  editor->OnKeyDown(GUI_EE_Editor::kKeyPadPlus);
  editor->OnKeyDown(GUI_EE_Editor::kKeyPadPlus);
  EXPECT_FLOAT_EQ(battle.speed, 2.0f);
  editor->OnChar('F');
  DrawFrames(1);
  EXPECT_FLOAT_EQ(battle.frameStep, 32.0f);
  DrawFrames(1);
  EXPECT_FLOAT_EQ(battle.frameStep, 0.0f);
  editor->OnChar('P');
  DrawFrames(1);
  EXPECT_FLOAT_EQ(battle.frameStep, 32.0f);
}

TEST_F(EffectsEditorTest, WheelZoomsOnlyOverThePreview) {
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  const struct {
    const char* where;
    float x, y;
    bool inverted;
    bool wheelUp;
    float zoom;  // after one step from 2.0
  } rows[] = {
      {"preview, up", 890, 465, false, true, 1.9f},         {"preview, down", 890, 465, false, false, 2.1f},
      {"preview, inverted up", 890, 465, true, true, 2.1f}, {"heat panel", 300, 465, false, true, 2.0f},
      {"particle panel", 1400, 300, false, false, 2.0f},    {"explosion panel", 1400, 700, false, true, 2.0f},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.where);
    SIM_Options::Get().SetFloat("INVERTZOOM", r.inverted ? 1.0f : 0.0f);
    map.zoom = map.targetZoom = 2.0f;
    MouseAt(r.x, r.y);
    if (r.wheelUp)
      editor->OnWheelUp();
    else
      editor->OnWheelDown();
    EXPECT_NEAR(map.zoom, r.zoom, 1e-4f);
  }
}

TEST_F(EffectsEditorTest, SampleUnitShowsOnlyWhileShiftIsHeld) {
  DrawFrames(1);
  EXPECT_FALSE(window->preview->sampleDrawn);
  SDL_SetModState(KMOD_LSHIFT);
  DrawFrames(1);
  EXPECT_TRUE(window->preview->sampleDrawn);
  SDL_SetModState(KMOD_NONE);
  DrawFrames(1);
  EXPECT_FALSE(window->preview->sampleDrawn);
}

TEST_F(EffectsEditorTest, ParticleSaveWritesTheKeysAndKeepsValuesOutsideTheSliders) {
  GUI_EE_ParticleControls& panel = *window->particleControls;
  // Lifetime 12000 and MinSize -3 lie outside their sliders' ranges.
  const std::string path = Copy("data/particleconfigs/dust_burst.txt", "dust_copy.txt",
                                {{"Lifetime", "12000.000"}, {"MinSize", "-3.000"}, {"BiasScalar", "0.500"}});
  panel.LoadConfig(path);
  ASSERT_NE(panel.Edited(), nullptr);
  EXPECT_FLOAT_EQ(panel.Slider(12)->value, 12000.0f);
  EXPECT_FLOAT_EQ(panel.Slider(4)->value, -3.0f);
  EXPECT_FLOAT_EQ(panel.Slider(5)->value, 16.0f);

  panel.Slider(5)->Step(false);  // MaxSize up one wheel step: goes live at once
  const float maxSize = panel.Slider(5)->value;
  EXPECT_GT(maxSize, 16.0f);
  EXPECT_FLOAT_EQ(panel.Edited()->MaxSize, maxSize);
  EXPECT_FLOAT_EQ(panel.Edited()->Lifetime, 12000.0f);

  ASSERT_TRUE(panel.Save());
  const std::vector<std::string> lines = Lines(ReadAll(path));
  ASSERT_EQ(lines.size(), 22u);
  EXPECT_EQ(lines[0], "[config]");
  const char* keys[] = {"Name",
                        "TextureName",
                        "MinXVelocity",
                        "MaxXVelocity",
                        "MinYVelocity",
                        "MaxYVelocity",
                        "AlphaFalloff",
                        "SizeFalloff",
                        "SpeedFalloff",
                        "XScatter",
                        "YScatter",
                        "MinSize",
                        "MaxSize",
                        "ParticlesPerSecond",
                        "InitialParticles",
                        "Lifetime",
                        "MinSpinSpeed",
                        "MaxSpinSpeed",
                        "Type",
                        "UVFrame",
                        "UVFrameLast"};
  for (size_t i = 0; i < 21; ++i)
    EXPECT_EQ(lines[i + 1].rfind(std::string(keys[i]) + " = ", 0), 0u) << lines[i + 1];
  const std::string text = ReadAll(path);
  EXPECT_EQ(text.find("BiasScalar"), std::string::npos);
  EXPECT_EQ(text.find("IsAngled"), std::string::npos);
  EXPECT_NE(text.find("Lifetime = 12000.000"), std::string::npos);
  EXPECT_NE(text.find("MinSize = -3.000"), std::string::npos);
  EXPECT_FALSE(fs::exists(path + ".saving"));
  // Saved, reloaded and shown again.
  ASSERT_NE(panel.Edited(), nullptr);
  EXPECT_NEAR(panel.Edited()->MaxSize, maxSize, 1e-3f);
  EXPECT_NEAR(panel.Slider(5)->value, maxSize, 1e-3f);
}

TEST_F(EffectsEditorTest, ParticleTriggerBeforeSavePlaysTheFolderValues) {
  GUI_EE_ParticleControls& panel = *window->particleControls;
  panel.LoadConfig(Copy("data/particleconfigs/dust_burst.txt", "dust_copy.txt"));
  ASSERT_NE(panel.Edited(), nullptr);
  panel.Slider(5)->Step(false);
  ASSERT_GT(panel.Edited()->MaxSize, 16.0f);
  panel.Trigger();
  ASSERT_EQ(GUI_BS_EffectsManager::Instance().allEffects.size(), 1u);
  auto* g = dynamic_cast<GUI_ParticleEmmiterGroup*>(GUI_BS_EffectsManager::Instance().allEffects[0]);
  ASSERT_NE(g, nullptr);
  ASSERT_NE(g->emitters[0], nullptr);
  EXPECT_NE(g->emitters[0]->config, panel.Edited());
  EXPECT_FLOAT_EQ(g->emitters[0]->config->MaxSize, 16.0f);
}

TEST_F(EffectsEditorTest, ParticleSaveThenTriggerPlaysTheNewValue) {
  // A config the folder does not have: after Save the reloaded file is the one played.
  GUI_EE_ParticleControls& panel = *window->particleControls;
  panel.LoadConfig(Copy("data/particleconfigs/dust_burst.txt", "spray.txt", {{"Name", "editor_spray"}}));
  ASSERT_NE(panel.Edited(), nullptr);
  panel.Slider(5)->SetFromKnobX(panel.Slider(5)->TrackRight());  // MaxSize to 50
  ASSERT_TRUE(panel.Save());
  panel.Trigger();
  ASSERT_EQ(GUI_BS_EffectsManager::Instance().allEffects.size(), 1u);
  auto* g = dynamic_cast<GUI_ParticleEmmiterGroup*>(GUI_BS_EffectsManager::Instance().allEffects[0]);
  ASSERT_NE(g, nullptr);
  ASSERT_NE(g->emitters[0], nullptr);
  EXPECT_EQ(g->emitters[0]->config->name, "editor_spray");
  EXPECT_FLOAT_EQ(g->emitters[0]->config->MaxSize, 50.0f);
  DrawFrames(3);
}

TEST_F(EffectsEditorTest, FailedWritesLeaveTheFileAndTheEditAlone) {
  GUI_EE_ParticleControls& particles = *window->particleControls;
  const std::string path = Copy("data/particleconfigs/dust_burst.txt", "dust_copy.txt");
  particles.LoadConfig(path);
  ASSERT_NE(particles.Edited(), nullptr);
  const std::string before = ReadAll(path);
  // A folder where the temporary file should go makes the write fail.
  fs::create_directories(path + ".saving/x");
  particles.Slider(0)->Step(false);
  EXPECT_FALSE(particles.Save());
  EXPECT_NE(OpenMessageBox(), nullptr);
  EXPECT_EQ(ReadAll(path), before);
  EXPECT_NE(particles.Edited(), nullptr);

  // An unreadable particle file edits nothing, so Save cannot write defaults over it.
  particles.LoadConfig(folder + "/missing.txt");
  EXPECT_EQ(particles.Edited(), nullptr);
  EXPECT_FALSE(particles.Save());
  EXPECT_FALSE(fs::exists(folder + "/missing.txt"));

  // A heat file that is not loaded: nothing to edit, nothing saved.
  window->controls->LoadConfig(folder + "/not_loaded.txt");
  EXPECT_EQ(window->controls->Edited(), nullptr);
  EXPECT_FALSE(window->controls->Save());
}

TEST_F(EffectsEditorTest, HeatSliderEditsGoLiveAndSaveRoundTrips) {
  GUI_EE_Controls& panel = *window->controls;
  const std::string path = AddHeatConfig("editor_heat");
  panel.LoadConfig(path);
  ASSERT_NE(panel.Edited(), nullptr);
  EXPECT_EQ(panel.name, "editor_heat");
  // Table order: MinSize, MaxSize ... then durations, size growths, speed falloffs.
  EXPECT_FLOAT_EQ(panel.Slider(0)->value, 10.0f);
  EXPECT_FLOAT_EQ(panel.Slider(5)->value, 1400.0f);
  EXPECT_FLOAT_EQ(panel.Slider(10)->value, 500.0f);
  EXPECT_NEAR(panel.Slider(11)->value, 0.5f / 8.5f, 1e-5f);
  EXPECT_FLOAT_EQ(panel.Slider(17)->value, 0.02f);
  EXPECT_FLOAT_EQ(panel.Slider(23)->value, 0.001f);

  panel.Slider(1)->Step(false);  // MaxSize
  const float maxSize = panel.Slider(1)->value;
  EXPECT_FLOAT_EQ(panel.Edited()->MaxSize, maxSize);
  panel.Slider(23)->SetFromKnobX(panel.Slider(23)->TrackRight());  // white-hot speed falloff to 0.1
  EXPECT_FLOAT_EQ(panel.Edited()->speedFalloff[HS_WHITE], 0.1f);

  ASSERT_TRUE(panel.Save());
  const std::string text = ReadAll(path);
  char expected[64];
  std::snprintf(expected, sizeof expected, "MaxSize = %.4f", maxSize);
  EXPECT_NE(text.find(expected), std::string::npos) << text;
  EXPECT_NE(text.find("Speed_Falloff_White = 0.1000"), std::string::npos) << text;
  ASSERT_NE(panel.Edited(), nullptr);
  EXPECT_EQ(panel.path, path);
}

TEST_F(EffectsEditorTest, SavesTriggersAndFlashesInARowStayClean) {
  // Under AddressSanitizer: nothing may draw a config a save has deleted or reread.
  const std::string heat = AddHeatConfig("editor_heat");
  GUI_EE_Controls& controls = *window->controls;
  GUI_EE_ParticleControls& particles = *window->particleControls;
  controls.LoadConfig(heat);
  particles.LoadConfig(Copy("data/particleconfigs/ground_emit_heathaze.txt", "haze_copy.txt"));
  ASSERT_NE(particles.Edited(), nullptr);

  MuzzleFlashTest("editor_heat", 40);
  GroundTest("editor_heat");
  FlamethrowerTest();
  DrawFrames(4);
  ASSERT_TRUE(controls.Save());
  EXPECT_EQ(window->flamethrower, nullptr);
  EXPECT_EQ(window->groundTest, nullptr);
  DrawFrames(2);
  GroundTest("editor_heat");
  HeatTrigger();
  DrawFrames(4);
  ASSERT_TRUE(particles.Save());
  EXPECT_TRUE(ActiveParticleGroups().empty());
  EXPECT_TRUE(IdleParticleGroups().empty());
  DrawFrames(2);
  particles.Trigger();
  DrawFrames(3);
  GUI_EE_Controls::OnMuzzleFlash(0);
  DrawFrames(3);
  GUI_EE_Controls::OnFlamethrower(0);
  DrawFrames(3);
  GUI_EE_Controls::OnGround(0);
  DrawFrames(3);
  editor->OnKeyDown(kKeyEscape);
}

}  // namespace
