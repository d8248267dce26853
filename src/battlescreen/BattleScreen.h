#pragma once
// The battle screen (game mode 6): each frame it advances the battle and draws the
// world. Here is what the simulation relies on of it; drawing comes with the screen.
#include "app/GUI_GameModeBase.h"

class GUI_BattleScreen : public GUI_GameModeBase {
 public:
  GUI_BattleScreen() = default;
  ~GUI_BattleScreen() override = default;

  // The frame: advances the battle, which calls DrawBattle back.
  void Draw() override;
  // Called by the battle once per frame (also while paused): ticks every unit's visual
  // so weapon effects and death sequences step.
  void DrawBattle();
  // Battle start, after loading progress 0.85: arms the one-shot supply messages.
  void Init();
  // Battle start, after the old armies are gone: the old wrecks go too.
  void InitCorpses();
  // Ends the deployment phase.
  void StartFighting();

  int field1 = -1;
  bool field2 = true;
  int drawCount = 0;  // DrawBattle calls since the start
};

// The battle screen object the battle draws through.
GUI_BattleScreen& GetBattleScreen();
