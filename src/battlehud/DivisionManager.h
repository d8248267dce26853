#pragma once
// The division manager: a large dialog opened by the deployment window's division
// button. On the left a drop-down of the divisions with Add and Delete and the designs
// of the current division; on the right every design the player has ("All"). Designs
// are dragged across, dragged out, or double-clicked to move them. Closing selects the
// current division, saves the divisions and rebuilds the deployment window.
#include <string>
#include <vector>

#include "gui/Dialog.h"
#include "gui/WindowBase.h"

class GUI_ButtonText;
class GUI_DropDownList;
class GUI_ScrollingWindow;
class GUI_TextEditWindow;
class GUI_Tooltip;
class SIM_Division;
class SIM_UnitDesign;

class GUI_BS_DivisionIcon : public GUI_WindowBase {
 public:
  enum Origin { kFromAll = 1, kFromDivision = 2 };
  GUI_BS_DivisionIcon(SIM_UnitDesign* design, int origin);
  ~GUI_BS_DivisionIcon() override;
  bool LeftClick(float x, float y) override;
  void Draw() override;
  void Process() override;
  void OnDrop() override;
  // Attaches a copy of the icon to the GUI cursor; the copy is the dragged window.
  GUI_BS_DivisionIcon* StartDragCopy();
  bool IsCarried() const;

  SIM_UnitDesign* design = nullptr;  // not owned
  int origin = kFromAll;
  bool enabled = true;
  uint32_t tint = 0xFFFFFFFFu;
  std::string picture;             // the design's composed sprite
  GUI_Tooltip* tooltip = nullptr;  // owned
};

class GUI_BS_DivisionsPicker : public GUI_WindowBase {
 public:
  static constexpr int kCellMin = 92;
  GUI_BS_DivisionsPicker();
  ~GUI_BS_DivisionsPicker() override;
  // New icons for the shown division's designs, in its order, then the layout.
  virtual void Rebuild();
  void Show(SIM_Division* shown);
  void Layout();
  void Draw() override;
  void SetRect(float l, float t, float r, float b) override;
  void OnWheelUp() override;
  void OnWheelDown() override;
  void DeleteIcons();
  int Columns() const;
  int CellSize() const;

  SIM_Division* division = nullptr;         // not owned
  std::vector<GUI_BS_DivisionIcon*> icons;  // owned
  GUI_ScrollingWindow* scroll = nullptr;    // a child

 protected:
  int iconOrigin = GUI_BS_DivisionIcon::kFromAll;
};

// The current division's designs: its icons are division icons, dragged out to remove.
class GUI_BS_Division : public GUI_BS_DivisionsPicker {
 public:
  GUI_BS_Division() { iconOrigin = GUI_BS_DivisionIcon::kFromDivision; }
};

class GUI_BS_NewDivision : public GUI_Dialog {
 public:
  static constexpr int kMaxNameLength = 64;
  GUI_BS_NewDivision();
  ~GUI_BS_NewDivision() override;
  void Draw() override;
  static int OnOK(int);
  // What OK does with the typed name; false when the dialog stays open.
  bool Confirm();

  GUI_TextEditWindow* edit = nullptr;  // a child
  GUI_ButtonText* okButton = nullptr;
};

class GUI_BS_DivisionManager : public GUI_Dialog {
 public:
  GUI_BS_DivisionManager();
  ~GUI_BS_DivisionManager() override;
  void Draw() override;

  static int OnAdd(int);
  static int OnDelete(int);
  static int OnSelect(int);

  // The division named in the drop-down becomes current.
  void SelectByName(const std::string& name);
  // Adds and shows a division; false (nothing changed) for a refused name.
  bool AddNamedDivision(const std::string& name);
  void DeleteCurrent();
  // Adds (from the all-designs side) or removes (from the division side) a design, then
  // saves and shows the change. False when nothing changed.
  bool AddDesign(const SIM_UnitDesign* design);
  bool RemoveDesign(const SIM_UnitDesign* design);
  // A dragged copy was let go at (x, y).
  void Drop(const GUI_BS_DivisionIcon* copy, float x, float y);
  void FillDropDown();
  void UpdateDeleteButton();
  // Fades the designs the current division already holds.
  void MarkAllDesigns();
  void Layout();

  bool pausedBattle = false;
  SIM_Division* current = nullptr;  // not owned
  GUI_BS_Division* divisionPicker = nullptr;
  GUI_BS_DivisionsPicker* allPicker = nullptr;
  GUI_DropDownList* dropDown = nullptr;
  GUI_ButtonText* addButton = nullptr;
  GUI_ButtonText* deleteButton = nullptr;
  std::string allLabel;
  GUI_Rect nameRect, allRect;
};

GUI_BS_DivisionManager* GetOpenDivisionManager();
GUI_BS_NewDivision* GetOpenNewDivision();
// Opens the manager, replacing an open one.
void OpenDivisionManager();
// Deletes the open manager (which saves), if any; true when one was open.
bool CloseDivisionManager();
