// The options screen on the null device: every check box and slider changes its option
// (volumes at once) and config.txt; the display choice writes prefs.ini at once and the
// Apply button restarts only after everything was saved; Escape and the close button save
// the sliders; the main menu's Options button leads here.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "MenuFixture.h"
#include "app/CInput.h"
#include "app/Game.h"
#include "app/MainMenu.h"
#include "app/OptionsScreen.h"
#include "app/Sounds.h"
#include "engine/Log.h"
#include "engine/Tokenizer.h"
#include "gui/WindowOrder.h"
#include "simdata/Options.h"
#include "support/TestSupport.h"

namespace {

using menu_test::MenuTest;

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class OptionsScreenTest : public MenuTest {
 protected:
  void SetUp() override {
    MenuTest::SetUp();
    Game& game = GetGame();
    game.UserFolder[USERFOLDER_ROOT] = zt_test::UserRoot();
    std::filesystem::create_directories(zt_test::UserRoot());
    SIM_Options::Get().SetFloat("TRANSITIONS", 0.0f);
    game.SetGameMode(MODE_MAIN_MENU);
    GUI_MainMenu::OnModeButton(MODE_OPTIONS);
    options = GetOptionsScreen();
    ASSERT_NE(options, nullptr);
    ASSERT_EQ(game.CurrentMode, options) << "the main menu's Options button leads here";
  }
  // The value config.txt holds for a name (-1 when it is not there).
  float Saved(const std::string& name) const {
    std::istringstream lines(ReadText(SIM_Options::Get().GetPath()));
    std::string line;
    while (std::getline(lines, line))
      if (line.rfind(name + " = ", 0) == 0)
        return static_cast<float>(ParseDouble(line.substr(name.size() + 3)));
    return -1.0f;
  }
  void ClickAt(float x, float y) {
    GetCInput().x = x;
    GetCInput().y = y;
    options->OnLeftDown();
  }
  GUI_Options* options = nullptr;
};

// The screen is built before its panel has a size: its title waits for the layout
// instead of tripping the title bar's width check each time the screen opens.
TEST_F(OptionsScreenTest, OpeningTheScreenWritesNoFailedCheck) {
  options->Draw();
  const std::string errors = ReadText(GetLogFolder() + "/errors.txt");
  EXPECT_EQ(errors.find("Assert failed"), std::string::npos) << errors;
}

TEST_F(OptionsScreenTest, EveryCheckBoxFlipsItsOptionAndSavesAtOnce) {
  struct Case {
    float before, after;
  } cases[] = {{0.0f, 1.0f}, {1.0f, 0.0f}, {0.5f, 0.0f}};
  SIM_Options& o = SIM_Options::Get();
  for (int i = 0; i < SIM_Options::kToggleCount; ++i) {
    const std::string name = SIM_Options::ToggleNames[i];
    for (const Case& c : cases) {
      SCOPED_TRACE(name + " from " + std::to_string(c.before));
      o.SetFloat(name, c.before);
      options->Enter();
      EXPECT_EQ(options->Toggle(i)->checked, c.before != 0.0f);
      GUI_CheckButton* box = options->Toggle(i);
      ClickAt(box->left + 37.0f, box->top + 21.0f);  // on the box itself
      EXPECT_EQ(o.GetFloat(name), c.after);
      EXPECT_EQ(Saved(name), c.after) << "config.txt holds the new value";
      EXPECT_EQ(box->checked, c.after != 0.0f);
    }
  }
}

TEST_F(OptionsScreenTest, EverySliderChangesItsOptionAndVolumesAreHeardAtOnce) {
  SIM_Options& o = SIM_Options::Get();
  GUI_Sounds& sounds = GetSounds();
  using VolumeOf = float (GUI_Sounds::*)() const;
  struct Case {
    int slider;
    const char* key;
    VolumeOf volume;  // null: not a volume
  } cases[] = {
      {0, "OPTIONS_SFX", &GUI_Sounds::EffectsVolume},
      {1, "OPTIONS_MUSIC", &GUI_Sounds::MusicVolume},
      {2, "OPTIONS_MASTERVOLUME", &GUI_Sounds::MasterVolume},
      {3, "OPTIONS_INTERFACE_VOLUME", &GUI_Sounds::InterfaceVolume},
      {4, "OPTIONS_GRAPHICS_DETAIL", nullptr},
      {5, "OPTIONS_MAP_SCROLL_SPEED", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    o.SetFloat(c.key, 0.5f);
    options->Enter();
    GUI_OptionsSlider* slider = options->Slider(c.slider);
    ASSERT_EQ(slider->Key(), c.key);
    GetCInput().x = (slider->left + slider->right) / 2.0f;
    GetCInput().y = (slider->top + slider->bottom) / 2.0f;
    options->OnWheelDown();
    EXPECT_FLOAT_EQ(o.GetFloat(c.key), 0.525f);
    if (c.volume) {
      EXPECT_FLOAT_EQ((sounds.*c.volume)(), 0.525f) << "the new volume is heard at once";
    }

    // Drag the knob to the right end of the track.
    ClickAt(slider->KnobX(), slider->top + GUI_OptionsSlider::kTrackFromTop);
    ASSERT_TRUE(slider->IsDragging());
    GetCInput().leftHeld = true;
    GetCInput().x = slider->TrackRight() + 50.0f;
    slider->UpdateDragging();
    EXPECT_FLOAT_EQ(o.GetFloat(c.key), 1.0f);
    if (c.volume) {
      EXPECT_FLOAT_EQ((sounds.*c.volume)(), 1.0f);
    }
    GetCInput().leftHeld = false;
    slider->UpdateDragging();
    EXPECT_FALSE(slider->IsDragging());
  }
  // Sliders are saved when the screen is left.
  options->OnKeyDown(kKeyEscape);
  EXPECT_EQ(GetGame().CurrentModeNumber, MODE_MAIN_MENU);
  for (const Case& c : cases) EXPECT_EQ(Saved(c.key), 1.0f) << c.key;
}

TEST_F(OptionsScreenTest, WheelStepsAreAFractionOfTheValueWithAFloor) {
  struct Case {
    float value, step;
  } cases[] = {{0.5f, 0.025f}, {0.01f, 0.0005f}, {0.0f, 0.0005f}, {1.0f, 0.05f}};
  for (const Case& c : cases) {
    GUI_OptionsSlider slider("OPTIONS_MUSIC", c.value, nullptr);
    EXPECT_FLOAT_EQ(slider.WheelStep(), c.step) << c.value;
  }
  GUI_OptionsSlider slider("OPTIONS_MUSIC", 0.0f, nullptr);
  slider.Step(true);
  EXPECT_EQ(slider.value, 0.0f) << "clamped at the minimum";
  EXPECT_EQ(GUI_OptionsSlider::FormatValue(0.5f), "0.5000");
  EXPECT_EQ(GUI_OptionsSlider::FormatValue(1.0f), "1.00");
}

TEST_F(OptionsScreenTest, TheCloseButtonLeavesAndSaves) {
  SIM_Options::Get().SetFloat("OPTIONS_MUSIC", 0.25f);
  GUI_IconButton* close = options->CloseButton();
  ClickAt((close->left + close->right) / 2.0f, (close->top + close->bottom) / 2.0f);
  EXPECT_EQ(GetGame().CurrentModeNumber, MODE_MAIN_MENU);
  EXPECT_EQ(Saved("OPTIONS_MUSIC"), 0.25f);
}

TEST_F(OptionsScreenTest, OfferedDisplayModesAreSortedUniqueAndLargeEnough) {
  const std::vector<std::pair<int, int>> adapter = {{1920, 1080}, {1024, 600}, {800, 600}, {1280, 1024},
                                                    {1920, 1080}, {1024, 768}, {1280, 720}};
  const std::vector<std::pair<int, int>> expected = {{1024, 768}, {1280, 1024}, {1920, 1080}};
  EXPECT_EQ(GUI_Options::OfferedModes(adapter), expected);
}

TEST_F(OptionsScreenTest, ChoosingADisplayModeWritesPrefsAtOnceAndOffersTheRestart) {
  const std::string prefs = zt_test::UserRoot() + "/prefs.ini";
  EXPECT_FALSE(options->ApplyButton()->visible);
  ASSERT_FALSE(options->Picker().ChildWindows().empty());
  auto* strip = static_cast<GUI_ResolutionStrip*>(options->Picker().ChildWindows().back());
  ASSERT_EQ(strip->modeWidth, 1920);  // the null adapter's largest mode
  ClickAt(strip->left + 20.0f, strip->top + 5.0f);
  const bool windowed = options->ChosenWindowed();
  EXPECT_EQ(ReadText(prefs),
            std::string("[prefs]\nwidth = 1920\nheight = 1080\nwindowed = ") + (windowed ? "1" : "0") + "\n");
  EXPECT_EQ(GetRenderDevice().ScreenWidth(), 1024) << "nothing changes until the restart";
  EXPECT_TRUE(options->ApplyButton()->visible);
  EXPECT_TRUE(options->ApplyButton()->enabled);

  // Full screen flips the windowed flag in prefs.ini.
  GUI_CheckButton* box = options->FullScreenBox();
  const bool wasFull = box->checked;
  ClickAt(box->left + 37.0f, box->top + 21.0f);
  EXPECT_EQ(options->ChosenWindowed(), wasFull);
  EXPECT_NE(ReadText(prefs).find(std::string("windowed = ") + (wasFull ? "1" : "0")), std::string::npos);
}

bool g_restartSawShutdown = false;
int g_restarts = 0;

TEST_F(OptionsScreenTest, ApplyRestartsOnlyAfterEverythingWasSaved) {
  g_restarts = 0;
  GUI_Options::SetRestartFunction([] {
    ++g_restarts;
    g_restartSawShutdown = GetGame().IsShutDown();
    return true;
  });
  SIM_Options::Get().SetFloat("OPTIONS_MUSIC", 0.75f);
  options->ChooseDisplay(1280, 1024);
  GUI_ButtonText* apply = options->ApplyButton();
  ClickAt((apply->left + apply->right) / 2.0f, (apply->top + apply->bottom) / 2.0f);
  GUI_Options::SetRestartFunction(nullptr);
  EXPECT_EQ(g_restarts, 1);
  EXPECT_TRUE(g_restartSawShutdown);
  EXPECT_EQ(Saved("OPTIONS_MUSIC"), 0.75f) << "the slider was saved by the shutdown";
  EXPECT_NE(ReadText(zt_test::UserRoot() + "/prefs.ini").find("width = 1280"), std::string::npos);
}

}  // namespace
