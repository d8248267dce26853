#pragma once
// The player's own profile on the online screen: the user, general and regiment names in
// edit fields, rank and experience, and the regiment badge with the button that opens
// the badge designer. The first save is the sign-up: the names are kept (user-name file
// and profile.ini) only once the server has accepted them.
#include <functional>
#include <memory>
#include <string>

#include "engine/GUI_BaseElement.h"
#include "engine/Sprites.h"
#include "gui/Dialog.h"

class GUI_ButtonText;
class GUI_TextEditWindow;
class SIM_WorkerJob;

// A generated general name: optionally "Sir ", a first name, a blank, a last name and,
// optionally, a hyphen and a second last name. `draw` gives values in [0, 1).
std::string MakeGeneralName(const std::function<float()>& draw);
std::string MakeRegimentName();

// Why the typed names cannot be sent (a strings key), or "" when they can: the user name
// must be a plain name (it names files and addresses), the other two not empty.
std::string CheckProfileNames(const std::string& user, const std::string& general,
                              const std::string& regiment);

class GUI_OL_Window : public GUI_Dialog {
 public:
  static constexpr float kWidth = 700.0f;
  static constexpr float kHeight = 340.0f;
  static constexpr int kMaxName = 64;
  GUI_OL_Window(float left, float top);
  ~GUI_OL_Window() override;
  void Draw() override;
  bool IsPopup() const override { return false; }
  void LoadFromProfile();
  // Shows the badge file again (after the designer saved it).
  void RefreshBadge();

  GUI_TextEditWindow* Field(int row) const { return fields_[row]; }
  GUI_ButtonText* SaveButton() const { return save_; }
  GUI_ButtonText* RandomGeneralButton() const { return randomGeneral_; }
  GUI_ButtonText* RandomRegimentButton() const { return randomRegiment_; }
  GUI_ButtonText* EditBadgeButton() const { return editBadge_; }
  bool Changed() const { return changed_; }
  bool Saving() const { return job_ != nullptr; }
  const std::string& RankText() const { return rankValue_; }
  const std::string& XpText() const { return xpValue_; }
  const CTexturedSprite& BadgeSprite() const { return badge_; }

  static int OnEditBadge(int);
  static int OnSaveChanges(int);
  static int OnRandomGeneralName(int);
  static int OnRandomRegimentName(int);
  static int OnProfileFieldChanged(int);

  struct SaveResult {
    bool accepted = false;
    std::string why;
  };

 private:
  void MarkChanged();
  std::string labels_[3];
  std::string rankLabel_, rankValue_, xpLabel_, xpValue_;
  GUI_TextEditWindow* fields_[3] = {};  // children
  GUI_ButtonText* save_ = nullptr;
  GUI_ButtonText* randomGeneral_ = nullptr;
  GUI_ButtonText* randomRegiment_ = nullptr;
  GUI_ButtonText* editBadge_ = nullptr;
  CTexturedSprite badge_;
  GUI_BaseElement badgeArea_;
  GUI_BaseElement rankArea_;
  bool changed_ = false;
  GUI_Rect rankBox_, xpBox_;
  std::shared_ptr<SIM_WorkerJob> job_;
  std::shared_ptr<SaveResult> result_;
  std::string sentUser_, sentGeneral_, sentRegiment_;
};

GUI_OL_Window* OpenProfileWindowDialog();
GUI_OL_Window* OpenProfileWindow(float left, float top);
