#pragma once
// The achievements grid: each achievement an item of two icons (its category over its
// medal) with a tooltip, unlocked ones first and locked ones drawn grey. The online
// screen lists the player's own; comparison panels and the challenge poster list another
// player's, as the server reports them, all shown unlocked.
#include <string>
#include <vector>

#include "engine/Sprites.h"
#include "gui/Dialog.h"

class GUI_ScrollingWindow;
class GUI_Tooltip;
class SIM_Achievement;
class SIM_WorkerJob;

class GUI_OL_Achievement : public GUI_WindowBase {
 public:
  static constexpr const char* kLockedEffect = "data/shaders/achievement_locked.fx";
  // The item copies what it shows; `unlocked` is how it is shown (the definition is not
  // touched).
  GUI_OL_Achievement(const SIM_Achievement& definition, bool unlocked);
  ~GUI_OL_Achievement() override;
  void Process() override;
  void Draw() override;
  bool Unlocked() const { return unlocked_; }
  const std::string& Name() const { return name_; }
  bool HasOverlay() const { return hasOverlay_; }
  GUI_Tooltip* Tooltip() const { return tooltip_; }
  const CTexturedSprite& Icon() const { return icon_; }
  const CTexturedSprite& SecondIcon() const { return secondIcon_; }
  const CTexturedSprite& Overlay() const { return overlay_; }

 private:
  CTexturedSprite icon_, secondIcon_, overlay_;
  GUI_Tooltip* tooltip_ = nullptr;  // owned
  std::string name_;
  bool hasOverlay_ = false;
  bool unlocked_ = false;
};

class GUI_OL_Achievements : public GUI_WindowBase {
 public:
  GUI_OL_Achievements();
  ~GUI_OL_Achievements() override;
  void Setup(int columns, float itemSize, bool showScrollBar);
  // The player's own: every definition once, unlocked first, each group in file order.
  void FillOwn();
  // The named achievements, shown unlocked; names without a definition are skipped.
  void FillUnlocked(const std::vector<std::string>& names);
  void Clear();
  void Layout();
  void SetRect(float l, float t, float r, float b) override;
  void Draw() override;
  void OnWheelUp() override;
  void OnWheelDown() override;
  const std::vector<GUI_OL_Achievement*>& Items() const { return items_; }
  // The items placed by the last layout (at most two rows).
  std::vector<GUI_OL_Achievement*> PlacedItems() const;
  GUI_ScrollingWindow* ScrollBar() const { return scrollBar_; }
  int Columns() const { return columns_; }
  float ItemSize() const { return size_; }

 private:
  std::vector<GUI_OL_Achievement*> items_;    // owned; placed ones are also children
  GUI_ScrollingWindow* scrollBar_ = nullptr;  // child
  int columns_ = 10;
  float size_ = 63.0f;
};

// Another player's achievement names from the server (worker thread). The reply goes to
// a file of its own, so the player's own list is never replaced; a failed download
// gives none.
bool FetchAchievementNames(const std::string& profile, std::vector<std::string>& names);

class GUI_OL_AchievementsDialog : public GUI_Dialog {
 public:
  explicit GUI_OL_AchievementsDialog(float left, float top, float right, float bottom);
  ~GUI_OL_AchievementsDialog() override;
  void Draw() override;
  void OnWheelUp() override;
  void OnWheelDown() override;
  bool IsPopup() const override { return false; }
  GUI_OL_Achievements* List() const { return list_; }

 private:
  GUI_OL_Achievements* list_ = nullptr;  // child
};

GUI_OL_AchievementsDialog* OpenAchievementsDialogWindow();
GUI_OL_AchievementsDialog* OpenAchievementsDialog(float left, float top, float right, float bottom);
