#include "app/OptionsScreen.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "app/CInput.h"
#include "app/Game.h"
#include "app/Sounds.h"
#include "app/TitleBackdrop.h"
#include "app/Transition.h"
#include "app/Tutorial.h"
#include "engine/D3DEngine.h"
#include "engine/Log.h"
#include "engine/Shell.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "engine/Textures.h"
#include "gui/Cursor.h"
#include "gui/GuiDraw.h"
#include "gui/SharedTextures.h"
#include "gui/Tooltip.h"
#include "gui/WindowOrder.h"
#include "simdata/Options.h"

using namespace gui_draw;

namespace {

constexpr int kTooltipDelay = 60;
constexpr float kBorder = 32.0f;
constexpr float kPanelWidth = 960.0f;
constexpr float kToggleWidth = 300.0f;
constexpr float kToggleHeight = 42.0f;
constexpr float kSliderWidth = 280.0f;
constexpr float kButtonHeight = 32.0f;

void ReloadVolumesAction(const std::string& key, float value) {
  SIM_Options::Get().SetFloat(key, value);
  GetSounds().ReloadVolumes();
}

void SetOptionAction(const std::string& key, float value) { SIM_Options::Get().SetFloat(key, value); }

struct SliderEntry {
  const char* key;
  GUI_OptionsSlider::Action action;
};
const SliderEntry kSliders[GUI_Options::kSliderCount] = {
    {"OPTIONS_SFX", ReloadVolumesAction},          {"OPTIONS_MUSIC", ReloadVolumesAction},
    {"OPTIONS_MASTERVOLUME", ReloadVolumesAction}, {"OPTIONS_INTERFACE_VOLUME", ReloadVolumesAction},
    {"OPTIONS_GRAPHICS_DETAIL", SetOptionAction},  {"OPTIONS_MAP_SCROLL_SPEED", SetOptionAction},
};

const char* const kToggleLabels[SIM_Options::kToggleCount] = {
    "OPTIONS_MOTIONBLUR", "OPTIONS_BLOOD",         "OPTIONS_CLOUDS",      "OPTIONS_INVERTZOOM",
    "OPTIONS_TRACKS",     "OPTIONS_DRIFTINGSMOKE", "OPTIONS_TRANSITIONS", "OPTIONS_SHADOWS",
    "OPTIONS_SHADOWMAPS", "OPTIONS_CAMERASHAKE",   "OPTIONS_DISTORTION",
};

}  // namespace

const char* const GUI_Options::kSliderKeys[GUI_Options::kSliderCount] = {
    "OPTIONS_SFX",
    "OPTIONS_MUSIC",
    "OPTIONS_MASTERVOLUME",
    "OPTIONS_INTERFACE_VOLUME",
    "OPTIONS_GRAPHICS_DETAIL",
    "OPTIONS_MAP_SCROLL_SPEED",
};

// ---- slider -----------------------------------------------------------------

GUI_OptionsSlider::GUI_OptionsSlider(const std::string& key, float initial, Action action)
    : value(initial), key_(key), action_(action) {
  labelText = GetTranslation(key);
  tooltipText = GetTranslation(TooltipKey(key));
  knob_.SetSpriteTexture("gui_checkbox_fill.dds");
  knob_.SetSize(kKnobSize, kKnobSize);
  value = std::min(maximum, std::max(minimum, value));
}

std::string GUI_OptionsSlider::FormatValue(float v) {
  char text[32];
  std::snprintf(text, sizeof text, v < 1.0f ? "%.4f" : "%.2f", static_cast<double>(v));
  return text;
}

float GUI_OptionsSlider::WheelStep() const { return std::max(value * 0.05f, (maximum - minimum) / 2000.0f); }

void GUI_OptionsSlider::Change(float newValue) {
  newValue = std::min(maximum, std::max(minimum, newValue));
  if (newValue == value) return;
  value = newValue;
  if (action_) action_(key_, value);
}

void GUI_OptionsSlider::Step(bool up) {
  const float step = WheelStep();
  Change(up ? value - step : value + step);
}

void GUI_OptionsSlider::OnWheelUp() {
  if (HitTest(MouseX(), MouseY())) Step(true);
}

void GUI_OptionsSlider::OnWheelDown() {
  if (HitTest(MouseX(), MouseY())) Step(false);
}

float GUI_OptionsSlider::KnobX() const {
  const float range = maximum - minimum;
  const float f = range > 0.0f ? (value - minimum) / range : 0.0f;
  return TrackLeft() + (TrackRight() - TrackLeft()) * f;
}

void GUI_OptionsSlider::SetFromKnobX(float knobX) {
  const float length = TrackRight() - TrackLeft();
  float f = length > 0.0f ? (knobX - TrackLeft()) / length : 0.0f;
  f = std::min(1.0f, std::max(0.0f, f));
  Change(minimum + (maximum - minimum) * f);
}

bool GUI_OptionsSlider::LeftClick(float x, float y) {
  if (sliding_) return false;
  const float kx = KnobX(), ky = top + kTrackFromTop;
  const float half = kKnobSize / 2.0f + 2.0f;
  if (x < kx - half || x > kx + half || y < ky - half || y > ky + half) return false;
  sliding_ = true;
  grabOffset_ = kx - x;
  return true;
}

void GUI_OptionsSlider::UpdateDragging() {
  if (!sliding_) return;
  if (!LeftHeld()) {
    sliding_ = false;
    return;
  }
  SetFromKnobX(MouseX() + grabOffset_);
}

void GUI_OptionsSlider::Draw() {
  UpdateDragging();
  const float l = static_cast<float>(left), r = static_cast<float>(right), t = static_cast<float>(top);
  const float trackY = t + kTrackFromTop;
  FlushSprites();
  DrawGUITexture(SHARED_DARK_CLIENT, 8.0f, 1.0f, true, l, trackY - 6.0f, r, trackY + 6.0f);
  // The filled part of the track up to the knob.
  FlushSprites();
  D3DEngine& d3d = GetRenderDevice();
  d3d.SetNormalBlend();
  d3d.SetTexture(nullptr);
  d3d.DrawRect(l + 4.0f, trackY - 2.0f, KnobX(), trackY + 2.0f, 0xC0E2B101u);
  knob_.SetPosition(KnobX(), trackY);
  knob_.SetColour(sliding_ ? 0xFFFFFFFFu : 0xFFE0E0E0u);
  knob_.DrawDirect();
  TextRenderer& text = GetTextRenderer();
  if (text.IsInitialised()) {
    UseFont();
    text.Print(0, labelText.c_str(), l, t, TextColour());
    if (showValue) text.Print(1, FormatValue(value).c_str(), r, t, DimTextColour());
  }
}

// ---- resolution list ------------------------------------------------------

GUI_ResolutionStrip::GUI_ResolutionStrip(int w, int h) : modeWidth(w), modeHeight(h) {
  char text[48];
  std::snprintf(text, sizeof text, "%d x %d", w, h);
  label = text;
}

void GUI_ResolutionStrip::DrawStrip(bool chosen, bool hovered) {
  const float l = static_cast<float>(left), t = static_cast<float>(top), r = static_cast<float>(right),
              b = static_cast<float>(bottom);
  if (chosen || hovered) {
    FlushSprites();
    DrawGUITexture(chosen ? SHARED_HIGHLIGHT_19 : SHARED_GREY_19, 8.0f, chosen ? 1.0f : 0.5f, true, l, t, r,
                   b);
    FlushSprites();
  }
  TextRenderer& text = GetTextRenderer();
  if (text.IsInitialised()) {
    UseFont();
    text.Print(0, label.c_str(), l + 10.0f, t + 1.0f, chosen ? 0xFFFFFFFFu : TextColour());
  }
}

GUI_ResolutionPicker::GUI_ResolutionPicker() = default;

void GUI_ResolutionPicker::SetModes(const std::vector<std::pair<int, int>>& modes) {
  ClearChildren();
  for (const auto& m : modes) AddChild(new GUI_ResolutionStrip(m.first, m.second));
  firstRow_ = 0;
  LayOutStrips();
}

int GUI_ResolutionPicker::VisibleRows() const {
  return std::max(0, static_cast<int>((bottom - top) / kRowHeight));
}

void GUI_ResolutionPicker::LayOutStrips() {
  const int count = static_cast<int>(ChildWindows().size());
  firstRow_ = std::max(0, std::min(firstRow_, count - VisibleRows()));
  for (int i = 0; i < count; ++i) {
    GUI_WindowBase* strip = ChildWindows()[i];
    const int row = i - firstRow_;
    strip->visible = row >= 0 && row < VisibleRows();
    const float y = top + row * kRowHeight;
    strip->SetRect(static_cast<float>(left), y, static_cast<float>(right), y + kRowHeight);
  }
}

GUI_ResolutionStrip* GUI_ResolutionPicker::StripAt(float x, float y) {
  for (GUI_WindowBase* w : ChildWindows()) {
    if (w->visible && w->HitTest(x, y)) return static_cast<GUI_ResolutionStrip*>(w);
  }
  return nullptr;
}

void GUI_ResolutionPicker::OnWheelUp() {
  if (!HitTest(MouseX(), MouseY())) return;
  --firstRow_;
  LayOutStrips();
}

void GUI_ResolutionPicker::OnWheelDown() {
  if (!HitTest(MouseX(), MouseY())) return;
  ++firstRow_;
  LayOutStrips();
}

void GUI_ResolutionPicker::Draw() {
  LayOutStrips();
  const bool over = HitTest(MouseX(), MouseY());
  for (GUI_WindowBase* w : ChildWindows()) {
    if (!w->visible) continue;
    auto* strip = static_cast<GUI_ResolutionStrip*>(w);
    const bool chosen = strip->modeWidth == chosenWidth && strip->modeHeight == chosenHeight;
    strip->DrawStrip(chosen, over && strip->HitTest(MouseX(), MouseY()));
  }
  FlushAll();
}

// ---- the screen -----------------------------------------------------------

GUI_Options::GUI_Options() {
  close_ = new GUI_IconButton(OnClose, "close_button.dds", 0, "close_button_h.dds");
  close_->SetTooltip("MAINMENU_TT", kTooltipDelay);
  AddButton(close_);
  for (int i = 0; i < SIM_Options::kToggleCount; ++i) {
    toggles_[i] = new GUI_CheckButton(OnToggle, kToggleLabels[i], static_cast<uint32_t>(i));
    toggles_[i]->SetTooltip(TooltipKey(kToggleLabels[i]), kTooltipDelay);
    AddButton(toggles_[i]);
  }
  SIM_Options& options = SIM_Options::Get();
  for (int i = 0; i < kSliderCount; ++i)
    sliders_[i] =
        new GUI_OptionsSlider(kSliders[i].key, options.GetFloat(kSliders[i].key), kSliders[i].action);
  fullScreen_ = new GUI_CheckButton(OnFullScreen, "OPTIONS_FULLSCREEN", 0);
  fullScreen_->SetTooltip("OPTIONS_FULLSCREEN_TT", kTooltipDelay);
  AddButton(fullScreen_);
  resetTutorial_ = new GUI_ButtonText(OnResetTutorial, "OPTIONS_RESET_TUTORIAL", 0);
  resetTutorial_->SetTooltip("OPTIONS_RESET_TUTORIAL_TT", kTooltipDelay);
  AddButton(resetTutorial_);
  apply_ = new GUI_ButtonText(OnApplyChanges, "OPTIONS_APPLY_CHANGES", 0);
  apply_->SetTooltip("OPTIONS_APPLY_CHANGES_TT", kTooltipDelay);
  apply_->visible = false;
  apply_->enabled = false;
  AddButton(apply_);

  D3DEngine& d3d = GetRenderDevice();
  picker_.chosenWidth = d3d.ScreenWidth();
  picker_.chosenHeight = d3d.ScreenHeight();
  windowed_ = d3d.Windowed();
  // The title is fitted to its bar in LayOut, once the bar has a width.
}

GUI_Options::~GUI_Options() {
  for (GUI_OptionsSlider*& s : sliders_) {
    delete s;
    s = nullptr;
  }
}

GUI_Options* GetOptionsScreen() { return dynamic_cast<GUI_Options*>(GetGameModeObject(MODE_OPTIONS)); }

std::vector<std::pair<int, int>> GUI_Options::OfferedModes(
    const std::vector<std::pair<int, int>>& adapterModes) {
  const Game* game = GameExists() ? &GetGame() : nullptr;
  const int minW = game ? static_cast<int>(game->MinScreenWidth) : 1024;
  const int minH = game ? static_cast<int>(game->MinScreenHeight) : 768;
  std::vector<std::pair<int, int>> modes;
  for (const auto& m : adapterModes)
    if (m.first >= minW && m.second >= minH) modes.push_back(m);
  std::sort(modes.begin(), modes.end());
  modes.erase(std::unique(modes.begin(), modes.end()), modes.end());
  return modes;
}

void GUI_Options::LayOut() {
  D3DEngine& d3d = GetRenderDevice();
  const float w = static_cast<float>(d3d.ScreenWidth()), h = static_cast<float>(d3d.ScreenHeight());
  SetRect(0.0f, 0.0f, w, h);
  panelLeft_ = std::max(0.0f, w / 2.0f - kPanelWidth / 2.0f);
  panelRight_ = std::min(w, w / 2.0f + kPanelWidth / 2.0f);
  panelTop_ = 80.0f;
  panelBottom_ = std::max(panelTop_ + 560.0f, std::min(h - 40.0f, panelTop_ + 600.0f));
  titleBar_.SetRect(panelLeft_ + 40.0f, panelTop_ - 37.0f, panelRight_ - 40.0f, panelTop_ + 5.0f);
  titleBar_.SetText(GetTranslation("OPTIONS_TITLE"));
  const float bl = static_cast<float>(titleBar_.right), bt = static_cast<float>(titleBar_.top);
  close_->SetRect(bl - 76.0f, bt + 10.0f, bl - 54.0f, bt + 32.0f);

  const float top = panelTop_ + 36.0f;
  const float col1 = panelLeft_ + 28.0f;
  for (int i = 0; i < SIM_Options::kToggleCount; ++i) {
    const float y = top + i * kToggleHeight;
    toggles_[i]->SetRect(col1, y, col1 + kToggleWidth, y + kToggleHeight);
  }
  const float col2 = col1 + kToggleWidth + 34.0f;
  for (int i = 0; i < kSliderCount; ++i) {
    const float y = top + 8.0f + i * (GUI_OptionsSlider::kHeight + 30.0f);
    sliders_[i]->SetRect(col2, y, col2 + kSliderWidth, y + GUI_OptionsSlider::kHeight);
  }
  const float col3 = col2 + kSliderWidth + 34.0f;
  const float col3Right = panelRight_ - 28.0f;
  modeAreaLeft_ = col3;
  modeAreaRight_ = col3Right;
  modeAreaTop_ = top;
  modeAreaBottom_ = top + 16.0f + 14.0f * GUI_ResolutionPicker::kRowHeight + 16.0f;
  picker_.SetRect(col3 + 16.0f, top + 16.0f, col3Right - 16.0f, modeAreaBottom_ - 16.0f);
  picker_.LayOutStrips();
  float y = modeAreaBottom_ + 10.0f;
  fullScreen_->SetRect(col3 - 8.0f, y, col3Right, y + kToggleHeight);
  y += kToggleHeight + 16.0f;
  apply_->SetRect(col3, y, col3Right, y + kButtonHeight);
  y += kButtonHeight + 24.0f;
  resetTutorial_->SetRect(col3, y, col3Right, y + kButtonHeight);

  const float midX = (panelLeft_ + panelRight_) / 2.0f;
  for (int i = 0; i < 2; ++i) {
    background_[i].SetSpriteTexture("ui_deployment_bg.dds");
    background_[i].SetSize(midX - panelLeft_, panelBottom_ - panelTop_);
    background_[i].SetPosition(i == 0 ? (panelLeft_ + midX) / 2.0f : (midX + panelRight_) / 2.0f,
                               (panelTop_ + panelBottom_) / 2.0f);
  }
  // The plain steel plate of the atlas (448-576 x 0-96, kept clear of its neighbours),
  // one half of it under each half of the panel.
  background_[0].SetUV(452.0f / 1024.0f, 4.0f / 256.0f, 0.5f, 92.0f / 256.0f);
  background_[1].SetUV(0.5f, 4.0f / 256.0f, 572.0f / 1024.0f, 92.0f / 256.0f);
}

void GUI_Options::Enter() {
  LayOut();
  SIM_Options& options = SIM_Options::Get();
  for (int i = 0; i < SIM_Options::kToggleCount; ++i) {
    toggles_[i]->checked = options.GetFloat(SIM_Options::ToggleNames[i]) != 0.0f;
  }
  for (int i = 0; i < kSliderCount; ++i) sliders_[i]->value = options.GetFloat(kSliders[i].key);
  fullScreen_->checked = !windowed_;

  std::vector<platform::DisplayMode> adapter;
  GetRenderDevice().EnumDisplayModes(adapter);
  std::vector<std::pair<int, int>> sizes;
  for (const platform::DisplayMode& m : adapter) sizes.emplace_back(m.width, m.height);
  picker_.SetModes(OfferedModes(sizes));
  GetTutorial().Trigger("OPTIONS");
}

void GUI_Options::Leave() { SIM_Options::Get().Save(); }

void GUI_Options::DrawPanel() {
  D3DEngine& d3d = GetRenderDevice();
  const float l = panelLeft_, t = panelTop_, r = panelRight_, b = panelBottom_;
  if (SIM_Options::Get().GetFloat("OPTIONS_GRAPHICS_DETAIL") > 0.5f) {
    d3d.SetNormalBlend();
    d3d.SetTexture(nullptr);
    d3d.DrawRect(l - 32.0f, t - 32.0f, r + 32.0f, b + 32.0f, 0x60000000u);
  }
  d3d.SetNormalBlend();
  background_[0].DrawDirect();
  background_[1].DrawDirect();
  titleBar_.Draw();
  FlushAll();
  DrawGUITexture(SHARED_WINDOW_BACKGROUND, kBorder, 1.0f, false, l, t, r, b);
  DrawGUITexture(SHARED_DARK_CLIENT, kBorder, 1.0f, true, modeAreaLeft_, modeAreaTop_, modeAreaRight_,
                 modeAreaBottom_);
  FlushAll();
}

void GUI_Options::Draw() {
  GetTitleBackdrop().Draw(false);
  DrawPanel();
  for (GUI_OptionsSlider* s : sliders_) s->Draw();
  FlushAll();
  picker_.Draw();
  DrawButtons();
  GetWindowOrder().Draw();
  GUI_Tooltip::DrawQueued();
  GetGUICursor().Draw();
  GetTransition().Draw();
}

void GUI_Options::OnKeyDown(int key) {
  if (FocusedEdit) FocusedEdit->OnKeyDown(key);
  if (key != kKeyEscape) return;
  GUI_WindowOrder& order = GetWindowOrder();
  if (order.IsAnyPopupOpen()) {
    order.CloseTopmost();
  } else {
    ReturnToMainMenu();
  }
}

void GUI_Options::Process() {
  // A box flips itself before the tutorial may refuse the click: show what is stored.
  SIM_Options& options = SIM_Options::Get();
  for (int i = 0; i < SIM_Options::kToggleCount; ++i)
    toggles_[i]->checked = options.GetFloat(SIM_Options::ToggleNames[i]) != 0.0f;
  fullScreen_->checked = !windowed_;
  GetWindowOrder().Process();
  resetTutorial_->Process();
  picker_.Process();
  for (GUI_OptionsSlider* s : sliders_) s->Process();
  ProcessButtons();
}

void GUI_Options::OnLeftDown() {
  GetWindowOrder().LeftClick();
  // A modal tutorial page takes every click.
  if (!GetWindowOrder().ModalWindows().empty()) return;
  if (OnClick()) return;
  const float x = MouseX(), y = MouseY();
  if (GUI_ResolutionStrip* strip = picker_.StripAt(x, y)) {
    ChooseDisplay(strip->modeWidth, strip->modeHeight);
    return;
  }
  for (GUI_OptionsSlider* s : sliders_)
    if (s->LeftClick(x, y)) return;
}

void GUI_Options::OnWheelUp() {
  picker_.OnWheelUp();
  for (GUI_OptionsSlider* s : sliders_) s->OnWheelUp();
}

void GUI_Options::OnWheelDown() {
  picker_.OnWheelDown();
  for (GUI_OptionsSlider* s : sliders_) s->OnWheelDown();
}

void GUI_Options::WritePrefs() {
  if (GameExists()) GetGame().WritePrefs(picker_.chosenWidth, picker_.chosenHeight, windowed_);
}

void GUI_Options::ShowApply() {
  apply_->visible = true;
  apply_->enabled = true;
}

void GUI_Options::ChooseDisplay(int width, int height) {
  if (width != picker_.chosenWidth || height != picker_.chosenHeight) {
    picker_.chosenWidth = width;
    picker_.chosenHeight = height;
    // Nothing changes on screen until the game starts again.
    ShowApply();
  }
  WritePrefs();
}

int GUI_Options::OnToggle(int index) {
  if (index < 0 || index >= SIM_Options::kToggleCount) return 0;
  SIM_Options& options = SIM_Options::Get();
  const char* name = SIM_Options::ToggleNames[index];
  const float value = options.GetFloat(name) == 0.0f ? 1.0f : 0.0f;
  options.SetFloat(name, value);
  options.Save();
  // The box shows what was stored, whatever it showed before.
  if (GUI_Options* screen = GetOptionsScreen()) screen->toggles_[index]->checked = value != 0.0f;
  return 0;
}

int GUI_Options::OnFullScreen(int) {
  GUI_Options* screen = GetOptionsScreen();
  if (!screen) return 0;
  // The box has flipped itself already.
  screen->ShowApply();
  screen->windowed_ = !screen->fullScreen_->checked;
  screen->WritePrefs();
  return 0;
}

int GUI_Options::OnResetTutorial(int) {
  GetTutorial().Reset();
  return 0;
}

namespace {
// The new start waits until this run has ended and everything it built is gone.
bool RestartAfterExit() {
  RequestRestartAfterExit();
  return true;
}

GUI_Options::RestartFunction& Restarter() {
  static GUI_Options::RestartFunction restart = RestartAfterExit;
  return restart;
}
}  // namespace

void GUI_Options::SetRestartFunction(RestartFunction restart) {
  Restarter() = restart ? restart : RestartAfterExit;
}

int GUI_Options::OnApplyChanges(int) {
  // Everything the player has is saved by the shutdown before the new start reads prefs.ini.
  GetGame().Shutdown();
  if (!Restarter()()) LogError("The game could not start again; start it by hand to use the new display");
  return 0;
}

int GUI_Options::OnClose(int) {
  ReturnToMainMenu();
  return 0;
}
