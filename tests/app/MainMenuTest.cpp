// The main menu on the null device: its button row, the way each button leads to its
// screen through the transition and back, Escape, the fade from black, the music and
// the version text.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "MenuFixture.h"
#include "app/GUI_GameModeBase.h"
#include "app/Game.h"
#include "app/GameModes.h"
#include "app/MainMenu.h"
#include "app/TitleBackdrop.h"
#include "app/Transition.h"
#include "engine/Folders.h"
#include "engine/GUI_BaseElement.h"
#include "engine/Shell.h"
#include "engine/Singletons.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "engine/Timer.h"
#include "gui/ConfirmDialog.h"
#include "gui/MessageBox.h"
#include "gui/Tooltip.h"
#include "gui/WindowOrder.h"
#include "online/Server.h"
#include "platform/NullDevice.h"
#include "platform/Window.h"
#include "simdata/GlobalStats.h"
#include "simdata/Options.h"
#include "support/EnvGuard.h"
#include "support/HostileFiles.h"
#include "support/TestFiles.h"

namespace menu_test {
namespace {

constexpr const char* kTheme = "data/sounds/music/ztk_main_theme.ogg";
constexpr const char* kMenus = "data/sounds/music/ztk_menus.ogg";
constexpr const char* kClick = "data/sounds/gui_button_click.ogg";
constexpr const char* kWhoosh = "data/sounds/menu_screen_whoos.ogg";

std::vector<int> g_entered;  // mode numbers of the stand-in screens, in Enter order

// A menu-style screen standing in for the real ones: draws the standard layers, and
// Escape returns to the main menu.
class StandInScreen : public GUI_GameModeBase {
 public:
  explicit StandInScreen(int n) : n_(n) {}
  void Draw() override { DrawStandardMode(nullptr); }
  void OnKeyDown(int key) override { StandardModeKeyDown(this, key); }
  void Enter() override { g_entered.push_back(n_); }

 private:
  int n_;
};
template <int N>
GUI_GameModeBase* BuildStandIn() {
  return new StandInScreen(N);
}

std::vector<std::string> g_opened;
bool g_openerStarts = false;  // false: as on a machine without a PDF viewer
bool RecordOpen(const std::string& target) {
  g_opened.push_back(target);
  return g_openerStarts;
}

class MainMenuTest : public MenuTest {
 protected:
  void SetUp() override {
    MenuTest::SetUp();
    g_entered.clear();
    g_opened.clear();
    g_openerStarts = false;
    LoadStandardFonts();
    SetGameModeFactory(MODE_BATTLE_BROWSER, BuildStandIn<MODE_BATTLE_BROWSER>);
    SetGameModeFactory(MODE_ONLINE, BuildStandIn<MODE_ONLINE>);
    SetGameModeFactory(MODE_UNIT_DESIGN, BuildStandIn<MODE_UNIT_DESIGN>);
    SetGameModeFactory(MODE_OPTIONS, BuildStandIn<MODE_OPTIONS>);
    SetShellOpenHook(RecordOpen);
    BeforeMenu();
    GetGame().SetGameMode(MODE_MAIN_MENU);
    menu = dynamic_cast<GUI_MainMenu*>(GetGame().CurrentMode);
    ASSERT_NE(menu, nullptr);
  }
  void TearDown() override {
    SetShellOpenHook(nullptr);
    MenuTest::TearDown();
  }
  // Runs just before the menu is built.
  virtual void BeforeMenu() {}

  // A left click at the middle of one of the menu's buttons, as the window delivers it.
  void ClickButton(int screenIndex) {
    GUI_ButtonText* b = menu->Button(screenIndex);
    GUI_InputManager& in = GetInputManager();
    in.x = (b->left + b->right) / 2.0f;
    in.y = (b->top + b->bottom) / 2.0f;
    GetCInput().OnLeftDown();
    GetCInput().OnLeftUp();
  }
  // The music track playing now ("" when none).
  std::string Music() const {
    const GUI_Sounds& s = GetSounds();
    if (s.CurrentMusicHandle() <= 0 || !s.IsPlaying(s.CurrentMusicHandle())) return "";
    return sounds->sounds.at(s.CurrentMusicHandle()).file;
  }
  // Alpha of the full-screen black cover drawn last, or -1 when there is none.
  int FadeAlpha() const {
    if (device->draws.empty()) return -1;
    const platform::DrawRecord& d = device->draws.back();
    if (d.textures[0] != nullptr || d.vertexCount != 4) return -1;
    if (d.X(0) > 0.0f || d.Y(0) > 0.0f || d.X(3) < 1023.0f || d.Y(3) < 767.0f) return -1;
    if ((d.Colour(0) & 0xFFFFFF) != 0) return -1;
    return static_cast<int>(d.Colour(0) >> 24);
  }

  GUI_MainMenu* menu = nullptr;
};

TEST_F(MainMenuTest, SixButtonsInOneRowWithLabelsTooltipsAndNames) {
  const char* keys[GUI_MainMenu::kButtonCount] = {"MAINMENU_BATTLEBROWSER", "MAINMENU_ONLINE",
                                                  "MAINMENU_UNITDESIGN",    "MAINMENU_OPTIONS",
                                                  "MAINMENU_MANUAL",        "MAINMENU_QUIT"};
  // Left edges 168 1/3 pixels apart from the centre - 505.
  const int lefts[GUI_MainMenu::kButtonCount] = {7, 175, 343, 512, 680, 848};
  ASSERT_EQ(menu->Buttons().size(), 6u);
  for (int i = 0; i < GUI_MainMenu::kButtonCount; ++i) {
    SCOPED_TRACE(keys[i]);
    GUI_ButtonText* b = menu->Button(i);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->label, GetTranslation(keys[i]));
    EXPECT_NE(b->label, keys[i]) << "no text for the label in the strings table";
    ASSERT_NE(b->Tooltip(), nullptr);
    ASSERT_FALSE(b->Tooltip()->Lines().empty());
    EXPECT_EQ(b->Tooltip()->Lines()[0], GetTranslation(TooltipKey(keys[i])));
    EXPECT_NE(b->Tooltip()->Lines()[0], TooltipKey(keys[i])) << "no tooltip text";
    EXPECT_EQ(b->Tooltip()->delay, GUI_MainMenu::kTooltipDelay);
    EXPECT_EQ(b->top, 768 - 64);
    EXPECT_EQ(b->height, 32);
    EXPECT_EQ(b->left, lefts[i]);
  }
  // On a 1024-pixel screen the row spans 7 to 1015.
  EXPECT_EQ(menu->Button(0)->left, 7);
  EXPECT_EQ(menu->Button(GUI_MainMenu::kQuit)->right, 1015);
  EXPECT_EQ(FindElement("ONLINEBUTTON"), menu->Button(GUI_MainMenu::kOnline));
  EXPECT_EQ(FindElement("UNITDESIGNBUTTON"), menu->Button(GUI_MainMenu::kUnitDesign));

  // Entering again on another screen size lays the row out for it.
  GetRenderDevice().SetScreenSize(1600, 1200);
  menu->Enter();
  EXPECT_EQ(menu->Button(0)->left, 800 - 505);
  EXPECT_EQ(menu->Button(0)->top, 1200 - 64);
  EXPECT_EQ(menu->Button(GUI_MainMenu::kQuit)->right, 1303);  // 295 + 5 x 168 1/3 + 166 1/3
}

TEST_F(MainMenuTest, ModeButtonsWipeIntoTheirScreenAndEscapeComesBack) {
  struct Case {
    int button;
    int mode;
  } cases[] = {
      {GUI_MainMenu::kBattleBrowser, MODE_BATTLE_BROWSER},
      {GUI_MainMenu::kOnline, MODE_ONLINE},
      {GUI_MainMenu::kUnitDesign, MODE_UNIT_DESIGN},
      {GUI_MainMenu::kOptions, MODE_OPTIONS},
  };
  Game& game = GetGame();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    ASSERT_EQ(game.CurrentModeNumber, MODE_MAIN_MENU);
    EXPECT_EQ(Music(), kTheme);
    const int clicks = Played(kClick), whooshes = Played(kWhoosh);
    g_entered.clear();
    device->ClearRecord();

    ClickButton(c.button);
    EXPECT_EQ(game.CurrentModeNumber, c.mode);
    EXPECT_EQ(g_entered, std::vector<int>{c.mode});
    EXPECT_EQ(Played(kClick), clicks + 1);
    EXPECT_EQ(Played(kWhoosh), whooshes + 1);
    EXPECT_EQ(device->CountCalls("StretchRect"), 1) << "the old screen was not copied";
    EXPECT_EQ(Music(), kMenus);

    // The new screen draws the wipe until it has run its time.
    GUI_Transition& t = GetTransition();
    ASSERT_TRUE(t.IsRunning());
    game.CurrentMode->Draw();
    AdvanceMs(400);
    device->ClearRecord();
    game.CurrentMode->Draw();
    EXPECT_GT(DrawsWith("rt_transition"), 0);
    AdvanceMs(500);
    game.CurrentMode->Draw();
    EXPECT_FALSE(t.IsRunning());

    game.CurrentMode->OnKeyDown(kKeyEscape);
    EXPECT_EQ(game.CurrentModeNumber, MODE_MAIN_MENU);
    EXPECT_EQ(Music(), kTheme) << "the theme did not return with the menu";
  }
}

TEST_F(MainMenuTest, EscapeQuitsUnlessAWindowIsOpen) {
  struct Case {
    const char* what;
    void (*open)();
    bool quits;
    bool popupAfter;
  } cases[] = {
      {"message box", [] { ShowMessage("MESSAGE_OK", "text", GUI_Message::kStyleOK, nullptr); }, false, true},
      {"confirm dialog", [] { ShowConfirmDialog("CONFIRM_YES", "CONFIRM_NO", nullptr); }, false, false},
      {"nothing open", [] {}, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.open();
    menu->OnKeyDown(kKeyEscape);
    GetWindowOrder().FlushDeleted();
    EXPECT_EQ(GetGame().IsShutDown(), c.quits);
    EXPECT_EQ(GetWindowOrder().IsAnyPopupOpen(), c.popupAfter);
    if (OpenMessageBox()) delete OpenMessageBox();
  }
}

TEST_F(MainMenuTest, QuitAndManualEndTheGame) {
  struct Case {
    int button;
    bool openerStarts;
    std::vector<std::string> opened;
    bool quits;
  } cases[] = {
      {GUI_MainMenu::kQuit, false, {}, true},
      // A reader shows the manual: the game makes way for it.
      {GUI_MainMenu::kManual, true, {"ZTK Manual.pdf"}, true},
      // Nothing could show it: the game stays and says where the file is.
      {GUI_MainMenu::kManual, false, {"ZTK Manual.pdf"}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.button << " " << c.openerStarts);
    TearDown();
    ResetAllSingletons();
    SetUp();
    g_openerStarts = c.openerStarts;
    ClickButton(c.button);
    EXPECT_EQ(GetGame().IsShutDown(), c.quits);
    ASSERT_EQ(g_opened.size(), c.opened.size());
    for (size_t i = 0; i < g_opened.size(); ++i)
      EXPECT_NE(g_opened[i].find(c.opened[i]), std::string::npos) << g_opened[i];
    if (c.quits) {
      EXPECT_EQ(OpenMessageBox(), nullptr);
      continue;
    }
    ASSERT_NE(OpenMessageBox(), nullptr);
    EXPECT_EQ(OpenMessageBox()->Title(), GetTranslation("MAINMENU_MANUAL"));
    EXPECT_NE(OpenMessageBox()->Text().find(ManualPath()), std::string::npos) << OpenMessageBox()->Text();
    EXPECT_EQ(ManualPath().front(), '/');
    EXPECT_EQ(GetGame().CurrentModeNumber, MODE_MAIN_MENU);
    delete OpenMessageBox();
  }
}

// The frame polls the cursor once; the player then moves to another button and clicks
// before the next frame. The click goes to the button under the click, as the window
// message reports it, not to the one under the polled cursor.
TEST_F(MainMenuTest, AClickGoesToTheButtonWhereItWasMadeNotWhereTheFramePolled) {
  struct Case {
    int polledOver;
    int clickedOn;
    bool quits;
    int mode;  // the mode current afterwards
  } cases[] = {
      {GUI_MainMenu::kOptions, GUI_MainMenu::kQuit, true, MODE_MAIN_MENU},
      {GUI_MainMenu::kQuit, GUI_MainMenu::kOnline, false, MODE_ONLINE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.clickedOn);
    TearDown();
    ResetAllSingletons();
    SetUp();
    platform::ClearPostedMessages();
    const GUI_ButtonText* polled = menu->Button(c.polledOver);
    const GUI_ButtonText* clicked = menu->Button(c.clickedOn);
    const float px = (polled->left + polled->right) / 2.0f, py = (polled->top + polled->bottom) / 2.0f;
    GUI_InputManager::SetCursorReader([px, py](float& x, float& y) {
      x = px;
      y = py;
    });
    GetCInput().Poll();  // the start of the frame
    ASSERT_TRUE(polled->HitTest(GetInputManager().x, GetInputManager().y));

    const int cx = (clicked->left + clicked->right) / 2, cy = (clicked->top + clicked->bottom) / 2;
    for (uint32_t m : {platform::WM_MOUSEMOVE, platform::WM_LBUTTONDOWN, platform::WM_LBUTTONUP}) {
      platform::Message msg;
      msg.message = m;
      msg.x = cx;
      msg.y = cy;
      msg.lParam = (cx & 0xFFFF) | ((cy & 0xFFFF) << 16);
      platform::PostMessage(msg);
    }
    platform::Message msg;
    int pumped = 0;
    while (platform::PollMessage(msg) && pumped++ < 10) MainWindowProc(msg);

    EXPECT_EQ(GetGame().IsShutDown(), c.quits);
    EXPECT_EQ(GetGame().CurrentModeNumber, c.mode);
    EXPECT_EQ(Played(kClick), 1);
  }
}

TEST_F(MainMenuTest, FadesInFromBlackOncePerRun) {
  struct Step {
    double advanceMs;
    int alpha;  // of the black cover; -1 for none
  } steps[] = {{0, 255}, {250, 191}, {250, 127}, {499, 0}, {1, -1}, {1000, -1}};
  for (const Step& s : steps) {
    SCOPED_TRACE(s.advanceMs);
    AdvanceMs(s.advanceMs);
    device->ClearRecord();
    menu->Draw();
    if (s.alpha == 0) {
      EXPECT_LE(FadeAlpha(), 1);  // at the very end the cover is (almost) clear
    } else {
      EXPECT_EQ(FadeAlpha(), s.alpha);
    }
  }
  EXPECT_FALSE(menu->IsFading());
  // Leaving and coming back does not fade again.
  GetGame().SetGameMode(MODE_OPTIONS);
  GetGame().SetGameMode(MODE_MAIN_MENU);
  device->ClearRecord();
  menu->Draw();
  EXPECT_EQ(FadeAlpha(), -1);
}

TEST_F(MainMenuTest, TheThemePlaysOnEntryAndIsNotRestartedWhilePlaying) {
  GUI_Sounds& s = GetSounds();
  const int first = s.CurrentMusicHandle();
  ASSERT_EQ(Music(), kTheme);
  EXPECT_TRUE(sounds->sounds.at(first).looped);
  GetGame().SetGameMode(MODE_OPTIONS);
  GetGame().SetGameMode(MODE_MAIN_MENU);
  EXPECT_EQ(s.CurrentMusicHandle(), first) << "the theme restarted while still playing";
  // Once it has stopped, the next entry starts it again.
  sounds->Stop(first);
  GetGame().SetGameMode(MODE_OPTIONS);
  GetGame().SetGameMode(MODE_MAIN_MENU);
  EXPECT_NE(s.CurrentMusicHandle(), first);
  EXPECT_EQ(Music(), kTheme);
}

TEST_F(MainMenuTest, DrawsBackdropWithLogoVersionButtonsWipeAndFadeInThatOrder) {
  // A wipe running over the menu itself, and the fade still on.
  GetTransition().Start();
  menu->Draw();
  AdvanceMs(100);
  TextCapture capture;
  GetTextRenderer().SetCapture(&capture);
  device->ClearRecord();
  menu->Draw();
  GetTextRenderer().SetCapture(nullptr);

  const LibTextChunk* version = nullptr;
  for (const LibTextChunk* chunk : capture.chunks)
    if (chunk->text == "Release 1.008") version = chunk;
  ASSERT_NE(version, nullptr) << "no version text";
  EXPECT_EQ(version->font, "18.dds");
  EXPECT_FLOAT_EQ(version->size, 16.0f);
  EXPECT_EQ(version->alignment, 1);  // right-aligned
  EXPECT_FLOAT_EQ(version->x, 1024.0f - 10.0f);
  EXPECT_FLOAT_EQ(version->y, 3.0f);
  EXPECT_EQ(version->colour, 0xFFFFFFFFu);

  auto firstDrawWith = [&](const std::string& name) {
    platform::Texture* t = FindTexture(name);
    for (size_t i = 0; i < device->draws.size(); ++i)
      if (t && device->draws[i].textures[0] == t) return static_cast<int>(i);
    return -1;
  };
  const int picture = firstDrawWith("titlescreen.jpg");
  const int logo = firstDrawWith("titlescreen_logo.dds");
  const int button = firstDrawWith("textbutton.dds");
  const int wipe = firstDrawWith("rt_transition");
  ASSERT_GE(picture, 0);
  EXPECT_LT(picture, logo);
  EXPECT_LT(logo, button);
  EXPECT_LT(button, wipe);
  EXPECT_GT(FadeAlpha(), 0) << "the fade is not the last thing drawn";
}

// Nobody touching the game: only the slow clouds move, so the menu draws five frames a
// second, and its opaque picture needs no clear under it.
TEST_F(MainMenuTest, LeftIdleItDrawsFiveFramesASecondWithoutAClearUnderItsPicture) {
  Game& game = GetGame();
  game.NoteActivity();
  int drawn = 0;
  for (int i = 0; i < 20; ++i, AdvanceMs(5)) drawn += game.SkipIdleFrame(ClockMilliseconds()) ? 0 : 1;
  EXPECT_EQ(drawn, 20) << "just touched: every frame";
  AdvanceMs(Game::kIdleAfterMs);
  drawn = 0;
  for (int i = 0; i < 200; ++i, AdvanceMs(5)) drawn += game.SkipIdleFrame(ClockMilliseconds()) ? 0 : 1;
  EXPECT_EQ(drawn, 1000 / GUI_MainMenu::kIdleFrameMs) << "idle: five frames a second";
  EXPECT_EQ(GUI_MainMenu::kIdleFrameMs, 200);
  MainWindowProc(platform::Message{platform::WM_MOUSEMOVE, 0, 10, 10});
  EXPECT_FALSE(game.SkipIdleFrame(ClockMilliseconds()));
  EXPECT_FALSE(game.SkipIdleFrame(ClockMilliseconds() + 1)) << "a moved mouse: full rate again";

  AdvanceMs(2000);   // past the opening fade
  game.DrawFrame();  // the first frame makes the backdrop
  game.DrawFrame();
  const platform::FrameCounters& frame = device->LastFrameCounters();
  EXPECT_EQ(frame.clears, 0u) << "the picture covers the screen";
  EXPECT_LE(frame.PixelsTouched(), 6u * 1024u * 768u) << "picture, clouds, logo and buttons";
  EXPECT_GE(frame.PixelsTouched(), 1024u * 768u);

  // Another screen is drawn every frame.
  ClickButton(GUI_MainMenu::kOptions);
  AdvanceMs(Game::kIdleAfterMs + 1000);
  EXPECT_FALSE(game.SkipIdleFrame(ClockMilliseconds()));
  EXPECT_FALSE(game.SkipIdleFrame(ClockMilliseconds()));
}

// On the screen the menu's figures are taken at.
class MainMenuAt1280Test : public MainMenuTest {
 protected:
  int ScreenW() const override { return 1280; }
  int ScreenH() const override { return 1024; }
};

// Every idle frame costs the software rasteriser its pixels: the picture once, then the
// clouds and the logo only where their art shows. Drawn whole, the clouds' clear corners
// and the sky around the logo would add a screen's worth or more.
TEST_F(MainMenuAt1280Test, AnIdleFrameTouchesUnderTwoAndAHalfScreensWorth) {
  Game& game = GetGame();
  AdvanceMs(2000);   // past the opening fade
  game.DrawFrame();  // the first frame makes the backdrop
  const uint64_t screen = 1280u * 1024u;
  for (int frame = 0; frame < 10; ++frame) {
    SCOPED_TRACE(frame);
    AdvanceMs(GUI_MainMenu::kIdleFrameMs);
    game.DrawFrame();
    const platform::FrameCounters& counters = device->LastFrameCounters();
    EXPECT_LT(counters.PixelsTouched(), 5 * screen / 2);
    EXPECT_GE(counters.PixelsTouched(), screen) << "the picture covers the screen";
    const GUI_TitleBackdrop::LayerPixels& layers = GetTitleBackdrop().LastDrawPixels();
    EXPECT_GT(layers.clouds, screen / 4) << "the clouds are drawn";
    EXPECT_GT(layers.logo, 0u) << "the logo is drawn";
  }
}

// The loop's rest between idle frames: the fake clock moves by what was asked for, unless
// the player's input is due sooner, which then arrives (as the window would post it).
std::vector<unsigned> g_waits;
std::int64_t g_inputAtNs = -1;
bool FakeMessageWait(unsigned timeoutMs) {
  g_waits.push_back(timeoutMs);
  const std::int64_t until = FakeNowNs() + std::int64_t(timeoutMs) * 1'000'000;
  if (g_inputAtNs >= 0 && g_inputAtNs <= until) {
    FakeNowNs() = g_inputAtNs;
    g_inputAtNs = -1;
    platform::PostMessage(platform::Message{platform::WM_MOUSEMOVE, 0, 20, 20});
    return true;
  }
  FakeNowNs() = until;
  return false;
}

// Left alone, the real frame draws the menu at its idle rate and, between those frames,
// rests waiting for input instead of spinning; input wakes it and is drawn at once.
TEST_F(MainMenuTest, LeftIdleTheFrameRestsBetweenDrawsAndInputIsDrawnAtOnce) {
  Game& game = GetGame();
  Game::IsActive = true;
  g_waits.clear();
  g_inputAtNs = -1;
  platform::SetMessageWaitHook(FakeMessageWait);
  // One turn of the message loop: a waiting message goes to the window procedure, else
  // the frame runs.
  auto loopTurn = [&] {
    platform::Message message;
    if (platform::PollMessage(message))
      MainWindowProc(message);
    else
      game.Frame();
  };
  game.NoteActivity();
  AdvanceMs(Game::kIdleAfterMs + 1);
  game.Frame();  // the last frame drawn before the rest
  const int presents = device->presents;
  const std::int64_t start = FakeNowNs();
  int turns = 0;
  while (FakeNowNs() - start < 10'000'000'000 && turns < 5000) {
    loopTurn();
    ++turns;
  }
  loopTurn();  // the frame due at the ten seconds
  ++turns;
  const int drawn = device->presents - presents;
  EXPECT_EQ(drawn, 10 * 1000 / GUI_MainMenu::kIdleFrameMs) << "the idle rate over ten seconds";
  EXPECT_LE(turns, 2 * drawn + 2) << "one rest between two frames, no spinning";
  unsigned rested = 0;
  for (unsigned w : g_waits) rested += w;
  EXPECT_EQ(rested, 10'000u) << "the whole time between frames is spent waiting for input";

  // The player moves the mouse 30 ms into a rest: the frame after it is drawn at once.
  g_inputAtNs = FakeNowNs() + 30'000'000;
  const int before = device->presents;
  const std::int64_t restStart = FakeNowNs();
  for (int i = 0; i < 3 && device->presents == before; ++i) loopTurn();
  EXPECT_EQ(device->presents, before + 1);
  EXPECT_EQ(FakeNowNs() - restStart, 30'000'000) << "drawn when the input came, not at the next idle frame";
  // And full rate while the player is about: every frame draws.
  for (int i = 0; i < 10; ++i) {
    game.Frame();
    AdvanceMs(16);
  }
  EXPECT_EQ(device->presents, before + 11);

  platform::SetMessageWaitHook(nullptr);
  Game::IsActive = false;
}

// A message already waiting ends the rest at once.
TEST(MessageWaitTest, AWaitingMessageEndsTheRestAtOnce) {
  platform::ClearPostedMessages();
  platform::PostMessage(platform::Message{platform::WM_KEYDOWN, 65});
  auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(platform::WaitForMessage(1000));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
  platform::Message m;
  ASSERT_TRUE(platform::PollMessage(m));
  EXPECT_EQ(m.message, platform::WM_KEYDOWN);
}

std::vector<std::string> g_reminders;
bool RecordReminder(const std::string& page) {
  g_reminders.push_back(page);
  return true;
}

class MainMenuReminderTest : public MainMenuTest {
 protected:
  void BeforeMenu() override {
    SIM_GlobalStats::SetReminderPresenter(RecordReminder);
    SIM_GlobalStats& stats = SIM_GlobalStats::Get();
    stats.SetStat("reminder_ENTERUSERNAME", userNameCounter);
    stats.SetStat("reminder_CREATEUNIT", createUnitCounter);
  }
  void TearDown() override {
    SIM_GlobalStats::SetReminderPresenter(nullptr);
    MainMenuTest::TearDown();
  }
  int userNameCounter = 0;
  int createUnitCounter = 0;
};

TEST_F(MainMenuReminderTest, EntryShowsTheUserNameReminderFirstAndAtMostOne) {
  // The counters as stored before this run; the menu's first entry adds one to each.
  struct Case {
    int userName, createUnit;
    std::vector<std::string> shown;
  } cases[] = {
      {2, 3, {"reminder_ENTERUSERNAME"}},  // both due: only the first
      {0, 3, {"reminder_CREATEUNIT"}},
      {0, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.userName * 10 + c.createUnit);
    TearDown();
    ResetAllSingletons();
    g_reminders.clear();
    userNameCounter = c.userName;
    createUnitCounter = c.createUnit;
    SetUp();
    EXPECT_EQ(g_reminders, c.shown);
    // Coming back to the menu in the same run does not count the run again.
    const int counted = SIM_GlobalStats::Get().GetStat("reminder_ENTERUSERNAME");
    GetGame().SetGameMode(MODE_OPTIONS);
    GetGame().SetGameMode(MODE_MAIN_MENU);
    EXPECT_EQ(SIM_GlobalStats::Get().GetStat("reminder_ENTERUSERNAME"), counted);
  }
}

// ---- audio on OpenAL's wave-file output -------------------------------------------

// The loudest sample of a 16-bit RIFF wave file (0..1), or -1 when it is not one.
double WavePeak(const std::string& path, size_t* frames) {
  const std::string d = zt_test::ReadText(path);
  if (d.size() < 12 || d.compare(0, 4, "RIFF") != 0 || d.compare(8, 4, "WAVE") != 0) return -1.0;
  int channels = 0, bits = 0;
  for (size_t p = 12; p + 8 <= d.size();) {
    uint32_t len;
    std::memcpy(&len, d.data() + p + 4, 4);
    const size_t body = p + 8;
    if (d.compare(p, 4, "fmt ") == 0 && body + 16 <= d.size()) {
      uint16_t v;
      std::memcpy(&v, d.data() + body + 2, 2);
      channels = v;
      std::memcpy(&v, d.data() + body + 14, 2);
      bits = v;
    } else if (d.compare(p, 4, "data") == 0) {
      if (bits != 16 || channels <= 0) return -1.0;
      // The writer may stop before it fixes the size up: read what is there.
      if (len == 0 || body + len > d.size()) len = static_cast<uint32_t>(d.size() - body);
      double peak = 0.0;
      for (size_t i = body; i + 2 <= body + len; i += 2) {
        int16_t sample;
        std::memcpy(&sample, d.data() + i, 2);
        peak = std::max(peak, std::fabs(sample / 32768.0));
      }
      *frames = len / (2u * static_cast<size_t>(channels));
      return peak;
    }
    p = body + len + (len & 1);
  }
  return -1.0;
}

class MainMenuAudioTest : public MainMenuTest {
 protected:
  // Runs the menu on OpenAL's wave-file output in a fresh process (the theme muted, so
  // what is heard comes from the click) and returns the loudest sample written.
  double RecordMenu(const std::string& leaf, bool click, size_t* frames) {
    zt_test::EnvGuard drivers("ALSOFT_DRIVERS");
    zt_test::EnvGuard conf("ALSOFT_CONF");
    zt_test::EnvGuard out("ZENTRAK_TEST_WAVE_FILE");
    // The child process has its own user folder: it takes the file name from the parent.
    const char* given = std::getenv("ZENTRAK_TEST_WAVE_FILE");
    const std::string wav = given ? given : zt_test::UserDir() + "/" + leaf;
    const std::string cfg = wav + ".conf";
    if (!given) {
      std::ofstream(cfg) << "[general]\nsample-type = int16\nchannels = stereo\n[wave]\nfile = " << wav
                         << "\n";
      setenv("ZENTRAK_TEST_WAVE_FILE", wav.c_str(), 1);
    }
    setenv("ALSOFT_DRIVERS", "wave", 1);
    setenv("ALSOFT_CONF", cfg.c_str(), 1);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
          SIM_Options::Get().SetFloat("OPTIONS_MUSIC", 0.0f);
          ReplaceSounds(std::make_unique<GUI_Sounds>());
          if (!GetSounds().Engine()->HasDevice()) _exit(3);
          GetSounds().ReloadVolumes();
          GetGame().SetGameMode(MODE_OPTIONS);
          ReturnToMainMenu();  // the menu's entry starts the (muted) theme
          std::this_thread::sleep_for(std::chrono::milliseconds(100));
          if (click) {
            ClickButton(GUI_MainMenu::kOptions);
            if (GetGame().CurrentModeNumber != MODE_OPTIONS) _exit(4);
          }
          std::this_thread::sleep_for(std::chrono::milliseconds(500));
          ReplaceSounds(nullptr);
          std::fflush(nullptr);
          _exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    return WavePeak(wav, frames);
  }
};

TEST_F(MainMenuAudioTest, ClickingAMenuButtonIsHeardOnTheAudioOutput) {
  size_t frames = 0;
  const double peak = RecordMenu("menu_click.wav", true, &frames);
  EXPECT_GT(frames, 1000u);
  EXPECT_GT(peak, 0.02) << "the click was not heard";
  EXPECT_LT(peak, 0.99) << "the click clipped";
}

TEST_F(MainMenuAudioTest, TheMenuWithItsMusicMutedIsSilent) {
  // Guards the check above: without a click nothing else reaches the output.
  size_t frames = 0;
  const double peak = RecordMenu("menu_idle.wav", false, &frames);
  EXPECT_GT(frames, 1000u);
  EXPECT_GE(peak, 0.0) << "no wave file";
  EXPECT_LT(peak, 0.001);
}

// ---- a planted user-name file -------------------------------------------------------

// The signed-up name's file is read as the menu is built (its start-up check of the
// server). Something planted there that is no plain file must not hold the menu up: each
// case runs in a child process that a timer ends should the menu block or fill memory,
// so a regression fails here instead of hanging the run.
class MainMenuHostileUserNameTest : public MainMenuTest {
 protected:
  static constexpr const char* kKindVariable = "ZENTRAK_TEST_HOSTILE_USER_NAME";
  void BeforeMenu() override {
    const char* kind = std::getenv(kKindVariable);
    if (!kind) return;
    ::alarm(8);
    setenv("ZENTRAK_SERVER", "http://127.0.0.1:1", 1);
    UserFolders()[USERFOLDER_WEB] = zt_test::UserRoot() + "/web";
    const std::string path = UserNameFilePath();
    if (path.rfind(zt_test::UserDir(), 0) != 0) _exit(5);  // never plant outside the test's folder
    TryEnsureDirectoryExists(UserFolders()[USERFOLDER_WEB]);
    const std::string k = kind;
    if (k == "fifo") zt_test::PlantFifo(path);
    if (k == "zero") zt_test::PlantDevZeroLink(path);
    if (k == "huge") zt_test::PlantHugeFile(path);
    if (k == "plain") zt_test::WriteText(path, "Sergeant\n");
    buildStart = zt_test::ThreadCpuSeconds();
  }
  double buildStart = 0.0;
};

TEST_F(MainMenuHostileUserNameTest, TheMenuIsUpWithinASecondAndTakesNoNameFromIt) {
  struct Case {
    const char* kind;
    const char* name;  // the user name the menu's start leaves
  } cases[] = {{"fifo", ""}, {"zero", ""}, {"huge", ""}, {"plain", "Sergeant"}};
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    zt_test::EnvGuard kind(kKindVariable);
    setenv(kKindVariable, c.kind, 1);
    EXPECT_EXIT(
        {
          // Here the menu was built in set-up, after the file was planted: the time this
          // thread worked on it (a machine under load stretches the wall clock, not this),
          // while the timer catches a menu that waits on the file.
          const double seconds = zt_test::ThreadCpuSeconds() - buildStart;
          if (GetGame().CurrentMode != menu) _exit(2);
          if (seconds > 1.0) _exit(3);
          if (GetInternet().UserName() != c.name) _exit(4);
          ::alarm(0);
          std::fflush(nullptr);
          _exit(0);
        },
        ::testing::ExitedWithCode(0), "");
  }
}

// A battle draws none of the menus' backdrop: its textures go when the battle screen
// opens, and the menu afterwards draws the same picture and logo, loaded again.
TEST_F(MainMenuTest, ABattleReleasesTheBackdropsTexturesAndTheMenuAfterItLooksTheSame) {
  SetGameModeFactory(MODE_BATTLE_SCREEN, BuildStandIn<MODE_BATTLE_SCREEN>);
  struct Shown {
    int width = 0, height = 0;
    std::vector<uint8_t> vertices;
  };
  auto shownWith = [&](const char* name) {
    Shown shown;
    const platform::Texture* t = FindTexture(name);
    if (!t) return shown;
    shown.width = t->Width();
    shown.height = t->Height();
    for (const auto& d : device->draws)
      if (d.textures[0] == t)
        shown.vertices.insert(shown.vertices.end(), d.vertices.begin(), d.vertices.end());
    return shown;
  };
  const char* kShown[] = {"titlescreen.jpg", "titlescreen_logo.dds"};
  device->ClearRecord();
  menu->Draw();
  std::vector<Shown> before;
  for (const char* name : kShown) {
    before.push_back(shownWith(name));
    ASSERT_FALSE(before.back().vertices.empty()) << name << " is not drawn";
  }
  ASSERT_TRUE(engine().HasTexture("clouds.dds (512 x 512)"));

  GetGame().SetGameMode(MODE_BATTLE_SCREEN);
  EXPECT_FALSE(TitleBackdropExists());
  for (const char* name : {"titlescreen.jpg", "titlescreen_logo.dds", "clouds.dds (512 x 512)"})
    EXPECT_FALSE(engine().HasTexture(name)) << name << " is held through the battle";

  GetGame().SetGameMode(MODE_MAIN_MENU);
  device->ClearRecord();
  menu->Draw();
  for (size_t i = 0; i < before.size(); ++i) {
    const Shown after = shownWith(kShown[i]);
    EXPECT_EQ(after.width, before[i].width) << kShown[i];
    EXPECT_EQ(after.height, before[i].height) << kShown[i];
    EXPECT_EQ(after.vertices, before[i].vertices) << kShown[i] << " is drawn differently after the battle";
  }
  EXPECT_GT(DrawsWith("clouds.dds (512 x 512)"), 0) << "the clouds did not come back";
}

}  // namespace
}  // namespace menu_test
