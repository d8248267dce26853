#pragma once
// The loading screen (game mode 8): a battle is set up while it shows a picture (or,
// for an online challenge, the title backdrop and the opponent's poster) and a progress
// bar. The loader runs inside the screen's Draw and no frames run meanwhile, so every
// progress step redraws and presents the screen itself. When the load is done the
// screen asks for a key and then wipes into the battle.
#include <functional>
#include <string>
#include <vector>

#include "app/GUI_GameModeBase.h"
#include "engine/Sprites.h"

class GUI_LoadingScreen : public GUI_GameModeBase {
 public:
  static constexpr const char* kPictureFolder = "data/bitmaps/ui/loadscreens";
  static constexpr const char* kSidesTexture = "backdrop_sides.jpg";
  static constexpr const char* kBarTexture = "progress_bar.jpg";
  static constexpr float kBarWidth = 512.0f;
  static constexpr float kBarHeight = 32.0f;
  static constexpr float kBarCentreFromBottom = 36.0f;
  static constexpr float kTextFromBottom = 40.0f;
  enum State { kWaitingForTransition = 0, kLoading = 1, kDone = 2 };

  GUI_LoadingScreen();
  ~GUI_LoadingScreen() override;

  // The battle's load: next mode the battle screen, the battle's Start as the loader.
  // The tutorial pages of the screen left behind close (with their highlights and button
  // restrictions): a battle shows only the pages it opens itself.
  void BeginBattleLoad();
  // Any load: shows the next picture (or the poster when online), starts the wipe and
  // makes the loading screen current; the loader runs at the first Draw after the wipe.
  void BeginLoad(std::function<void()> loader, int nextMode, bool online);
  // Called by the loader: stores the fraction, redraws and presents at once.
  void SetProgress(float fraction);
  // Called by the loader at its end: the press-any-key screen, captured for the wipe out.
  void FinishLoading();

  void Draw() override;
  // The pictures are drawn nowhere else: they are released when the next screen opens
  // (a battle has no use for megabytes of loading art) and loaded again by the next load.
  void Leave() override;
  void OnKeyDown(int key) override;
  void OnLeftDown() override;

  int GetState() const { return state_; }
  float Progress() const { return progress_; }
  int NextMode() const { return nextMode_; }
  bool IsOnline() const { return online_; }
  const std::string& PressAnyKeyText() const { return pressAnyKey_; }
  // The shuffled picture names and the one on screen ("" when the folder is empty).
  const std::vector<std::string>& Pictures() const { return pictures_; }
  const std::string& CurrentPicture() const { return currentPicture_; }
  // The bar's two parts for the stored progress (exposed for layout checks).
  const CTexturedSprite& FilledBar() const { return filled_; }
  const CTexturedSprite& EmptyBar() const { return empty_; }
  // Lays the bar out for progress p on a screen of width w and height h.
  void LayOutBar(float p, float w, float h);

  // The online screens install how the opponent's poster is loaded and drawn.
  static void SetPosterHooks(std::function<void()> load, std::function<void()> draw);

 private:
  void NextPicture();
  void DrawBackground();
  void DrawBar();
  void DrawPressAnyKey();
  void Continue();
  void Present();

  CTexturedSprite picture_;
  CTexturedSprite leftSide_;
  CTexturedSprite rightSide_;
  std::vector<std::string> pictures_;
  size_t cursor_ = 0;
  std::string currentPicture_;
  CTexturedSprite filled_;
  CTexturedSprite empty_;
  int nextMode_ = 0;
  std::function<void()> loader_;
  int state_ = kLoading;
  bool online_ = false;
  std::string pressAnyKey_;
  float progress_ = 0.0f;
};

// The loading screen mode object (built on first request); null when the mode table
// builds something else for mode 8.
GUI_LoadingScreen* GetLoadingScreen();
// Lets the battle reach the loading screen (the battle's load hooks).
void WireLoadingScreenHooks();
