#include "battlehud/AchievementsDialog.h"

#include <algorithm>

#include "app/GUI_GameModeBase.h"
#include "app/Game.h"
#include "app/Sounds.h"
#include "app/Transition.h"
#include "battlehud/EndOfBattle.h"
#include "engine/Singletons.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "engine/Textures.h"
#include "gui/Buttons.h"
#include "gui/GuiDraw.h"
#include "gui/ScrollingWindow.h"
#include "gui/SharedTextures.h"
#include "gui/WindowOrder.h"
#include "simdata/Achievements.h"

namespace {

GUI_BS_Achievements* g_achievements = nullptr;

void RegisterAchievementsReset() {
  static bool registered = (RegisterSingletonReset([] {
                              delete g_achievements;
                              g_achievements = nullptr;
                            }),
                            true);
  (void)registered;
}

std::string Text(const std::string& key) {
  const std::string& t = GetTranslation(key);
  return t.empty() ? key : t;
}

}  // namespace

GUI_BS_Medal::GUI_BS_Medal(const SIM_Achievement* a) {
  blocksClicks = false;
  if (a) {
    title = Text(a->title);
    for (int i = 0; i < 3; ++i) pictures[i] = a->pictures[i];
    descriptionText = Text(a->description);
  }
  overlay = !pictures[2].empty();
  description = new GUI_TextContainer();
  AddChild(description);
}

void GUI_BS_Medal::SetRect(float l, float t, float r, float b) {
  GUI_WindowBase::SetRect(l, t, r, b);
  side = 0.6f * static_cast<float>(right - left);
  upperLeft = (left + right) / 2.0f - side / 2.0f;
  upperTop = top + 26.0f;
  lowerTop = upperTop + side;
  // Inset from the frame so the text does not touch it.
  description->SetText(descriptionText, left + 8.0f, lowerTop + side + 10.0f, right - 8.0f, bottom - 4.0f);
}

void GUI_BS_Medal::Draw() {
  if (!visible) return;
  TextRenderer& tr = GetTextRenderer();
  tr.SetFont(gui_draw::kFont, gui_draw::kFontSize);
  tr.Print(2, title.c_str(), static_cast<float>(left), static_cast<float>(top), gui_draw::TextColour(),
           static_cast<float>(right - left));
  DrawNamedFrame("gui_square.dds", 8.0f, 0.35f, left + 2.0f, top + 2.0f, right - 2.0f, bottom - 2.0f);
  auto square = [&](const std::string& name, float y) {
    if (!name.empty())
      gui_draw::QueueQuad(FindOrLoadTexture(name), upperLeft, y, upperLeft + side, y + side, 0, 0, 1, 1,
                          0xffffffffu);
  };
  square(pictures[0], lowerTop);
  square(pictures[1], upperTop);
  if (overlay) square(pictures[2], upperTop);
  gui_draw::FlushSprites();
  DrawChildren();
}

GUI_BS_Achievements::GUI_BS_Achievements() : GUI_Dialog(false) {
  RegisterAchievementsReset();
  g_achievements = this;
  SIM_AchievementList& list = SIM_AchievementList::Get();
  const std::vector<const SIM_Achievement*> pending = list.NewlyUnlocked();
  bottomBorder += 20.0f;
  const int n = std::clamp(static_cast<int>(pending.size()), 2, kPerPage);
  SetSize(2.0f * 6.0f + static_cast<float>(kMedalWidth * n) + 50.0f, 430.0f);
  CentreOnScreen();
  SetTranslatedTitle("BS_ACHIEVEMENTS_TITLE");
  LayoutTitleBar();
  const float cx = (left + right) / 2.0f;
  continueButton = new GUI_ButtonText(&GUI_BS_Achievements::OnContinue, "BS_ACHIEVEMENTS_CONTINUE", 0);
  continueButton->SetTooltip("BS_ACHIEVEMENTS_CONTINUE_TT", 60);
  continueButton->SetRect(cx - 100, bottom - 30.0f, cx + 100, bottom - 10.0f);
  continueButton->SetName("BS_ACHIEVEMENTS_CONTINUE");
  AddButton(continueButton);
  const GUI_Rect c = GetClientRect();
  pages = new GUI_ScrollingWindow(GUI_ScrollingWindow::kVertical);
  AddChild(pages);
  pages->SetRect(c.right - 35.0f, c.top + 15.0f, c.right - 15.0f, c.bottom - 15.0f);
  for (const SIM_Achievement* a : pending) {
    medals.push_back(new GUI_BS_Medal(a));
    names.push_back(a->name);
  }
  LayoutPage();
  // The worker gets its own copy of the names; a busy runner sends them once it is free.
  PostAchievementNames(names);
  GUI_Sounds& sounds = GetSounds();
  sounds.PlaySoundFile("data/sounds/medal_award.ogg", false, sounds.InterfaceVolume() * sounds.MasterVolume(),
                       0);
}

GUI_BS_Achievements::~GUI_BS_Achievements() {
  if (g_achievements == this) g_achievements = nullptr;
  for (GUI_BS_Medal* m : medals) delete m;  // each leaves the child list
}

void GUI_BS_Achievements::Open() {
  if (g_achievements) {
    GUI_BS_Achievements* old = g_achievements;
    g_achievements = nullptr;
    delete old;
  }
  new GUI_BS_Achievements();
}

void GUI_BS_Achievements::LayoutPage() {
  for (GUI_BS_Medal* m : medals) RemoveChild(m);
  const GUI_Rect c = GetClientRect();
  const int count = static_cast<int>(medals.size());
  const int shown = std::min(count, kPerPage);
  const int pageCount = (count + kPerPage - 1) / kPerPage;
  pages->SetRange(static_cast<float>(pageCount), 1.0f, std::max(0, pageCount - 1));
  pages->changed = false;
  const int first = kPerPage * pages->Position();
  const float x0 = c.left + ((c.Width() - 40) - kMedalWidth * shown) / 2.0f + 10.0f;
  for (int i = 0; i < kPerPage && first + i < count; ++i) {
    GUI_BS_Medal* m = medals[static_cast<size_t>(first + i)];
    const float x = x0 + static_cast<float>(kMedalWidth * i);
    m->SetRect(x, c.top + 10.0f, x + kMedalWidth, c.bottom - 10.0f);
    AddChild(m);
  }
}

int GUI_BS_Achievements::OnContinue(int) {
  SIM_AchievementList::Get().ClearUnlocked();
  GetTransition().Start();
  if (g_achievements) {
    GUI_BS_Achievements* d = g_achievements;
    g_achievements = nullptr;
    d->Close();
    GetWindowOrder().DeleteLater(d);
  }
  GetGame().SetGameMode(MODE_MAIN_MENU);
  return 0;
}

void GUI_BS_Achievements::Draw() {
  if (!visible) return;
  PollEndOfBattleWorkers();
  if (pages->changed) LayoutPage();
  const bool buttons = drawButtons;
  drawButtons = false;
  GUI_Dialog::Draw();
  drawButtons = buttons;
  const GUI_Rect c = GetClientRect();
  DrawGUITexture(SHARED_DARK_CLIENT, 16.0f, 1.0f, true, static_cast<float>(c.left), static_cast<float>(c.top),
                 static_cast<float>(c.right), static_cast<float>(c.bottom));
  GUI_WindowBase::Draw();
  gui_draw::UseFont();
  DrawChildren();
  gui_draw::FlushAll();
}

GUI_BS_Achievements* GetOpenAchievements() { return g_achievements; }
