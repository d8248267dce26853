#pragma once
// The poster an online challenge shows while it loads: the badge, names, rank and
// experience of the player who posted it, and their achievements. Everything comes from
// files the challenge-details worker fetched earlier; loading the poster makes no request.
#include <string>

#include "engine/Sprites.h"
#include "gui/Dialog.h"

class GUI_OL_Achievements;
class GUI_RegimentBadge;

// Worker side: the challenge's details (with the poster's profile) and the poster's
// achievements, into "<web>/challenge_details.txt" and "<web>/poster_achievements.txt".
// Stale files are removed first, so a failed fetch shows no one else's poster.
bool FetchChallengePoster(const std::string& challengeId, const std::string& poster);

class GUI_OL_LoadingScreen : public GUI_Dialog {
 public:
  static constexpr float kWidth = 800.0f;
  static constexpr float kHeight = 400.0f;
  static constexpr uint32_t kLabelColour = 0xFFFFFFFFu;
  static constexpr uint32_t kValueColour = 0xFFE2B101u;
  GUI_OL_LoadingScreen();
  ~GUI_OL_LoadingScreen() override;
  // Reads the poster from the fetched files; without them everything stays as it was.
  void LoadPoster();
  void Draw() override;

  const std::string& Label(int i) const { return texts_[2 * i]; }
  const std::string& Value(int i) const { return texts_[2 * i + 1]; }
  // The badge's picture; empty when the badge shows the poster's layers instead.
  const std::string& BadgeTexture() const { return badgeTexture_; }
  // The poster's badge as the details dialog showed it; null before any poster.
  const GUI_RegimentBadge* Badge() const { return badgeWindow_; }
  GUI_OL_Achievements* Achievements() const { return achievements_; }
  float BadgeLeft() const { return badgeLeft_; }
  float BadgeTop() const { return badgeTop_; }
  float BadgeSide() const { return badgeSide_; }

 private:
  std::string badgeTexture_;
  GUI_OL_Achievements* achievements_ = nullptr;  // child
  GUI_RegimentBadge* badgeWindow_ = nullptr;     // child, once a poster was loaded
  std::string texts_[10];
  float badgeLeft_ = 0.0f, badgeTop_ = 0.0f, badgeSide_ = 0.0f;
};

// The loading screen's poster, built on first use.
GUI_OL_LoadingScreen& GetLoadingPoster();
// Gives the loading screen its poster hooks.
void InstallLoadingPoster();
