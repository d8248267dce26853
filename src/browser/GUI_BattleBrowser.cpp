#include "browser/GUI_BattleBrowser.h"

#include <algorithm>
#include <vector>

#include "app/Sounds.h"
#include "app/Tutorial.h"
#include "browser/OnlineBrowser.h"
#include "engine/D3DEngine.h"
#include "engine/Singletons.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "engine/Textures.h"
#include "gui/Buttons.h"
#include "gui/GuiDraw.h"
#include "gui/SharedTextures.h"
#include "gui/WindowOrder.h"
#include "simdata/GlobalStats.h"
#include "simdata/Options.h"
#include "simdata/Scenario.h"

namespace {
constexpr int kTooltipDelay = 60;
constexpr float kBorder = 32.0f;
// The details keep clear of the window's frame, as the left panel does.
constexpr float kDetailsInset = 10.0f;

GUI_BB_Window*& WindowPointer() {
  static GUI_BB_Window* window = nullptr;
  return window;
}
}  // namespace

GUI_BB_Window* GetBrowserWindow() { return WindowPointer(); }

// ---------------------------------------------------------------- the mode

GUI_BattleBrowser::GUI_BattleBrowser() {
  closeButton = new GUI_IconButton([](int) { return ReturnToMainMenu(), 0; }, "close_button.dds", 0,
                                   "close_button_h.dds");
  closeButton->SetTooltip("MAINMENU_TT", kTooltipDelay);
  AddButton(closeButton);
  SIM_ScenarioManager::Get().Load();
}

// Whoever closes every open window (a test's tear-down, a device loss) may have deleted
// the browser's window already: only the window still registered is deleted.
void GUI_BattleBrowser::DeleteWindow() {
  if (window && WindowPointer() == window) delete window;
  window = nullptr;
}

GUI_BattleBrowser::~GUI_BattleBrowser() { DeleteWindow(); }

void GUI_BattleBrowser::Enter() {
  D3DEngine& d3d = GetRenderDevice();
  const float w = static_cast<float>(d3d.ScreenWidth()), h = static_cast<float>(d3d.ScreenHeight());
  SetRect(0.0f, 0.0f, w, h);
  closeButton->SetRect(w - 36.0f, 0.0f, w, 36.0f);
  DeleteWindow();
  window = new GUI_BB_Window(reopenTab, reopenScenario);
  GetSounds().PlayMusic("ztk_main_theme.ogg", false, true);
}

void GUI_BattleBrowser::Leave() {
  // Dialogs of the browser never outlive it.
  delete GetAttackOptions();
  delete GetDefenseOptions();
  delete GetChallengeDetails();
  if (window && WindowPointer() == window) {
    reopenTab = window->currentTab;
    if (window->details && window->details->scenario) reopenScenario = window->details->scenario->name;
  }
  DeleteWindow();
  // Megabytes no other screen draws (least of all a battle): the next visit loads it again.
  UnloadTexture(GUI_BB_OfflineCampaignMap::kPicture);
}

// ---------------------------------------------------------------- the window

int GUI_BB_Window::WidthFor(int screenWidth) { return screenWidth >= 1280 ? 1280 : 1024; }
int GUI_BB_Window::HeightFor(int screenHeight) { return std::min(screenHeight - 68, 868); }

void GUI_BB_Window::PanelSizes(float windowWidth, float windowHeight, float& side, float& detailsWidth) {
  side = windowHeight - 50.0f;
  detailsWidth = windowWidth - side;
  if (detailsWidth < 300.0f) {
    side = windowWidth - 300.0f;
    detailsWidth = 300.0f;
  }
}

GUI_BB_Window::GUI_BB_Window(int tab, const std::string& scenarioName) : reopenScenario(scenarioName) {
  // A second window replaces the first: only one is ever open.
  delete WindowPointer();
  WindowPointer() = this;
  const int w = WidthFor(ScreenWidth()), h = HeightFor(ScreenHeight());
  SetRect(0.0f, 0.0f, static_cast<float>(w), static_cast<float>(h));
  CentreOnScreen();
  Open();
  panelSide = detailsWidth = static_cast<float>(width) / 2.0f;

  static const char* const kLabels[3] = {"BB_CAMPAIGN", "BB_CUSTOM", "BB_ONLINE"};
  for (int i = 0; i < 3; ++i) {
    tabButtons[i] = new GUI_ButtonText(OnTabButton, kLabels[i], static_cast<uint32_t>(i));
    tabButtons[i]->SetTooltip(std::string(kLabels[i]) + "_TT", kTooltipDelay);
    AddButton(tabButtons[i]);
  }
  tabButtons[kOnline]->SetName("BROWSERONLINEBUTTON");
  if (tab >= kCampaign && tab <= kOnline) currentTab = tab;
  ShowTab();
  // Only the first tab comes back to the remembered scenario; a tab switch starts afresh.
  reopenScenario.clear();
  GetTutorial().Trigger("BATTLE_BROWSER1");

  const float centre = (left + right) / 2.0f;
  for (int i = 0; i < 2; ++i) {
    CTexturedSprite& s = decoration[i];
    s.SetTextureByName("ui_deployment_bg.dds");
    s.SetSize(128.0f, 32.0f);
    if (i == 0)
      s.SetUV(0.4375f, 0.0f, 0.3125f, 0.125f);  // mirrored
    else
      s.SetUV(0.3125f, 0.0f, 0.4375f, 0.125f);
    s.SetPosition(i == 0 ? centre - 64.0f + 1.0f : centre + 64.0f - 1.0f, static_cast<float>(bottom) + 16.0f);
  }

  // A tutorial page still open from the main menu is drawn over this window and its panels;
  // it must also hear the clicks on it, or its OK can never be pressed.
  GUI_TutorialWindow::BringAllToFront();

  SIM_GlobalStats& stats = SIM_GlobalStats::Get();
  if (!stats.CheckReminder(2)) stats.CheckReminder(3);
}

GUI_BB_Window::~GUI_BB_Window() {
  if (WindowPointer() == this) WindowPointer() = nullptr;
}

void GUI_BB_Window::Draw() {
  if (!visible) return;
  const float l = static_cast<float>(left), t = static_cast<float>(top);
  const float r = static_cast<float>(right), b = static_cast<float>(bottom);
  if (SIM_Options::Get().GetFloat("OPTIONS_GRAPHICS_DETAIL") > 0.5f) DrawWindowBorder(kBorder, l, t, r, b);
  gui_draw::FlushAll();
  GetRenderDevice().SetNormalBlend();
  for (CTexturedSprite& s : decoration) s.DrawDirect();
  DrawWindowBackground(0, kBorder, l, t, r, b);
  gui_draw::FlushAll();
  DrawChildren();
  GUI_WindowBase::Draw();
}

void GUI_BB_Window::ShowTab() {
  delete campaignMap;
  campaignMap = nullptr;
  delete details;
  details = nullptr;
  delete customBrowser;
  customBrowser = nullptr;
  delete onlineBrowser;
  onlineBrowser = nullptr;

  PanelSizes(static_cast<float>(width), static_cast<float>(height), panelSide, detailsWidth);
  const float l = static_cast<float>(left), t = static_cast<float>(top);
  const float r = static_cast<float>(right), b = static_cast<float>(bottom);
  switch (currentTab) {
    case kCampaign: {
      campaignMap = new GUI_BB_OfflineCampaignMap();
      campaignMap->SetRect(l + 10.0f, t + 40.0f, l + 10.0f + panelSide, t + 40.0f + panelSide);
      AddChild(campaignMap);
      details = new GUI_BB_Details();
      details->SetRect(static_cast<float>(campaignMap->right), t, r - kDetailsInset, b - kDetailsInset);
      AddChild(details);
      campaignMap->ShowCampaignMap();
      break;
    }
    case kCustom: {
      customBrowser = new GUI_BB_CustomBrowser();
      customBrowser->SetRect(l + 10.0f, t + 40.0f, l + 10.0f + panelSide, t + 40.0f + panelSide);
      AddChild(customBrowser);
      details = new GUI_BB_Details();
      details->SetRect(static_cast<float>(customBrowser->right), t, r - kDetailsInset, b - kDetailsInset);
      AddChild(details);
      customBrowser->ShowCustomTab();
      break;
    }
    case kOnline:
    default: {
      onlineBrowser = new GUI_BB_OnlineBrowser();
      onlineBrowser->SetRect(l + 10.0f, t + 40.0f, r - 10.0f, b - 10.0f);
      AddChild(onlineBrowser);
      onlineBrowser->Layout();
      break;
    }
  }
  const float third = panelSide / 3.0f;
  for (int i = 0; i < 3; ++i) {
    const float x = l + 10.0f + third * static_cast<float>(i);
    tabButtons[i]->SetRect(x, t + 8.0f, x + third, t + 8.0f + 28.0f);
  }
}

int GUI_BB_Window::OnTabButton(int index) {
  GUI_BB_Window* window = GetBrowserWindow();
  if (!window || index < kCampaign || index > kOnline) return 0;
  if (index == window->currentTab) return 0;
  window->currentTab = index;
  window->ShowTab();
  return 0;
}
