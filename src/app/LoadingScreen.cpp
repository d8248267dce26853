#include "app/LoadingScreen.h"

#include <algorithm>

#include "app/Game.h"
#include "app/GameModes.h"
#include "app/Sounds.h"
#include "app/TitleBackdrop.h"
#include "app/Transition.h"
#include "app/Tutorial.h"
#include "app/TutorialScript.h"
#include "battle/Battle.h"
#include "battle/BattleHooks.h"
#include "engine/D3DEngine.h"
#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/Random.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "engine/Textures.h"
#include "gui/GuiDraw.h"
#include "platform/Window.h"
#include "simdata/Scenario.h"

namespace {

constexpr const char* kPressAnyKeyKey = "PROBAR_PRESSANYKEY";

struct PosterHooks {
  std::function<void()> load;
  std::function<void()> draw;
};
PosterHooks& Poster() {
  static PosterHooks hooks;
  return hooks;
}

}  // namespace

void GUI_LoadingScreen::SetPosterHooks(std::function<void()> load, std::function<void()> draw) {
  Poster().load = std::move(load);
  Poster().draw = std::move(draw);
}

GUI_LoadingScreen::GUI_LoadingScreen() {
  picture_.SetSize(1024.0f, 1024.0f);
  leftSide_.SetSize(512.0f, 1024.0f);
  rightSide_.SetSize(512.0f, 1024.0f);
  leftSide_.SetSpriteTexture(kSidesTexture);
  rightSide_.SetSpriteTexture(kSidesTexture);
  leftSide_.SetUV(0.0f, 0.0f, 0.5f, 1.0f);
  rightSide_.SetUV(0.5f, 0.0f, 1.0f, 1.0f);
  filled_.SetSpriteTexture(kBarTexture);
  empty_.SetSpriteTexture(kBarTexture);

  pictures_ = ListFiles(std::string(kPictureFolder) + "/*.jpg");
  // Shuffled once per run; later loads go round the same order.
  for (size_t i = pictures_.size(); i > 1; --i) {
    const size_t j = static_cast<size_t>(EngineRand()) % i;
    std::swap(pictures_[i - 1], pictures_[j]);
  }
  if (pictures_.empty())
    LogErrorF("No loading pictures in %s; the loading screen stays black", kPictureFolder);
  pressAnyKey_ = GetTranslation(kPressAnyKeyKey);
  if (pressAnyKey_.empty()) pressAnyKey_ = kPressAnyKeyKey;
}

GUI_LoadingScreen::~GUI_LoadingScreen() = default;

void GUI_LoadingScreen::NextPicture() {
  if (pictures_.empty()) {
    currentPicture_.clear();
    return;
  }
  if (cursor_ >= pictures_.size()) cursor_ = 0;
  currentPicture_ = pictures_[cursor_];
  picture_.SetTextureByName(currentPicture_);
  if (++cursor_ >= pictures_.size()) cursor_ = 0;
}

void GUI_LoadingScreen::BeginBattleLoad() {
  // A page or reminder left open on the browser would otherwise hear the battle's clicks
  // and outline controls that are no longer there.
  GUI_TutorialWindow::CloseAll();
  GUI_Tutorial& tutorial = GetTutorial();
  tutorial.AllowButtons();
  tutorial.SetAwaitedButton(std::string());
  GetTutorialHighlighter().CancelAll();
  SIM_Scenario* scenario = BattleExists() ? GetBattle().scenario : nullptr;
  const bool online = scenario && scenario->origin == SIM_Scenario::ORIGIN_ADDED;
  BeginLoad([] { GetBattle().Start(); }, MODE_BATTLE_SCREEN, online);
}

void GUI_LoadingScreen::BeginLoad(std::function<void()> loader, int nextMode, bool online) {
  nextMode_ = nextMode;
  loader_ = std::move(loader);
  state_ = kWaitingForTransition;
  progress_ = 0.0f;
  online_ = online;
  if (online_) {
    if (Poster().load) Poster().load();
  } else {
    leftSide_.SetTextureByName(kSidesTexture);
    rightSide_.SetTextureByName(kSidesTexture);
    NextPicture();
  }
  GetTransition().Start();
  GetGame().SetGameMode(MODE_LOADING_SCREEN);
}

void GUI_LoadingScreen::LayOutBar(float p, float w, float h) {
  p = std::min(1.0f, std::max(0.0f, p));
  const float left = w / 2.0f - kBarWidth / 2.0f;
  const float cy = h - kBarCentreFromBottom;
  const float filledWidth = kBarWidth * p;
  const float emptyWidth = kBarWidth - filledWidth;
  filled_.SetSize(filledWidth, kBarHeight);
  filled_.SetPosition(left + filledWidth / 2.0f, cy);
  filled_.SetUV(0.0f, 0.5f, p, 1.0f);
  empty_.SetSize(emptyWidth, kBarHeight);
  empty_.SetPosition(left + filledWidth + emptyWidth / 2.0f, cy);
  empty_.SetUV(p, 0.0f, 1.0f, 0.5f);
}

void GUI_LoadingScreen::DrawBackground() {
  D3DEngine& d3d = GetRenderDevice();
  if (online_) {
    GetTitleBackdrop().Draw(false);
    if (Poster().draw) Poster().draw();
    return;
  }
  d3d.ClearTarget(0xFF000000u);
  d3d.SetNormalBlend();
  const float w = static_cast<float>(d3d.ScreenWidth()), h = static_cast<float>(d3d.ScreenHeight());
  leftSide_.SetPosition(w / 2.0f - 768.0f, h / 2.0f);
  rightSide_.SetPosition(w / 2.0f + 768.0f, h / 2.0f);
  leftSide_.DrawDirect();
  rightSide_.DrawDirect();
  if (currentPicture_.empty()) return;
  picture_.SetPosition(w / 2.0f, h / 2.0f);
  picture_.DrawDirect();
}

void GUI_LoadingScreen::DrawBar() {
  D3DEngine& d3d = GetRenderDevice();
  LayOutBar(progress_, static_cast<float>(d3d.ScreenWidth()), static_cast<float>(d3d.ScreenHeight()));
  d3d.SetNormalBlend();
  if (filled_.width > 0.0f) filled_.DrawDirect();
  if (empty_.width > 0.0f) empty_.DrawDirect();
}

void GUI_LoadingScreen::DrawPressAnyKey() {
  TextRenderer& text = GetTextRenderer();
  if (!text.IsInitialised()) return;
  D3DEngine& d3d = GetRenderDevice();
  text.SetFont("22.dds", 16.0f);
  const uint32_t colour = GameExists() ? GetGame().TextColour : gui_draw::TextColour();
  text.Print(2, pressAnyKey_.c_str(), 0.0f, static_cast<float>(d3d.ScreenHeight()) - kTextFromBottom, colour,
             static_cast<float>(d3d.ScreenWidth()));
  text.Flush();
}

void GUI_LoadingScreen::Present() {
  D3DEngine& d3d = GetRenderDevice();
  // An inner scene does not flush on its end: what this step drew must be in the picture.
  gui_draw::FlushAll();
  d3d.EndScene();
  d3d.Flip();
  platform::SleepMilliseconds(1);
  if (SoundsExist()) GetSounds().Update();
}

void GUI_LoadingScreen::SetProgress(float fraction) {
  progress_ = std::min(1.0f, std::max(0.0f, fraction));
  DebugLogF("\n\nprogress %.2f\n", progress_);
  D3DEngine& d3d = GetRenderDevice();
  if (state_ == kLoading) d3d.BeginScene();
  DrawBackground();
  if (state_ == kLoading) DrawBar();
  if (state_ == kDone) DrawPressAnyKey();
  if (state_ == kLoading) Present();
}

void GUI_LoadingScreen::FinishLoading() {
  state_ = kDone;
  progress_ = 1.0f;
  D3DEngine& d3d = GetRenderDevice();
  d3d.BeginScene();
  DrawBackground();
  DrawPressAnyKey();
  gui_draw::FlushAll();
  GetTransition().Capture();
  DrawBackground();
  DrawPressAnyKey();
  Present();
  GetGame().SetGameMode(MODE_LOADING_SCREEN);
}

void GUI_LoadingScreen::Draw() {
  if (state_ == kWaitingForTransition && !GetTransition().IsRunning()) {
    state_ = kLoading;
    // The whole battle set-up runs here; it reports back through SetProgress and
    // FinishLoading. A load without a loader is done at once.
    if (loader_) {
      loader_();
    } else {
      FinishLoading();
    }
  }
  DrawBackground();
  if (state_ == kDone) DrawPressAnyKey();
  GetTransition().Draw();
}

void GUI_LoadingScreen::Leave() {
  if (!currentPicture_.empty()) UnloadTexture(currentPicture_);
  UnloadTexture(kSidesTexture);
}

void GUI_LoadingScreen::Continue() {
  GetTransition().Begin();
  GetGame().SetGameMode(nextMode_);
}

void GUI_LoadingScreen::OnKeyDown(int key) {
  if (state_ == kDone) Continue();
}

void GUI_LoadingScreen::OnLeftDown() {
  if (state_ == kDone) Continue();
}

GUI_LoadingScreen* GetLoadingScreen() {
  return dynamic_cast<GUI_LoadingScreen*>(GetGameModeObject(MODE_LOADING_SCREEN));
}

void WireLoadingScreenHooks() {
  BattleHooks& hooks = GetBattleHooks();
  hooks.beginBattleLoad = [] {
    if (GUI_LoadingScreen* screen = GetLoadingScreen()) screen->BeginBattleLoad();
  };
  hooks.setLoadingProgress = [](float p) {
    if (GUI_LoadingScreen* screen = GetLoadingScreen()) screen->SetProgress(p);
  };
  hooks.finishLoading = [] {
    if (GUI_LoadingScreen* screen = GetLoadingScreen()) screen->FinishLoading();
  };
}
