#pragma once
// After a campaign battle: a free item granted at once when free items remain, and after
// a victory two items of the choice list of which the player takes one. A module item
// shows its statistics beside its picture.
#include <string>
#include <vector>

#include "gui/Dialog.h"
#include "gui/WindowBase.h"

class GUI_ButtonText;
class GUI_DataStrip;
class GUI_ScrollingWindow;
class GUI_TextContainer;
class SIM_ModuleType;
class SIM_Unlockable;

// The item's square, picture and name.
class GUI_BS_UnlockItem : public GUI_WindowBase {
 public:
  static constexpr float kSquare = 128.0f;
  static constexpr float kPicture = 102.4f;
  explicit GUI_BS_UnlockItem(SIM_Unlockable* item);
  void Draw() override;
  // Centre of the square (and of the picture).
  float SquareCentreX() const { return left + kSquare / 2.0f; }
  float SquareCentreY() const { return (top + bottom) / 2.0f; }

  SIM_Unlockable* item = nullptr;
  std::string name;     // the display name
  std::string picture;  // texture name
};

// A module's statistics, one strip a line, scrolled by the wheel.
class GUI_BS_UnlockDetails : public GUI_WindowBase {
 public:
  static constexpr int kRow = 20;
  explicit GUI_BS_UnlockDetails(SIM_Unlockable* item);
  ~GUI_BS_UnlockDetails() override;
  void SetRect(float l, float t, float r, float b) override;
  // Rebuilds the strips from the item's module type (none for other items).
  void Fill();
  // The same from a given module type (none for null).
  void Fill(const SIM_ModuleType* type);
  // Places the strips from the scroll position on, and gives the bar its range.
  void LayoutStrips();
  void Draw() override;
  void OnWheelUp() override;
  void OnWheelDown() override;

  // The value text a strip of the key shows (a damage modifier as its change against 1).
  static std::string ValueText(const SIM_ModuleType& type, const std::string& key, int displayType,
                               float multiplier);

  SIM_Unlockable* item = nullptr;
  // An item without statistics (a hull, a strike) says what it is instead of showing an
  // empty table: the hull's description, when it has one.
  std::string note;
  std::vector<GUI_DataStrip*> strips;  // owned
  const SIM_ModuleType* moduleType = nullptr;
  GUI_ScrollingWindow* scroll = nullptr;  // a child
  int visibleRows = 0;
};

class GUI_BS_UnlockChoice : public GUI_WindowBase {
 public:
  GUI_BS_UnlockChoice(SIM_Unlockable* item, int index);
  void SetRect(float l, float t, float r, float b) override;
  void Draw() override;
  // The button's number is the choice's: 0 the first, 1 the second.
  static int OnChoose(int index);

  SIM_Unlockable* item = nullptr;
  GUI_BS_UnlockItem* itemWindow = nullptr;  // a child
  GUI_ButtonText* chooseButton = nullptr;
  GUI_BS_UnlockDetails* details = nullptr;  // a child
  int frameLeft = 0, frameTop = 0, frameRight = 0, frameBottom = 0;
};

class GUI_BS_FreeUnlock : public GUI_WindowBase {
 public:
  explicit GUI_BS_FreeUnlock(SIM_Unlockable* item);
  void SetRect(float l, float t, float r, float b) override;
  void Draw() override;
  GUI_BS_UnlockItem* itemWindow = nullptr;  // a child
};

class GUI_BS_PostBattleUnlock : public GUI_Dialog {
 public:
  static constexpr int kWidth = 880;
  GUI_BS_PostBattleUnlock();
  ~GUI_BS_PostBattleUnlock() override;
  void Draw() override;
  static int OnContinue(int);

  GUI_ButtonText* continueButton = nullptr;
  GUI_BS_UnlockChoice* firstChoice = nullptr;
  GUI_BS_UnlockChoice* secondChoice = nullptr;
  GUI_BS_FreeUnlock* freeUnlock = nullptr;
  GUI_TextContainer* freeText = nullptr;
  GUI_TextContainer* choiceText = nullptr;
  GUI_Rect choiceFrame;
  GUI_Rect freeFrame;
  bool victory = false;
};
GUI_BS_PostBattleUnlock* GetOpenPostBattleUnlock();
// Unlocks the item for good (the player's unlocks file is written before this returns)
// and takes it out of both lists of the catalogue.
void GrantUnlock(SIM_Unlockable* item);
// Deletes the open unlock dialog, if any.
void CloseUnlockDialog();
