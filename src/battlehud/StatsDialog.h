#pragma once
// The battle's statistics, one row per design the player deployed: damage done by kind,
// shots fired and (attacking) units escaped, as averages per unit, totals, or value for
// money (totals per supply spent). The best design of the view is highlighted.
#include <memory>
#include <string>

#include "gui/Dialog.h"
#include "gui/WindowBase.h"

class BattleStatsGroup;
class GUI_ButtonText;
class GUI_ScrollingWindow;
class GUI_Tooltip;
class SIM_BattleStatsDatabase;

class GUI_BS_StatsStrip : public GUI_WindowBase {
 public:
  static constexpr int kColumns = 6;
  GUI_BS_StatsStrip(const BattleStatsGroup* group, bool withEscaped);
  ~GUI_BS_StatsStrip() override;
  void Draw() override;
  void Process() override;
  // The values compared for the best row: column 0 of the averages, ratios and totals.
  float average0 = 0.0f, ratio0 = 0.0f, total0 = 0.0f;

  const BattleStatsGroup* group = nullptr;
  std::string label;
  std::string averages[kColumns], totals[kColumns], ratios[kColumns];
  std::string sprite;
  GUI_Tooltip* tooltip = nullptr;  // owned
  bool highlighted = false;
  bool sixColumns = true;
  int mode = 0;  // the dialog's view
};

class GUI_BS_Stats : public GUI_Dialog {
 public:
  enum Mode { kAverage = 0, kValueForMoney = 1, kTotals = 2 };
  static constexpr int kRow = 40;
  GUI_BS_Stats();
  ~GUI_BS_Stats() override;
  void Draw() override;
  void OnWheelUp() override;
  void OnWheelDown() override;
  static int OnChangeMode(int);
  void ApplyMode();
  void LayoutStrips();
  int ColumnCount() const { return sixColumns ? 6 : 5; }

  GUI_ScrollingWindow* scroll = nullptr;   // a child
  std::vector<GUI_BS_StatsStrip*> strips;  // owned
  GUI_BS_StatsStrip* bestTotals = nullptr;
  GUI_BS_StatsStrip* bestAverage = nullptr;
  GUI_BS_StatsStrip* bestRatio = nullptr;
  int mode = kAverage;
  GUI_ButtonText* modeButton = nullptr;
  std::vector<GUI_ButtonText*> headers;
  bool sixColumns = true;
  int placed = 0;
  std::unique_ptr<SIM_BattleStatsDatabase> database;
};
GUI_BS_Stats* GetOpenStatsDialog();
// Deletes the open statistics dialog, if any.
void CloseStatsDialog();
