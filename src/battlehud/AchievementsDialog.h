#pragma once
// The last step after a battle: the medals earned and not yet shown, four to a page,
// with the medal sound; their names go to the server on a worker, and Continue leads to
// the main menu.
#include <string>
#include <vector>

#include "gui/Dialog.h"
#include "gui/WindowBase.h"

class GUI_ButtonText;
class GUI_ScrollingWindow;
class GUI_TextContainer;
class SIM_Achievement;

class GUI_BS_Medal : public GUI_WindowBase {
 public:
  explicit GUI_BS_Medal(const SIM_Achievement* achievement);
  void SetRect(float l, float t, float r, float b) override;
  void Draw() override;

  std::string title;
  std::string pictures[3];  // lower, upper, overlay ("" for none)
  bool overlay = false;
  // The squares of the upper picture (and overlay) and of the lower one.
  float side = 0.0f, upperLeft = 0.0f, upperTop = 0.0f, lowerTop = 0.0f;
  GUI_TextContainer* description = nullptr;  // a child
  std::string descriptionText;
};

class GUI_BS_Achievements : public GUI_Dialog {
 public:
  static constexpr int kMedalWidth = 200;
  static constexpr int kPerPage = 4;
  GUI_BS_Achievements();
  ~GUI_BS_Achievements() override;
  // Deletes an open dialog and opens a new one over the pending list.
  static void Open();
  static int OnContinue(int);
  void LayoutPage();
  void Draw() override;

  GUI_ButtonText* continueButton = nullptr;
  GUI_ScrollingWindow* pages = nullptr;  // a child
  std::vector<GUI_BS_Medal*> medals;     // owned
  std::vector<std::string> names;        // what was handed to the server worker
};
GUI_BS_Achievements* GetOpenAchievements();
