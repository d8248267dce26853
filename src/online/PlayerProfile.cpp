#include "online/PlayerProfile.h"

#include <algorithm>
#include <cstdlib>
#include <random>

#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/Random.h"
#include "engine/SettingsFile.h"
#include "engine/Singletons.h"
#include "engine/Tokenizer.h"
#include "online/Server.h"

namespace {
std::string ProfilePath() { return GetUserFolder(USERFOLDER_ROOT) + "/profile.ini"; }

struct NameLists {
  std::mutex mutex;
  bool built[3] = {false, false, false};
  std::vector<std::string> names[3];
  size_t cursor[3] = {0, 0, 0};
};

struct BadgeImages {
  std::vector<std::string> kinds[3];
  bool built = false;
};

struct BadgeCache {
  std::vector<std::string> list;
};

int Clamp255(int value) { return std::min(255, std::max(0, value)); }
}  // namespace

bool ReadProfileAnswer(const std::string& file, ProfileAnswer& out) {
  SettingsFile ini;
  if (!ini.Load("profile", file)) {
    DebugLogF("Failed to load profile file %.300s", file.c_str());
    return false;
  }
  out.userName = ini.GetString("username").substr(0, SIM_Server::kMaxUserName);
  out.generalName = ini.GetString("general_name").substr(0, 128);
  out.regimentName = ini.GetString("regiment_name").substr(0, 128);
  out.rank = ini.GetInt("rank", 0);
  out.xp = std::max(0, ini.GetInt("xp", 0));
  const char* keys[3] = {"badge_bg", "badge_crest", "badge_inset"};
  for (int i = 0; i < 3; ++i) {
    out.layers[i] = RegimentBadge();
    if (ini.HasKey(keys[i])) ParseBadgeLayer(out.layers[i], ini.GetString(keys[i]), i);
  }
  return true;
}

SIM_PlayerProfile::SIM_PlayerProfile() {
  SettingsFile ranks;
  ranks.Load("ranks", "data/ranks.ini");
  int slot = 0;
  for (const auto& entry : ranks.Entries()) {
    if (slot >= kRankSlots) {
      DebugLog("data/ranks.ini: more ranks than the table holds; the rest are ignored");
      break;
    }
    rankNames_[slot++] = entry.second;
  }
  Load();
}

SIM_PlayerProfile::~SIM_PlayerProfile() = default;

void SIM_PlayerProfile::Load() {
  SettingsFile ini;
  if (!ini.Load("profile", ProfilePath())) return;
  std::lock_guard<std::mutex> lock(mutex_);
  userName_ = ini.GetString("username");
  generalName_ = ini.GetString("generalname");
  regimentName_ = ini.GetString("regimentname");
}

bool SIM_PlayerProfile::Save() const {
  SettingsFile ini;
  ini.SetSectionName("profile");
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ini.SetValue("username", userName_);
    ini.SetValue("generalname", generalName_);
    ini.SetValue("regimentname", regimentName_);
  }
  return ini.Save(ProfilePath());
}

bool SIM_PlayerProfile::LoadTempProfile() {
  ProfileAnswer answer;
  if (!ReadProfileAnswer(GetUserFolder(USERFOLDER_WEB) + "/tempprofile.ini", answer)) return false;
  Apply(answer);
  return true;
}

void SIM_PlayerProfile::Apply(const ProfileAnswer& answer) {
  std::lock_guard<std::mutex> lock(mutex_);
  userName_ = answer.userName;
  generalName_ = answer.generalName;
  regimentName_ = answer.regimentName;
  rank_ = answer.rank;
  xp_ = answer.xp;
  for (int i = 0; i < 3; ++i) badge_[i] = answer.layers[i];
  hasBadge_ = true;
}

bool SIM_PlayerProfile::GetBadge(RegimentBadge (&layers)[3]) const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (int i = 0; i < 3; ++i) layers[i] = badge_[i];
  return hasBadge_;
}

std::string SIM_PlayerProfile::GetUserName() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return userName_;
}
std::string SIM_PlayerProfile::GetGeneralName() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return generalName_;
}
std::string SIM_PlayerProfile::GetRegimentName() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return regimentName_;
}
int SIM_PlayerProfile::GetRank() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return rank_;
}
int SIM_PlayerProfile::GetXp() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return xp_;
}
void SIM_PlayerProfile::SetUserName(const std::string& name) {
  std::lock_guard<std::mutex> lock(mutex_);
  userName_ = name;
}
void SIM_PlayerProfile::SetGeneralName(const std::string& name) {
  std::lock_guard<std::mutex> lock(mutex_);
  generalName_ = name;
}
void SIM_PlayerProfile::SetRegimentName(const std::string& name) {
  std::lock_guard<std::mutex> lock(mutex_);
  regimentName_ = name;
}

std::string SIM_PlayerProfile::GetRankName(int index) const {
  if (index < 0 || index >= kShownRanks) return std::string();
  return rankNames_[index];
}

SIM_PlayerProfile& GetPlayerProfile() { return ProcessWide<SIM_PlayerProfile>(); }
std::string GetRankName(int index) { return GetPlayerProfile().GetRankName(index); }

std::string NextName(int list) {
  static const char* files[3] = {"data/generals_firstnames.txt", "data/generals_lastnames.txt",
                                 "data/regiments.txt"};
  if (list < 0 || list > 2) return std::string();
  NameLists& lists = ProcessWide<NameLists>();
  std::lock_guard<std::mutex> lock(lists.mutex);
  if (!lists.built[list]) {
    lists.built[list] = true;
    SettingsFile text;
    text.Load("text", files[list]);
    for (const auto& entry : text.Entries()) lists.names[list].push_back(entry.second.substr(0, 2047));
    std::mt19937 order(static_cast<unsigned>(EngineRand()));
    std::shuffle(lists.names[list].begin(), lists.names[list].end(), order);
  }
  std::vector<std::string>& names = lists.names[list];
  if (names.empty()) return std::string();
  std::string name = names[lists.cursor[list] % names.size()];
  lists.cursor[list] = (lists.cursor[list] + 1) % names.size();
  return name;
}

const std::vector<std::string>& BadgeLayerImages(int kind) {
  static const char* folders[3] = {"data/badges/background/*.dds", "data/badges/crest/*.dds",
                                   "data/badges/inset/*.dds"};
  BadgeImages& images = ProcessWide<BadgeImages>();
  if (!images.built) {
    images.built = true;
    for (int k = 0; k < 3; ++k) images.kinds[k] = ListFiles(folders[k]);
  }
  static const std::vector<std::string> none;
  return kind >= 0 && kind < 3 ? images.kinds[kind] : none;
}

void ParseBadgeLayer(RegimentBadge& layer, const std::string& value, int kind) {
  Tokenizer tokens(value.substr(0, 512), ',');
  std::string texture = tokens.NextString();
  layer.scale = tokens.NextFloat();
  layer.offset = tokens.NextFloat();
  layer.red = Clamp255(tokens.NextInt());
  layer.green = Clamp255(tokens.NextInt());
  layer.blue = Clamp255(tokens.NextInt());
  layer.alpha = Clamp255(tokens.NextInt());
  if (!(layer.scale >= 0.0f && layer.scale <= 4.0f)) layer.scale = 1.0f;
  if (!(layer.offset >= -2.0f && layer.offset <= 2.0f)) layer.offset = 0.0f;
  bool known = false;
  for (int k = 0; k < 3 && !known; ++k) {
    if (kind >= 0 && k != kind) continue;
    const std::vector<std::string>& images = BadgeLayerImages(k);
    known = std::find(images.begin(), images.end(), texture) != images.end();
  }
  if (!known && !texture.empty()) {
    DebugLogF("IWARNING:  badge layer \"%.64s\" is not a shipped image; left out", texture.c_str());
    texture.clear();
  }
  layer.texture = texture;
}

const std::vector<std::string>& GetRegimentBadgeList() {
  BadgeCache& cache = ProcessWide<BadgeCache>(
      [](BadgeCache& c) { c.list = ListFiles(GetUserFolder(USERFOLDER_BADGE_DATABASE) + "/*.jpg"); });
  return cache.list;
}

std::string BadgeFileName(const std::string& user) { return "ztk_badge_" + user + ".jpg"; }

std::string GetBadgeImagePath(const std::string& user) {
  if (IsPlainFileName(BadgeFileName(user)) &&
      FileExists(GetUserFolder(USERFOLDER_BADGE_DATABASE) + "/" + BadgeFileName(user)))
    return BadgeFileName(user);
  return "battle_icon.dds";
}

bool DownloadRegimentBadge(const std::vector<std::string>& badgeList, const std::string& user) {
  if (!IsPlainFileName(user, SIM_Server::kMaxUserName) || !IsPlainFileName(BadgeFileName(user))) {
    DebugLogF("IWARNING:  badge user \"%.64s\" is not a plain name", user.c_str());
    return false;
  }
  std::string name = BadgeFileName(user);
  if (std::find(badgeList.begin(), badgeList.end(), name) != badgeList.end()) return true;
  std::string folder = GetUserFolder(USERFOLDER_BADGE_DATABASE);
  TryEnsureDirectoryExists(folder);
  return GetInternet().GetRegimentBadge(user, folder + "/" + name);
}
