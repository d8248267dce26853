// The whole road a player takes, under a (virtual) display, driven by mouse clicks and
// keys pushed into SDL's event queue and read by the game's own message loop: the main
// menu, the battle browser, the first campaign mission, Attack and its options, the
// loading screen, deployment, the battle at 4x speed to its end, the post-mortem, and
// Continue back to the browser, where the new high score shows. Every screen is compared
// with its reference picture (ZENTRAK_UPDATE_REFERENCE=1 rewrites them).
#include <SDL.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "app/CInput.h"
#include "app/Game.h"
#include "app/LoadingScreen.h"
#include "app/MainMenu.h"
#include "app/Transition.h"
#include "app/Tutorial.h"
#include "battle/Battle.h"
#include "battle/BattleArmy.h"
#include "battle/BattleHooks.h"
#include "battle/BattleOutcome.h"
#include "battle/BattleUnit.h"
#include "battle/Gameplay.h"
#include "battle/PathManager.h"
#include "battlehud/AchievementsDialog.h"
#include "battlehud/BattleHud.h"
#include "battlehud/DeploymentDropper.h"
#include "battlehud/PostBattleUnlock.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleScreen.h"
#include "browser/ChallengeList.h"
#include "browser/GUI_BattleBrowser.h"
#include "browser/OnlineBrowser.h"
#include "engine/D3DEngine.h"
#include "engine/Folders.h"
#include "engine/InputManager.h"
#include "engine/MathHelpers.h"
#include "engine/Random.h"
#include "engine/TextRenderer.h"
#include "engine/Textures.h"
#include "engine/Timer.h"
#include "engine/VertexBuffer.h"
#include "game/ConnectLayers.h"
#include "gui/Buttons.h"
#include "gui/MessageBox.h"
#include "gui/SharedTextures.h"
#include "gui/WindowOrder.h"
#include "online/ChallengeDialogs.h"
#include "online/Metrics.h"
#include "online/RegimentBadge.h"
#include "online/ThreadManager.h"
#include "platform/Window.h"
#include "simdata/HighScores.h"
#include "simdata/MapSquare.h"
#include "simdata/Scenario.h"
#include "simdata/UnitDesign.h"
#include "support/GLTestSupport.h"
#include "support/GameServerFixture.h"
#include "support/TestFiles.h"
#include "support/TestSupport.h"

namespace {

constexpr int kW = 1024, kH = 768;
constexpr const char* kMission = "border_crossing";

std::int64_t g_nowNs = 0;
std::int64_t Now() { return g_nowNs; }

class BattleRoadGLTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!gl_.Open("Zentrak battle road test", kW, kH)) return;
    g_nowNs = 10'000'000'000;
    SetClockSource(Now);
    Game& game = GetGame();
    GetRenderDevice().SetScreenSize(kW, kH);
    game.RenderTargetWidth = Game::RenderTargetSize(kW);
    game.RenderTargetHeight = Game::RenderTargetSize(kH);
    game.CreateRenderTargets();
    RegisterTextureFolder("data/bitmaps");
    const std::string root = zt_test::UserRoot();
    UserFolders()[USERFOLDER_SCENARIOS] = root + "/scenarios";
    UserFolders()[USERFOLDER_DEPLOYMENTS] = root + "/deployments";
    // In the test's own folder: every test run on this build shares the build folder.
    const std::string pictures = zt_test::UserDir() + "/designtextures";
    std::filesystem::create_directories(pictures);
    UserFolders()[USERFOLDER_DESIGNTEXTURES] = pictures;
    RegisterTextureFolder(pictures);
    InitGlobalVertexBuffer();
    LoadStandardFonts();
    GetSharedGUITextures().Load();
    InitRandomWithSeed(7);
    // What the game's start-up wires after its layers: the loading screen's hooks.
    WireLoadingScreenHooks();
    GetCInput().enabled = true;
    // The tutorial has its own tests; its pages would stand over every screen here.
    for (const char* page : {"BATTLE_BROWSER1", "BATTLE_BROWSER2", "BATTLE_ATTACK_OPTIONS", "BATTLE_ATTACK2"})
      GetTutorial().MarkSeen(page);
    GUI_InputManager::SetCursorReader([this](float& x, float& y) {
      x = mouseX_;
      y = mouseY_;
    });
    // The game's message loop reads SDL's queue only once its video layer is up.
    platform::InitVideo();
    Game::IsActive = true;
    Game::HasFocus = true;
  }
  void TearDown() override {
    GUI_InputManager::SetCursorReader(nullptr);
    SetClockSource(nullptr);
    if (gl_.IsOpen()) platform::ShutdownVideo();
    if (gl_.IsOpen()) {
      GetTextRenderer().Release();
      GetGlobalVertexBuffer().Release();
    }
    gl_.Close();
  }

  // Hands the queued SDL events to the game's window procedure, as the message loop does
  // (the display's own focus changes are not the player's and are left out).
  void Pump() {
    platform::Message m;
    while (platform::PollMessage(m)) {
      switch (m.message) {
        case platform::WM_LBUTTONDOWN:
          ++downsSeen_;
          downMode_ = GetGame().CurrentModeNumber;
          downX_ = m.x;
          downY_ = m.y;
          MainWindowProc(m);
          break;
        case platform::WM_LBUTTONUP:
        case platform::WM_KEYDOWN:
        case platform::WM_KEYUP:
        case platform::WM_CHAR:
          MainWindowProc(m);
          break;
        default:
          break;
      }
    }
  }
  // One frame of the game's loop, 20 ms of game time later.
  void Frame() {
    Pump();
    g_nowNs += 20'000'000;
    Game::IsActive = true;
    GetGame().Frame();
  }
  void Frames(int n) {
    for (int i = 0; i < n; ++i) Frame();
  }
  void MoveTo(float x, float y) {
    mouseX_ = x;
    mouseY_ = y;
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.x = static_cast<int>(x);
    e.motion.y = static_cast<int>(y);
    SDL_PushEvent(&e);
    Frame();
  }
  void Click(float x, float y) {
    MoveTo(x, y);
    for (Uint32 type : {SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP}) {
      SDL_Event e{};
      e.type = type;
      e.button.button = SDL_BUTTON_LEFT;
      e.button.clicks = 1;
      e.button.x = static_cast<int>(x);
      e.button.y = static_cast<int>(y);
      ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
    }
    Frame();
  }
  template <typename Element>
  void ClickCentre(const Element* e) {
    ASSERT_NE(e, nullptr);
    Click((e->left + e->right) / 2.0f, (e->top + e->bottom) / 2.0f);
  }
  void Key(SDL_Keycode key, SDL_Scancode scancode) {
    for (Uint32 type : {SDL_KEYDOWN, SDL_KEYUP}) {
      SDL_Event e{};
      e.type = type;
      e.key.keysym.sym = key;
      e.key.keysym.scancode = scancode;
      SDL_PushEvent(&e);
    }
    Frame();
  }
  // What can hold a click on a menu button, for a failure's message.
  std::string ClickState(const GUI_ButtonBase* b) const {
    std::ostringstream out;
    out << "presses " << downsSeen_ << " (the last in mode " << downMode_ << " at " << downX_ << "," << downY_
        << ") busy " << GetThreadManager().Busy() << " windows " << GetWindowOrder().OpenWindows().size()
        << " modals " << GetWindowOrder().ModalWindows().size() << " transition "
        << GetTransition().IsRunning();
    if (b)
      out << " button visible " << b->visible << " enabled " << b->enabled << " allowed "
          << GetTutorial().IsButtonAllowed(b) << " at " << b->left << "," << b->top << "-" << b->right << ","
          << b->bottom;
    return out.str();
  }
  // Runs frames until the screen transition has finished.
  void SettleTransition() {
    for (int i = 0; i < 200 && GetTransition().IsRunning(); ++i) Frame();
    Frame();
  }
  void Shot(const std::string& name) {
    D3DEngine& e = GetRenderDevice();
    // A frame's own Process queues the hover tooltips that Draw shows.
    GetInputManager().Poll();
    GetGame().CurrentMode->Process();
    e.BeginScene();
    GetGame().CurrentMode->Draw();
    e.EndScene();
    std::vector<uint32_t> pixels;
    ASSERT_EQ(e.Device()->ReadPixels(nullptr, platform::Rect{0, 0, kW, kH}, &pixels), platform::D3D_OK);
    zt_test::ExpectMatchesReference(pixels, kW, kH,
                                    zt_test::TestSourceDir() + "/browser/reference/" + name + ".png",
                                    zt_test::BuildDir() + "/browser_" + name + "_actual.png");
    e.Flip();
  }

  zt_test::GLWindow gl_;
  float mouseX_ = 900.0f;
  float mouseY_ = 700.0f;
  int downsSeen_ = 0, downMode_ = -1, downX_ = -1, downY_ = -1;
};

TEST_F(BattleRoadGLTest, MenuBrowserMissionAttackLoadDeployFightPostMortemAndBackWithTheScore) {
  ZT_REQUIRE_GL(gl_);
  // The metrics go to the local game server after the battle, as they would online.
  zt_test::LocalGameServer server;
  ASSERT_TRUE(server.Start());
  Game& game = GetGame();

  // ---- the main menu
  game.SetGameMode(MODE_MAIN_MENU);
  Frames(100);  // past the fade from black
  Shot("road_1_menu");
  GUI_ButtonBase* battles = nullptr;
  for (GUI_ButtonBase* b : dynamic_cast<GUIButtonList*>(game.CurrentMode)->Buttons())
    if (b->userData == MODE_BATTLE_BROWSER && b->callback == GUI_MainMenu::OnModeButton) battles = b;
  ClickCentre(battles);
  ASSERT_EQ(game.CurrentModeNumber, MODE_BATTLE_BROWSER) << ClickState(battles);
  SettleTransition();

  // ---- the browser: the first mission chosen on the campaign map
  GUI_BB_MapIcon* icon = FindMapIcon(kMission);
  ASSERT_NE(icon, nullptr);
  ASSERT_FALSE(icon->locked) << "the first mission must be open to a new player";
  MoveTo(icon->CentreX(), icon->CentreY());
  Frames(40);  // the mission's name fades in over the map
  Shot("road_2_browser");
  ClickCentre(icon);
  GUI_BB_Details* details = GetDetailsPanel();
  ASSERT_NE(details, nullptr);
  ASSERT_EQ(details->scenario->name, kMission);
  const int difficulty = GetGameplay().Difficulty;
  EXPECT_EQ(details->highScores[0]->scores[difficulty]->text, "0");

  // An undefended border, a short clock and a fixed seed, so the fight ends the same way
  // every run and in a time a test can wait for.
  SIM_Scenario* scenario = details->scenario;
  scenario->classic.startingSuppliesDefender = 0.0f;
  scenario->classic.suppliesPerSecondStart = scenario->classic.suppliesPerSecondEnd = 0.0f;
  scenario->classic.timeLimit = 12000.0f;
  // The computer defends with the least the map allows, and one column through wins.
  scenario->classic.attackerDifficultyAdjuster = 0.1f;
  scenario->classic.hpLeftLimit = 1.0f;
  GetBattle().useFixedSeed = true;
  GetBattle().fixedSeed = 7;

  ClickCentre(details->attackButton);
  GUI_BB_AttackOptions* options = GetAttackOptions();
  ASSERT_NE(options, nullptr);
  MoveTo(static_cast<float>(options->left) + 40.0f, static_cast<float>(options->bottom) - 20.0f);
  Shot("road_3_attack_options");
  ASSERT_TRUE(options->options[1]->button->enabled);
  ClickCentre(options->options[1]->button);
  EXPECT_EQ(GetBattle().aiUnitSource, AI_UNITS_ALL);
  ASSERT_EQ(game.CurrentModeNumber, MODE_LOADING_SCREEN);

  // ---- the loading screen runs the battle's set-up behind the transition
  GUI_LoadingScreen* loading = GetLoadingScreen();
  for (int i = 0; i < 300 && loading->GetState() != GUI_LoadingScreen::kDone; ++i) Frame();
  ASSERT_EQ(loading->GetState(), GUI_LoadingScreen::kDone);
  SettleTransition();
  Shot("road_4_loading");
  Click(512, 384);  // "press any key"
  ASSERT_EQ(game.CurrentModeNumber, MODE_BATTLE_SCREEN);
  ASSERT_EQ(GetBattle().scenario, scenario);
  SettleTransition();

  // ---- deployment: three designs dropped on the attacker's squares
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  map.zoom = map.targetZoom = map.minZoom;
  float cx = 0, cy = 0;
  int n = 0;
  for (const auto& sq : scenario->grid)
    if (sq && sq->attackerFlag) {
      cx += sq->centreX;
      cy += sq->centreY;
      ++n;
    }
  ASSERT_GT(n, 0);
  map.centreX = cx / n;
  map.centreY = cy / n;
  Frames(3);
  GUI_BS_Deployment* window = GetOpenDeploymentWindow();
  ASSERT_NE(window, nullptr);
  std::vector<std::pair<float, float>> spots;
  for (const auto& sq : scenario->grid) {
    if (!sq || !sq->attackerFlag || sq->kind == SIM_MapSquare::KIND_EMPLACEMENT) continue;
    const float x = (sq->centreX - map.viewLeft) * map.zoom, y = (sq->centreY - map.viewTop) * map.zoom;
    if (x > 40 && x < 984 && y > 60 && y < window->top - 20) spots.emplace_back(x, y);
  }
  ASSERT_GE(spots.size(), 3u);
  std::vector<int> enabled;
  for (size_t i = 0; i < window->icons.size() && enabled.size() < 3; ++i)
    if (window->icons[i].enabled) enabled.push_back(static_cast<int>(i));
  ASSERT_EQ(enabled.size(), 3u);
  GUI_BS_DeploymentDropper& dropper = GUI_BS_DeploymentDropper::Instance();
  for (int i = 0; i < 3; ++i) {
    Click(window->left + 16.0f + GUI_BS_Deployment::kIconSize * (enabled[i] + 0.5f),
          window->top + 6.0f + GUI_BS_Deployment::kIconSize * 0.5f);
    ASSERT_TRUE(dropper.HoldsUnits()) << "icon " << i;
    const auto [sx, sy] = spots[static_cast<size_t>(i) * spots.size() / 3];
    MoveTo(sx, sy);
    if (i == 2) Shot("road_5_deployment");
    Click(sx, sy);
    EXPECT_FALSE(dropper.HoldsUnits()) << "drop " << i;
  }
  SIM_BattleArmy* army = GetBattle().playerArmy;
  ASSERT_GE(army->livingUnits.size(), 3u);

  // What the metrics held before this battle (totals not yet posted stay in metr.ini).
  static const char* const kWords[3] = {"easy_", "medium_", "hard_"};
  ASSERT_GE(difficulty, 0);
  ASSERT_LE(difficulty, 2);
  const std::string won = std::string(kMission) + "_attacker_" + kWords[difficulty] + "victory";
  const float wonBefore = GetMetrics().Value(won);
  const float framesBefore = GetMetrics().Value("_fps_data_count");
  const float fpsBefore = GetMetrics().Value("_fps");

  // ---- Start Fighting, then 4x speed from the keypad
  GUI_ButtonBase* start = GetOpenTopStrip()->startButton;
  ClickCentre(start);
  ASSERT_EQ(GetBattle().state, BATTLE_RUNNING);
  for (int i = 0; i < 15; ++i) Key(SDLK_KP_PLUS, SDL_SCANCODE_KP_PLUS);
  EXPECT_FLOAT_EQ(GetBattle().speed, 4.0f);
  // Every unit heads for an exit of the map.
  for (SIM_BattleUnit* u : army->movers) {
    if (!u->pathManager) continue;
    for (const auto& sq : scenario->grid)
      if (sq && sq->IsExit() && u->pathManager->FindPath(sq.get(), false)) break;
  }
  MoveTo(512, 300);
  Frames(60);
  Shot("road_6_battle");
  // With nothing left to spend, the battle is decided once the columns are through.
  int frames = 0;
  while (!GetOpenPostMortem() && frames++ < 3000) {
    if (GetBattle().outcome == OUTCOME_UNDECIDED) GetGameplay().supplies = 0.0f;
    Frame();
  }
  if (!GetOpenPostMortem()) {
    for (SIM_BattleUnit* u : army->livingUnits)
      ADD_FAILURE() << "still on the map: " << (u->design ? u->design->name : "?") << " at " << u->x << ","
                    << u->y;
    ADD_FAILURE() << "state " << GetBattle().state << " outcome " << GetBattle().outcome << " paused "
                  << GetBattle().paused << " windows " << GetWindowOrder().OpenWindows().size() << " modals "
                  << GetWindowOrder().ModalWindows().size() << " mode " << game.CurrentModeNumber;
    ADD_FAILURE() << "clock " << GetBattle().battleClock << " exhausted " << GetGameplay().suppliesExhausted
                  << " total " << GetOutcomeManager().total << " target " << GetOutcomeManager().target;
  }
  ASSERT_NE(GetOpenPostMortem(), nullptr) << "no end after " << frames << " frames";
  ASSERT_EQ(GetBattle().outcome, OUTCOME_VICTORY) << "the columns broke through an undefended border";
  const float score = SIM_HighScores::Get().GetScore(kMission, difficulty, true);
  EXPECT_GT(score, 0.0f);
  EXPECT_EQ(score, GetOutcomeManager().total);
  // The battle is counted with its difficulty and the frame rate it was drawn at.
  EXPECT_FLOAT_EQ(GetMetrics().Value(won) - wonBefore, 1.0f);
  EXPECT_FLOAT_EQ(GetMetrics().Value("_fps_data_count") - framesBefore, 1.0f);
  EXPECT_GT(GetBattleScreen().AverageFrameMs(), 0.0);
  EXPECT_GT(GetMetrics().Value("_fps"), fpsBefore);
  Frames(30);
  Shot("road_7_postmortem");

  // ---- Continue: the updates go out, then the first win's reward and medal
  ClickCentre(GetOpenPostMortem()->continueButton);
  for (int i = 0; i < 1500 && !GetOpenPostBattleUnlock() && game.CurrentModeNumber == MODE_BATTLE_SCREEN; ++i)
    Frame();
  GUI_BS_PostBattleUnlock* unlock = GetOpenPostBattleUnlock();
  ASSERT_NE(unlock, nullptr) << "a campaign victory offers its reward";
  ASSERT_NE(unlock->firstChoice, nullptr);
  MoveTo(900, 40);
  Frames(5);
  Shot("road_8_unlock");
  ClickCentre(unlock->firstChoice->chooseButton);
  for (int i = 0; i < 100 && !GetOpenAchievements(); ++i) Frame();
  GUI_BS_Achievements* medals = GetOpenAchievements();
  ASSERT_NE(medals, nullptr) << "the first victory earns its medal";
  // The medal goes to the local server on the worker; its please-wait holds the clicks.
  for (int i = 0; i < 1500 && (GetThreadManager().Busy() || OpenPleaseWait()); ++i) Frame();
  EXPECT_EQ(OpenPleaseWait(), nullptr);
  MoveTo(900, 40);
  Frames(5);
  Shot("road_9_medals");
  ClickCentre(medals->continueButton);
  ASSERT_EQ(game.CurrentModeNumber, MODE_MAIN_MENU);
  SettleTransition();

  // ---- back to the browser from the menu: the score is there
  battles = nullptr;
  for (GUI_ButtonBase* b : dynamic_cast<GUIButtonList*>(game.CurrentMode)->Buttons())
    if (b->userData == MODE_BATTLE_BROWSER && b->callback == GUI_MainMenu::OnModeButton) battles = b;
  Frames(100);
  // A player waits for a please-wait or any other box over the menu before clicking.
  for (int i = 0; i < 1500 && (GetThreadManager().Busy() || !GetWindowOrder().ModalWindows().empty() ||
                               !GetWindowOrder().OpenWindows().empty());
       ++i)
    Frame();
  ClickCentre(battles);
  ASSERT_EQ(game.CurrentModeNumber, MODE_BATTLE_BROWSER) << ClickState(battles);
  SettleTransition();
  EXPECT_FALSE(GetThreadManager().Busy());
  EXPECT_EQ(OpenPleaseWait(), nullptr);
  details = GetDetailsPanel();
  ASSERT_NE(details, nullptr);
  ASSERT_EQ(details->scenario->name, kMission);
  EXPECT_EQ(details->highScores[0]->scores[difficulty]->text, FormatThousands(static_cast<int>(score)));
  // The win opened the missions it links to.
  for (const std::string& next : scenario->unlockLinks) {
    ASSERT_NE(FindMapIcon(next), nullptr) << next;
    EXPECT_FALSE(FindMapIcon(next)->locked) << next;
  }
  MoveTo(900, 40);
  Frames(5);
  Shot("road_10_back_in_browser");
}

}  // namespace

namespace {

// The custom tab as the player sees it: one row per map with its delete button, the
// selected map in the details; a map deleted from its row is gone at once.
TEST_F(BattleRoadGLTest, CustomMapsTabListsThePlayersMapsAndDeletesOne) {
  ZT_REQUIRE_GL(gl_);
  const std::string folder = GetUserFolder(USERFOLDER_SCENARIOS);
  for (const char* name : {"ambush_valley", "long_road_north", "quarry"}) {
    const std::string dir = folder + "/1234567_" + name;
    std::filesystem::create_directories(dir);
    zt_test::WriteText(dir + "/scenario.ini",
                       std::string("[config]\nname = ") + name + "\nguiname = " + name +
                           "\ndescription = A map of my own, built in the map designer."
                           "\nmaxcols = 4\nmaxrows = 3\nmode_classic_attack = 1\n"
                           "mode_classic_defend = 1\nclassic_timelimit = 240000\n");
  }
  Game& game = GetGame();
  game.SetGameMode(MODE_MAIN_MENU);
  Frames(3);
  game.SetGameMode(MODE_BATTLE_BROWSER);
  SettleTransition();
  GUI_BB_Window* window = GetBrowserWindow();
  ASSERT_NE(window, nullptr);
  ClickCentre(window->tabButtons[GUI_BB_Window::kCustom]);
  GUI_BB_CustomBrowser* list = GetCustomBrowser();
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->rows.size(), 3u);
  ClickCentre(list->rows[1]);
  ASSERT_EQ(GetDetailsPanel()->scenario->name, "long_road_north");
  MoveTo(list->rows[1]->left + 40.0f, list->rows[1]->top + 30.0f);
  Shot("custom_tab");
  ClickCentre(list->rows[0]->deleteButton);
  Frame();
  ASSERT_EQ(list->rows.size(), 2u);
  EXPECT_FALSE(std::filesystem::exists(folder + "/1234567_ambush_valley"));
  EXPECT_EQ(GetDetailsPanel()->scenario->name, "long_road_north");
}

// The Online tab over a local list (no server: the pictures cannot depend on one), a
// challenge's details with its comments, and the post-mortem's rating and posting dialogs.
TEST_F(BattleRoadGLTest, OnlineTabDetailsRatingAndPostingAsThePlayerSeesThem) {
  ZT_REQUIRE_GL(gl_);
  UserFolders()[USERFOLDER_WEB] = zt_test::UserRoot() + "/web";
  const ChallengeServerHooks saved = GetChallengeServerHooks();
  ChallengeServerHooks& hooks = GetChallengeServerHooks();
  hooks = ChallengeServerHooks();
  hooks.userName = [] { return std::string("recruit"); };
  hooks.isFriend = [](const std::string& name) { return name == "ironhide"; };
  hooks.rankName = [](int rank) { return rank == 5 ? std::string("Major") : std::string(); };
  const char* const rows[] = {
      "##,seed0001,Armoured Push,All,\"My tanks broke through in four minutes. Hold the crossing.\",ironhide,"
      "2026-3-14,7,3,3.50,4.25,1,18,12,300000,480,0\n",
      "##,seed0002,River Fords,All,\"Hold the line, then push. Bring "
      "armour.\",tankgirl,2026-3-15,0,0,0.00,0.00,2,"
      "20,15,360000,500,0\n",
      "##,seed0003,Desert Rush,recruit,\"Raiders and riflemen straight down the "
      "pass.\",sgt_rook,2026-4-2,2,2,1.50,"
      "2.50,3,20,14,300000,450,0\n",
      "##,seed0005,Ironhide's Ridge,All,\"My own ridge: a narrower pass and stronger "
      "guns.\",ironhide,2026-4-20,12,"
      "1,4.75,3.00,5,22,16,420000,520,1\n"};
  std::string list;
  for (const char* row : rows) list += row;
  zt_test::WriteText(GetUserFolder(USERFOLDER_WEB) + "/challenges/challengelist.txt", list);
  zt_test::WriteText(GetUserFolder(USERFOLDER_WEB) + "/challenges/seed0003/scenario.txt", "[config]\n");
  SIM_HighScores::Get().AddBeatenChallenge("seed0003");

  Game& game = GetGame();
  game.SetGameMode(MODE_MAIN_MENU);
  Frames(3);
  game.SetGameMode(MODE_BATTLE_BROWSER);
  SettleTransition();
  GUI_BB_Window* window = GetBrowserWindow();
  ASSERT_NE(window, nullptr);
  ClickCentre(window->tabButtons[GUI_BB_Window::kOnline]);
  GUI_BB_OnlineBrowser* tab = GetOnlineBrowser();
  ASSERT_NE(tab, nullptr);
  ASSERT_EQ(tab->shown.size(), 4u);
  ClickCentre(tab->headings[9]);  // by enjoyment, highest last
  ASSERT_EQ(tab->shown.back()->ztkid, "seed0001");
  MoveTo(900.0f, 20.0f);
  Shot("online_tab");

  ClickCentre(tab->strips.back().get());
  GUI_BB_ChallengeDetails* details = GetChallengeDetails();
  ASSERT_NE(details, nullptr);
  // The poster's badge as the server describes it: three shipped layers, tinted.
  hooks.makeBadge = [](const std::string& player,
                       const std::vector<std::pair<std::string, std::string>>& profile) -> GUI_WindowBase* {
    return MakeProfileBadge(player, profile);
  };
  details->profile->SetValues({{"username", "ironhide"},
                               {"general_name", "Viktor Strand"},
                               {"regiment_name", "Grey Wolves"},
                               {"rank", "5"},
                               {"xp", "8800"},
                               {"badge_bg", "badge_bg_shield.dds,1.0,0.0,40,60,120,255"},
                               {"badge_crest", "badge_crest_eagle.dds,0.8,-0.05,230,200,60,255"},
                               {"badge_inset", "badge_inset_star.dds,0.3,0.1,255,255,255,255"}});
  details->comments->SetComments(
      {{"tankgirl", "Lost twice, then held with mines on the bridge. Great fight, hard."},
       {"ironhide", "Thanks! Try the left ford, it is faster than it looks."}});
  MoveTo(5.0f, 5.0f);
  Shot("challenge_details");
  delete details;

  // The post-mortem's dialogs after a battle on that challenge.
  SIM_ScenarioManager& scenarios = SIM_ScenarioManager::Get();
  scenarios.Load();
  GetBattle().scenario = scenarios.Campaign().front();
  GetBattle().playerDefends = true;
  OpenRateChallenge();
  GUI_BS_RateChallenge* rate = GetRateChallengeDialog();
  ASSERT_NE(rate, nullptr);
  ClickCentre(rate->difficulty);  // the third star
  rate->enjoyment->value = 4;
  Shot("rate_challenge");
  EXPECT_EQ(rate->difficulty->value, 3);
  EXPECT_TRUE(rate->submit->enabled);
  delete rate;
  OpenPostChallenge();
  ASSERT_NE(GetPostChallengeDialog(), nullptr);
  Shot("post_challenge");
  delete GetPostChallengeDialog();
  GetChallengeServerHooks() = saved;
}

}  // namespace
