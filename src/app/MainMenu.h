#pragma once
// The first screen (game mode 0): the title backdrop with the logo, the version text in
// the top right corner and a row of six buttons along the bottom that lead to the other
// screens, open the manual or quit. It fades in from black once per run and plays the
// main theme on every entry.
#include "app/GUI_GameModeBase.h"
#include "engine/Timer.h"
#include "gui/Buttons.h"

class GUI_MainMenu : public GUI_GameModeBase, public GUIButtonList {
 public:
  // Button row geometry.
  static constexpr double kButtonWidth = 166.3333;
  static constexpr float kButtonHeight = 32.0f;
  static constexpr double kButtonStep = 168.3333;
  static constexpr float kRowOffset = 505.0f;  // first button's left edge: centre - this
  static constexpr float kRowFromBottom = 64.0f;
  static constexpr float kFadeMs = 1000.0f;
  static constexpr int kTooltipDelay = 60;

  // Buttons in screen order, left to right.
  enum ButtonIndex { kBattleBrowser = 0, kOnline, kUnitDesign, kOptions, kManual, kQuit, kButtonCount };

  // Creates the buttons, enters itself, arms the fade and starts the online update thread.
  GUI_MainMenu();
  ~GUI_MainMenu() override;

  // Mode operations (also the button list's Draw and Process).
  void Draw() override;
  void OnKeyDown(int key) override;
  void Process() override;
  void OnLeftDown() override;
  void Enter() override;
  void OnWheelUp() override;
  void OnWheelDown() override;
  // Idle, only the clouds drift: 25 to 50 pixels a second, soft and 500 to 700 pixels
  // across, so five frames a second keep them moving. Each menu frame fills the screen
  // about twice over; on a software renderer every frame drawn is paid for in full.
  int IdleFrameIntervalMs() const override { return kIdleFrameMs; }
  static constexpr int kIdleFrameMs = 200;
  // The title picture covers the screen (at the usual screen shapes).
  bool CoversWholeScreen() const override;

  // Button callbacks: a mode button's user data is the mode number it leads to.
  static int OnModeButton(int mode);
  static int OnManualButton(int);
  static int OnQuitButton(int);

  GUI_ButtonText* Button(int screenIndex) const { return buttons_[screenIndex]; }
  bool IsFading() const { return fading_; }

 private:
  void LayOutButtons();
  void DrawFade();

  GUI_ButtonText* buttons_[kButtonCount] = {};  // owned by the button list
  bool fading_ = false;
  Timer fadeTimer_;
};

// Builds the main menu mode object (the game-mode table calls it for mode 0).
GUI_GameModeBase* CreateMainMenu();
