#include "online/LoadingPoster.h"

#include <cstdio>

#include "app/LoadingScreen.h"
#include "engine/D3DEngine.h"
#include "engine/Folders.h"
#include "engine/MathHelpers.h"
#include "engine/SettingsFile.h"
#include "engine/Singletons.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "engine/Tokenizer.h"
#include "gui/GuiDraw.h"
#include "gui/SharedTextures.h"
#include "online/AchievementsScreen.h"
#include "online/BadgeDesigner.h"
#include "online/Friends.h"
#include "online/Messages.h"
#include "online/PlayerProfile.h"
#include "online/RegimentBadge.h"
#include "online/Server.h"

using namespace gui_draw;

namespace {
std::string WebFile(const char* name) { return GetUserFolder(USERFOLDER_WEB) + "/" + name; }

int FirstNumber(const std::string& text) { return ParseInt(text.substr(0, 63)); }

struct PosterHolder {
  std::unique_ptr<GUI_OL_LoadingScreen> poster;
};
}  // namespace

bool FetchChallengePoster(const std::string& challengeId, const std::string& poster) {
  const std::string details = WebFile("challenge_details.txt");
  const std::string achievements = WebFile("poster_achievements.txt");
  std::remove(details.c_str());
  std::remove(achievements.c_str());
  if (!IsPlainFileName(poster, SIM_Server::kMaxUserName)) return false;
  if (!GetInternet().GetChallengeDetails(challengeId, poster)) return false;
  DownloadRegimentBadge(GetRegimentBadgeList(), poster);
  std::vector<std::string> names;
  if (FetchAchievementNames(poster, names)) {
    std::string text;
    for (const std::string& name : names) text += "#," + name + ",\n";
    WriteFileAtomic(achievements, text);
  }
  return true;
}

GUI_OL_LoadingScreen::GUI_OL_LoadingScreen() : GUI_Dialog(false) {
  const char* keys[5] = {"POSTER_USERNAME", "POSTER_GENERAL", "POSTER_REGIMENT", "POSTER_RANK", "POSTER_XP"};
  for (int i = 0; i < 5; ++i) texts_[2 * i] = GetTranslation(keys[i]);
  SetSize(kWidth, kHeight);
  CentreOnScreen();
  SetTranslatedTitle("ONLINE_LOADING_TITLE");
  LayoutTitleBar();
  // Drawn only by the loading screen: never in the window order.
  Close();
  achievements_ = new GUI_OL_Achievements();
  AddChild(achievements_);
}

GUI_OL_LoadingScreen::~GUI_OL_LoadingScreen() = default;

void GUI_OL_LoadingScreen::LoadPoster() {
  // The screen may have changed size since the poster was built.
  MoveWithContents(static_cast<float>((ScreenWidth() - (right - left)) / 2),
                   static_cast<float>((ScreenHeight() - (bottom - top)) / 2));
  LayoutTitleBar();
  const GUI_Rect c = GetClientRect();
  badgeSide_ = static_cast<float>(c.bottom - c.top - 20);
  badgeLeft_ = c.left + 10.0f;
  badgeTop_ = c.top + 10.0f;
  const std::string file = WebFile("challenge_details.txt");
  if (!FileExists(file)) return;
  SettingsFile ini;
  ini.LoadSection(file, "profile");
  const std::string user = ini.GetString("username");
  texts_[1] = MessageDisplayText(user).substr(0, SIM_Server::kMaxUserName);
  texts_[3] = MessageDisplayText(ini.GetString("general_name")).substr(0, 64);
  texts_[5] = MessageDisplayText(ini.GetString("regiment_name")).substr(0, 64);
  texts_[7] = GetRankName(FirstNumber(ini.GetString("rank")));
  texts_[9] = FormatThousands(FirstNumber(ini.GetString("xp")));
  // The same badge the challenge's details showed: the poster's picture when one was
  // fetched, else the layers their profile names, else the stand-in.
  std::vector<std::pair<std::string, std::string>> layers;
  for (const char* key : {"badge_bg", "badge_crest", "badge_inset"})
    if (ini.HasKey(key)) layers.emplace_back(key, ini.GetString(key));
  delete badgeWindow_;
  badgeWindow_ = MakeProfileBadge(user, layers);
  AddChild(badgeWindow_);
  badgeWindow_->SetRect(badgeLeft_, badgeTop_, badgeLeft_ + badgeSide_, badgeTop_ + badgeSide_);
  badgeTexture_ = badgeWindow_->Picture();
  achievements_->SetRect(badgeLeft_ + badgeSide_, badgeTop_ + 198.0f, static_cast<float>(c.right),
                         static_cast<float>(c.bottom));
  achievements_->Setup(12, 30.0f, false);
  achievements_->FillUnlocked(ReadNameList(WebFile("poster_achievements.txt")));
}

void GUI_OL_LoadingScreen::Draw() {
  GUI_Dialog::Draw();
  const GUI_Rect c = GetClientRect();
  DrawGUITexture(SHARED_DARK_CLIENT, 16.0f, 1.0f, true, static_cast<float>(c.left), static_cast<float>(c.top),
                 static_cast<float>(c.right), static_cast<float>(c.bottom));
  FlushSprites();
  DrawChildren();
  FlushAll();
  D3DEngine& d3d = GetRenderDevice();
  d3d.SetNormalBlend();
  if (badgeSide_ > 0.0f && !badgeWindow_) {
    // No poster yet: an empty frame where the badge goes.
    d3d.SetTexture(nullptr);
    d3d.DrawRect(badgeLeft_, badgeTop_, badgeLeft_ + badgeSide_, badgeTop_ + badgeSide_, 0xFF101010u);
  }
  TextRenderer& text = GetTextRenderer();
  if (text.IsInitialised()) {
    text.SetFont("18.dds", 16.0f);
    const float x = badgeLeft_ + badgeSide_ + 10.0f;
    for (int i = 0; i < 10; ++i)
      if (!texts_[i].empty())
        text.Print(0, texts_[i].c_str(), x, badgeTop_ - 2.0f + 20.0f * i,
                   i % 2 ? kValueColour : kLabelColour);
    text.Flush();
  }
}

GUI_OL_LoadingScreen& GetLoadingPoster() {
  PosterHolder& holder = ProcessWide<PosterHolder>();
  if (!holder.poster) holder.poster = std::make_unique<GUI_OL_LoadingScreen>();
  return *holder.poster;
}

void InstallLoadingPoster() {
  GUI_LoadingScreen::SetPosterHooks([] { GetLoadingPoster().LoadPoster(); },
                                    [] { GetLoadingPoster().Draw(); });
}
