#include "app/MainMenu.h"

#include <filesystem>
#include <string>

#include "app/Game.h"
#include "app/GameHooks.h"
#include "app/Sounds.h"
#include "app/TitleBackdrop.h"
#include "app/Transition.h"
#include "engine/D3DEngine.h"
#include "engine/Shell.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "gui/Cursor.h"
#include "gui/MessageBox.h"
#include "gui/Tooltip.h"
#include "gui/WindowOrder.h"
#include "simdata/GlobalStats.h"

namespace {

constexpr const char* kThemeMusic = "ztk_main_theme.ogg";
constexpr const char* kMenusMusic = "ztk_menus.ogg";
constexpr uint32_t kVersionColour = 0xFFFFFFFFu;

struct ButtonEntry {
  int screenIndex;
  const char* labelKey;
  GUI_ButtonCallback callback;
  int userData;
};

// In creation order; the screen order is the index.
const ButtonEntry kButtons[GUI_MainMenu::kButtonCount] = {
    {GUI_MainMenu::kOptions, "MAINMENU_OPTIONS", GUI_MainMenu::OnModeButton, MODE_OPTIONS},
    {GUI_MainMenu::kUnitDesign, "MAINMENU_UNITDESIGN", GUI_MainMenu::OnModeButton, MODE_UNIT_DESIGN},
    {GUI_MainMenu::kBattleBrowser, "MAINMENU_BATTLEBROWSER", GUI_MainMenu::OnModeButton, MODE_BATTLE_BROWSER},
    {GUI_MainMenu::kOnline, "MAINMENU_ONLINE", GUI_MainMenu::OnModeButton, MODE_ONLINE},
    {GUI_MainMenu::kManual, "MAINMENU_MANUAL", GUI_MainMenu::OnManualButton, 0},
    {GUI_MainMenu::kQuit, "MAINMENU_QUIT", GUI_MainMenu::OnQuitButton, 0},
};

}  // namespace

GUI_GameModeBase* CreateMainMenu() { return new GUI_MainMenu(); }

GUI_MainMenu::GUI_MainMenu() {
  for (const ButtonEntry& entry : kButtons) {
    auto* button = new GUI_ButtonText(entry.callback, entry.labelKey, static_cast<uint32_t>(entry.userData));
    button->SetTooltip(TooltipKey(entry.labelKey), kTooltipDelay);
    buttons_[entry.screenIndex] = button;
    AddButton(button);
  }
  // The first mode gets no Enter from the switch, so the menu enters itself.
  Enter();
  fading_ = true;
  fadeTimer_.speed = 1.0f;
  fadeTimer_.Start();
  CallGameLayerHook(GetGameLayerHooks().startOnlineUpdateThread);
}

GUI_MainMenu::~GUI_MainMenu() = default;

void GUI_MainMenu::LayOutButtons() {
  const float screenW = static_cast<float>(GetRenderDevice().ScreenWidth());
  const float screenH = static_cast<float>(GetRenderDevice().ScreenHeight());
  const float top = screenH - kRowFromBottom;
  // The widths are thirds of a pixel written to four places; the nudge keeps the
  // whole-pixel edges where the exact thirds put them (the row ends at 1015, not 1014).
  constexpr double kNudge = 0.0005;
  for (int i = 0; i < kButtonCount; ++i) {
    const double left =
        screenW / 2.0 - static_cast<double>(kRowOffset) + static_cast<double>(i) * kButtonStep;
    buttons_[i]->SetRect(static_cast<float>(left + kNudge), top,
                         static_cast<float>(left + kButtonWidth + kNudge), top + kButtonHeight);
  }
}

void GUI_MainMenu::Enter() {
  D3DEngine& d3d = GetRenderDevice();
  SetRect(0.0f, 0.0f, static_cast<float>(d3d.ScreenWidth()), static_cast<float>(d3d.ScreenHeight()));
  LayOutButtons();
  // The tutorial scripts find these two by name.
  buttons_[kOnline]->SetName("ONLINEBUTTON");
  buttons_[kUnitDesign]->SetName("UNITDESIGNBUTTON");
  // Does nothing while the theme is still playing.
  GetSounds().PlayMusic(kThemeMusic, false, true);

  SIM_GlobalStats& stats = SIM_GlobalStats::Get();
  stats.UpdateReminders();
  if (!stats.CheckReminder(0)) stats.CheckReminder(1);
}

bool GUI_MainMenu::CoversWholeScreen() const {
  return TitleBackdropExists() && GetTitleBackdrop().CoversScreen();
}

void GUI_MainMenu::Draw() {
  GetTitleBackdrop().Draw(true);

  D3DEngine& d3d = GetRenderDevice();
  TextRenderer& text = GetTextRenderer();
  if (text.IsInitialised()) {
    text.SetFont("18.dds", 16.0f);
    const std::string version = GameExists() ? GetGame().GetVersionString() : std::string();
    text.Print(1, version.c_str(), static_cast<float>(d3d.ScreenWidth() - 10), 3.0f, kVersionColour);
    text.Flush();
  }

  DrawButtons();
  GetWindowOrder().Draw();
  GUI_Tooltip::DrawQueued();
  GetGUICursor().Draw();
  GetTransition().Draw();
  DrawFade();
}

void GUI_MainMenu::DrawFade() {
  if (!fading_) return;
  fadeTimer_.Update();
  const float f = fadeTimer_.total / kFadeMs;
  if (f >= 1.0f) {
    fading_ = false;
    return;
  }
  int alpha = static_cast<int>(255.0f - (f > 0.0f ? f : 0.0f) * 255.0f);
  if (alpha > 255) alpha = 255;
  if (alpha <= 0) return;
  D3DEngine& d3d = GetRenderDevice();
  d3d.SetNormalBlend();
  d3d.DrawRect(0.0f, 0.0f, static_cast<float>(d3d.ScreenWidth()), static_cast<float>(d3d.ScreenHeight()),
               static_cast<uint32_t>(alpha) << 24);
}

void GUI_MainMenu::OnKeyDown(int key) {
  if (FocusedEdit) FocusedEdit->OnKeyDown(key);
  if (key != kKeyEscape) return;
  // An open message box takes the player's attention: Escape does nothing here.
  if (OpenMessageBox()) return;
  GUI_WindowOrder& order = GetWindowOrder();
  if (order.IsAnyPopupOpen()) {
    order.CloseTopmost();
  } else {
    GetGame().Shutdown();
  }
}

void GUI_MainMenu::Process() { ProcessStandardMode(this); }
void GUI_MainMenu::OnLeftDown() { StandardModeLeftDown(this); }
void GUI_MainMenu::OnWheelUp() { StandardModeWheelUp(); }
void GUI_MainMenu::OnWheelDown() { StandardModeWheelDown(); }

int GUI_MainMenu::OnModeButton(int mode) {
  GetTransition().Start();
  GetGame().SetGameMode(mode);
  GetSounds().PlayMusic(kMenusMusic, false, true);
  return 0;
}

int GUI_MainMenu::OnManualButton(int) {
  // The game makes way for the manual's reader, once one has started.
  if (OpenManual()) {
    GetGame().Shutdown();
    return 0;
  }
  // Nothing here can show it: say where the file lies so the player can open it with a
  // program of their own, and stay.
  std::error_code error;
  const std::string path = ManualPath();
  const bool exists = std::filesystem::exists(path, error);
  std::string text = GetTranslation(exists ? "MAINMENU_MANUAL_NOVIEWER" : "MAINMENU_MANUAL_MISSING");
  const size_t at = text.find("%s");
  if (at != std::string::npos)
    text.replace(at, 2, path);
  else
    text += " " + path;
  ShowMessage("MAINMENU_MANUAL", text, GUI_Message::kStyleClose, nullptr);
  return 0;
}

int GUI_MainMenu::OnQuitButton(int) {
  GetGame().Shutdown();
  return 0;
}
