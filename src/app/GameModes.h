#pragma once
// The concrete mode objects the game switches between, and the window-activation
// hook that pauses the sounds while the game is in the background.
#include "app/GUI_GameModeBase.h"
#include "gui/Buttons.h"

// A menu-style mode that uses every standard body: its own buttons under the open
// windows, Escape closing the topmost pop-up or returning to the main menu.
class GUI_StandardMode : public GUI_GameModeBase, public GUIButtonList {
 public:
  void Draw() override;
  void OnKeyDown(int key) override;
  void Process() override;
  void OnLeftDown() override;
  void OnWheelUp() override;
  void OnWheelDown() override;
};

// A mode with nothing of its own on screen yet; Escape returns to the main menu.
// Stands for the screens that are not built yet.
class GUI_PlaceholderMode : public GUI_StandardMode {
 public:
  explicit GUI_PlaceholderMode(int number) : number_(number) {}
  int Number() const { return number_; }

 private:
  int number_;
};

// Window activation: frames run and sounds play only while the window is active.
// On return to the window the sounds resume unless a running battle is paused.
void OnWindowActivation(bool active);
// The same with the sound manager given (null: none built yet, flags only).
class GUI_Sounds;
void ApplyWindowActivation(bool active, GUI_Sounds* sounds);
// Whether a running battle is paused right now: by default the battle object's own
// state (false while there is no battle); tests may install their own query.
using BattlePausedQuery = bool (*)();
void SetBattlePausedQuery(BattlePausedQuery query);
bool IsRunningBattlePaused();
