#pragma once
// The player's online identity: names kept in profile.ini, the rank and experience the
// server reports, the rank names, the random name suggestions and the regiment badge
// layers and image cache.
#include <mutex>
#include <string>
#include <vector>

struct RegimentBadge {
  std::string texture;  // a shipped badge layer image, or empty
  float scale = 1.0f;
  float offset = 0.0f;
  int red = 255, green = 255, blue = 255, alpha = 255;
};

// What tempprofile.ini (the server's profile answer) holds.
struct ProfileAnswer {
  std::string userName, generalName, regimentName;
  int rank = 0;
  int xp = 0;
  RegimentBadge layers[3];
};

// Reads a profile answer; false (logged) when the file is missing or has no profile.
bool ReadProfileAnswer(const std::string& file, ProfileAnswer& out);

class SIM_PlayerProfile {
 public:
  static constexpr int kRankSlots = 19;
  static constexpr int kShownRanks = 9;

  SIM_PlayerProfile();
  virtual ~SIM_PlayerProfile();

  void Load();
  bool Save() const;
  // Reads "<web>/tempprofile.ini" into the record; a missing or broken file is logged
  // and leaves the record as it was (false).
  bool LoadTempProfile();
  void Apply(const ProfileAnswer& answer);

  std::string GetUserName() const;
  std::string GetGeneralName() const;
  std::string GetRegimentName() const;
  int GetRank() const;
  int GetXp() const;
  void SetUserName(const std::string& name);
  void SetGeneralName(const std::string& name);
  void SetRegimentName(const std::string& name);
  // The badge of the last profile answer applied; false (plain layers) before one arrived.
  bool GetBadge(RegimentBadge (&layers)[3]) const;
  // Rank name of slot 0 to 8; empty for any other index.
  std::string GetRankName(int index) const;

 private:
  mutable std::mutex mutex_;
  std::string userName_ = "notset", generalName_ = "notset", regimentName_ = "notset";
  int rank_ = 0, xp_ = 0;
  RegimentBadge badge_[3];
  bool hasBadge_ = false;
  std::string rankNames_[kRankSlots];
};

SIM_PlayerProfile& GetPlayerProfile();
std::string GetRankName(int index);

// Name suggestions: 0 general first names, 1 general last names, 2 regiment names. The
// list is shuffled once; the cursor wraps to the first name after the last.
std::string NextName(int list);

// The shipped images a badge layer may name ("data/badges/<kind>/..."), kind 0 background,
// 1 crest, 2 inset.
const std::vector<std::string>& BadgeLayerImages(int kind);
// Fills a layer from "texture,scale,offset,r,g,b,a" (a missing field reads 0); a texture
// that is not a shipped layer image of `kind` is dropped (empty), colours are clamped.
void ParseBadgeLayer(RegimentBadge& layer, const std::string& value, int kind = -1);

// The cached badge images ("ztk_badge_<user>.jpg" in the badge folder), listed once.
const std::vector<std::string>& GetRegimentBadgeList();
std::string BadgeFileName(const std::string& user);
// The texture name of a player's badge: the cached image, else "battle_icon.dds".
std::string GetBadgeImagePath(const std::string& user);
// Fetches a player's badge unless the list already holds it; false for a name that is
// not a plain file name.
bool DownloadRegimentBadge(const std::vector<std::string>& badgeList, const std::string& user);
