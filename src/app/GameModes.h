#pragma once
// The concrete mode objects the game switches between, and the window-activation
// hook that pauses the sounds while the game is in the background.
#include "app/GUI_GameModeBase.h"

// A mode with nothing on screen yet: Escape (or a pop-up's close) returns to the
// main menu. Stands for the screens that are not built yet.
class GUI_PlaceholderMode : public GUI_GameModeBase {
 public:
  explicit GUI_PlaceholderMode(int number) : number_(number) {}
  void OnKeyDown(int key) override;
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
// Whether a running battle is paused right now: the battle layer installs the
// query; without one (no battle code yet) the answer is false.
using BattlePausedQuery = bool (*)();
void SetBattlePausedQuery(BattlePausedQuery query);
bool IsRunningBattlePaused();
