#pragma once
// Two profiles side by side: the player's and another's, each with names, experience,
// rank, regiment badge and achievements. Both are fetched on the worker into plain
// records; the panels are built on the GUI thread when the worker is done.
#include <memory>
#include <string>
#include <vector>

#include "engine/Sprites.h"
#include "gui/Dialog.h"
#include "online/PlayerProfile.h"

class GUI_OL_Achievements;
class GUI_RegimentBadge;
class SIM_WorkerJob;

// What one panel shows, as fetched.
struct ComparedProfile {
  std::string userName;
  bool loaded = false;  // the profile request went through
  std::string general, regiment, rankName, xpText;
  std::string badgeTexture;
  // Without a saved badge picture of theirs: the layers their profile names, drawn in its
  // place when any is a shipped image.
  bool layered = false;
  RegimentBadge layers[3];
  std::vector<std::string> achievements;
};
// Worker side: the profile, the badge (downloaded when missing) and the achievements of
// one player. `own` is the signed-up player's name (their badge is the local file).
ComparedProfile FetchComparedProfile(const std::string& name, const std::string& own);

class GUI_OL_UserComparison : public GUI_WindowBase {
 public:
  GUI_OL_UserComparison();
  ~GUI_OL_UserComparison() override;
  void Load(const ComparedProfile& profile);
  void Draw() override;
  const std::string& Value(int i) const { return values_[i]; }
  const std::string& Label(int i) const { return labels_[i]; }
  const CTexturedSprite& BadgeSprite() const { return badge_; }
  bool HasBadge() const { return hasBadge_; }
  // Empty once the profile arrived; else why it is not shown.
  const std::string& Status() const { return status_; }
  // The layered badge shown instead of the picture; null when the picture shows.
  const GUI_RegimentBadge* LayeredBadge() const { return layered_; }
  GUI_OL_Achievements* Achievements() const { return achievements_; }

 private:
  std::string labels_[5], values_[5];
  std::string status_;
  CTexturedSprite badge_;
  bool hasBadge_ = false;
  GUI_OL_Achievements* achievements_ = nullptr;  // child
  GUI_RegimentBadge* layered_ = nullptr;         // child while shown
};

class GUI_OL_Compare : public GUI_Dialog {
 public:
  static constexpr float kWidth = 800.0f;
  static constexpr float kHeight = 540.0f;
  explicit GUI_OL_Compare(const std::string& other);
  ~GUI_OL_Compare() override;
  void Draw() override;
  const std::string& Other() const { return other_; }
  bool Loading() const { return job_ != nullptr; }
  GUI_OL_UserComparison* LeftPanel() const { return left_; }
  GUI_OL_UserComparison* RightPanel() const { return right_; }
  // Builds both panels from fetched records (GUI thread).
  void ShowProfiles(const ComparedProfile& mine, const ComparedProfile& theirs);

 private:
  struct Result {
    ComparedProfile mine, theirs;
  };
  std::string other_;
  GUI_OL_UserComparison* left_ = nullptr;   // child
  GUI_OL_UserComparison* right_ = nullptr;  // child
  std::shared_ptr<SIM_WorkerJob> job_;
  std::shared_ptr<Result> result_;
};

GUI_OL_Compare* OpenProfileComparisonWindow();
GUI_OL_Compare* OpenProfileComparison(const std::string& name);
