#pragma once
// The battle screen (game mode 6): each frame it advances the battle and draws the
// world. The battle reaches it only through the view it registers (UnitVisuals.h).
#include "app/GUI_GameModeBase.h"

class GUI_BattleScreen : public GUI_GameModeBase {
 public:
  GUI_BattleScreen() = default;
  ~GUI_BattleScreen() override = default;

  // The frame: advances the battle one step, then draws it.
  void Draw() override;
  // Draws the battle (also while paused); rebuilds device resources after a reset.
  void DrawBattle();
  // Battle start, after loading progress 0.85.
  void Init() {}
  // Battle start, after the old armies are gone: the old wrecks go too.
  void InitCorpses();
  // Ends the deployment phase.
  void StartFighting();

  int field1 = -1;
  bool field2 = true;
};

// The battle screen object the battle draws through.
GUI_BattleScreen& GetBattleScreen();
