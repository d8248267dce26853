// The effects editor's two slider panels: heat-particle configs (with the editor's test
// buttons) and particle configs. Slider changes go live in the edited config at once;
// only Save writes the file, atomically, into the running game's data folder.
#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "app/OptionsScreen.h"
#include "battlescreen/BattleSprites.h"
#include "effects/GUI_EE_Editor.h"
#include "effects/HeatEmitters.h"
#include "effects/ParticleSystem.h"
#include "engine/ErrorReporting.h"
#include "engine/Log.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "gui/FileDialogs.h"
#include "gui/GuiDraw.h"
#include "gui/MessageBox.h"
#include "gui/SharedTextures.h"

using namespace gui_draw;

namespace {

constexpr float kRowHeight = 40.0f;

struct SliderRow {
  const char* label;
  float minimum;
  float maximum;
};

const SliderRow kHeatRows[11] = {
    {"HPV_MINSIZE", 0.0f, 16.0f},     {"HPV_MAXSIZE", 0.0f, 16.0f},
    {"HPV_SPIN_SPEED", 0.0f, 1.0f},   {"HPV_CREATION_INTERVAL", 0.0001f, 100.0f},
    {"HPV_BASE_SPEED", 0.0f, 1.0f},   {"HPV_LIFETIME", 0.0f, 24000.0f},
    {"HPV_ALPHAFALLOFF", 0.0f, 1.0f}, {"HPV_MINANG", 0.0f, 360.0f},
    {"HPV_MAXANG", 0.0f, 360.0f},     {"Oscillation", 0.0f, 1.0f},
    {"Osc Interval", 0.0f, 4000.0f},
};
float GUI_BS_HPConfig::*const kHeatFields[11] = {
    &GUI_BS_HPConfig::MinSize,
    &GUI_BS_HPConfig::MaxSize,
    &GUI_BS_HPConfig::SpinSpeed,
    &GUI_BS_HPConfig::CreationInterval,
    &GUI_BS_HPConfig::BaseSpeed,
    &GUI_BS_HPConfig::Lifetime,
    &GUI_BS_HPConfig::AlphaFalloff,
    &GUI_BS_HPConfig::MinAngle,
    &GUI_BS_HPConfig::MaxAngle,
    &GUI_BS_HPConfig::OscillationIntensity,
    &GUI_BS_HPConfig::OscillationInterval,
};
const char* const kStageNames[HS_COUNT] = {"HEA_WHITEHOT", "HEA_YELLOWHOT",  "HEA_REDHOT",
                                           "HEA_FLAMES",   "HEA_SOFTFLAMES", "HEA_SMOKE"};
// The maxima of the three stage columns: durations, size growths, speed falloffs.
constexpr float kStageMaximum[3] = {1.0f, 0.1f, 0.1f};

const SliderRow kParticleRows[GUI_EE_ParticleControls::kSliders] = {
    {"PART_MIN_XVELOCITY", -8.0f, 8.0f}, {"PART_MAX_XVELOCITY", -8.0f, 8.0f},
    {"PART_MIN_YVELOCITY", -8.0f, 8.0f}, {"PART_MAX_YVELOCITY", -8.0f, 8.0f},
    {"PART_MIN_SIZE", 0.0f, 50.0f},      {"PART_MAX_SIZE", 0.0f, 50.0f},
    {"PART_ALPHA_FALLOFF", -1.0f, 1.0f}, {"PART_SIZE_FALLOFF", -1.0f, 1.0f},
    {"PART_SPEED_FALLOFF", -1.0f, 1.0f}, {"PART_XSCATTER", 0.0f, 30.0f},
    {"PART_YSCATTER", 0.0f, 30.0f},      {"PART_PARTICLES_PER_SECOND", 0.0f, 500.0f},
    {"PART_LIFETIME", 0.0f, 8000.0f},    {"PART_MAX_SPINSPEED", -1.0f, 1.0f},
    {"PART_MIN_SPINSPEED", -1.0f, 1.0f}, {"PART_INITIAL_PARTICLES", 0.0f, 100.0f},
};
float GUI_ParticleConfig::*const kParticleFields[GUI_EE_ParticleControls::kSliders] = {
    &GUI_ParticleConfig::MinXVelocity, &GUI_ParticleConfig::MaxXVelocity,
    &GUI_ParticleConfig::MinYVelocity, &GUI_ParticleConfig::MaxYVelocity,
    &GUI_ParticleConfig::MinSize,      &GUI_ParticleConfig::MaxSize,
    &GUI_ParticleConfig::AlphaFalloff, &GUI_ParticleConfig::SizeFalloff,
    &GUI_ParticleConfig::SpeedFalloff, &GUI_ParticleConfig::XScatter,
    &GUI_ParticleConfig::YScatter,     &GUI_ParticleConfig::ParticlesPerSecond,
    &GUI_ParticleConfig::Lifetime,     &GUI_ParticleConfig::MaxSpinSpeed,
    &GUI_ParticleConfig::MinSpinSpeed, &GUI_ParticleConfig::InitialParticles,
};

// Labels are translated when the strings table has them; the plain ones show as written.
GUI_OptionsSlider* MakeSlider(const std::string& label, float minimum, float maximum,
                              GUI_OptionsSlider::Action action) {
  ZT_ASSERT(minimum <= maximum);
  auto* slider = new GUI_OptionsSlider(label, minimum, action);
  slider->minimum = minimum;
  slider->maximum = maximum;
  slider->labelText = HasTranslation(label) ? GetTranslation(label) : label;
  slider->tooltipText.clear();
  return slider;
}

void EditorMessage(const std::string& text) {
  LogError(text);
  ShowMessage("EXPLOSIONEDITOR_TITLE", text, GUI_Message::kStyleClose, nullptr);
}

// Writes beside the file and renames over it, so a failed write leaves the old file
// whole. The full path is logged so the change can be copied to the source tree.
template <typename Writer>
bool SaveAtomically(const std::string& path, Writer write) {
  const std::string temp = path + ".saving";
  std::remove(temp.c_str());
  if (!write(temp) || std::rename(temp.c_str(), path.c_str()) != 0) {
    std::remove(temp.c_str());
    EditorMessage("Effects editor: " + path + " could not be written; the file is unchanged");
    return false;
  }
  std::error_code error;
  const std::filesystem::path full = std::filesystem::absolute(path, error);
  DebugLogF("Effects editor saved %s", error ? path.c_str() : full.string().c_str());
  return true;
}

void DrawPanelFrame(const GUI_WindowBase& panel, const std::string& path) {
  const float l = static_cast<float>(panel.left), t = static_cast<float>(panel.top),
              r = static_cast<float>(panel.right), b = static_cast<float>(panel.bottom);
  DrawGUITexture(SHARED_DIALOG_CLIENT, 16.0f, 1.0f, true, l, t, r, b);
  FlushSprites();
  TextRenderer& text = GetTextRenderer();
  if (text.IsInitialised()) {
    UseFont();
    text.Print(0, path.c_str(), l + 10.0f, t, TextColour());
  }
}

GUI_ButtonText* MakeButton(GUI_ButtonCallback callback, const char* label, bool translated) {
  auto* button = new GUI_ButtonText(callback, translated ? label : "", 0);
  if (!translated) button->SetRawLabel(label);
  return button;
}

GUI_EE_Controls* HeatPanel() {
  GUI_EE_EditorWindow* w = EffectsEditorWindow();
  return w ? w->controls : nullptr;
}
GUI_EE_ParticleControls* ParticlePanel() {
  GUI_EE_EditorWindow* w = EffectsEditorWindow();
  return w ? w->particleControls : nullptr;
}

}  // namespace

// ---- Heat-particle panel ----

GUI_EE_Controls::GUI_EE_Controls() {
  const GUI_OptionsSlider::Action apply = [](const std::string&, float) {
    if (GUI_EE_Controls* panel = HeatPanel()) panel->ApplySliders();
  };
  for (int i = 0; i < 11; ++i)
    sliders_[i] = MakeSlider(kHeatRows[i].label, kHeatRows[i].minimum, kHeatRows[i].maximum, apply);
  for (int column = 0; column < 3; ++column)
    for (int stage = 0; stage < HS_COUNT; ++stage)
      sliders_[11 + column * HS_COUNT + stage] =
          MakeSlider(kStageNames[stage], 0.0f, kStageMaximum[column], apply);
  muzzleDamage_ = MakeSlider("Muzzle Damage", 1.0f, 80.0f, nullptr);
  muzzleDamage_->value = 10.0f;
  for (GUI_OptionsSlider* s : sliders_) AddChild(s);
  AddChild(muzzleDamage_);
  buttons_[0] = MakeButton(&GUI_EE_Controls::OnLoad, "EE_LOAD", true);
  buttons_[1] = MakeButton(&GUI_EE_Controls::OnSave, "EE_SAVE", true);
  buttons_[2] = MakeButton(&GUI_EE_Controls::OnTrigger, "EE_TRIGGER", true);
  buttons_[3] = MakeButton(&GUI_EE_Controls::OnGround, "EE_GROUND", true);
  buttons_[4] = MakeButton(&GUI_EE_Controls::OnMuzzleFlash, "Muzzle Flash", false);
  buttons_[5] = MakeButton(&GUI_EE_Controls::OnFlamethrower, "Flamethrower", false);
  for (GUI_ButtonText* b : buttons_) AddButton(b);
}

GUI_EE_Controls::~GUI_EE_Controls() = default;

void GUI_EE_Controls::Layout() {
  const float l = static_cast<float>(left), t = static_cast<float>(top), r = static_cast<float>(right);
  const float mid = (l + r) / 2.0f;
  for (int i = 0; i < 9; ++i)
    sliders_[i]->SetRect(l, t + 30.0f + i * kRowHeight, mid - 10.0f, t + 70.0f + i * kRowHeight);
  GUI_OptionsSlider* right[3] = {sliders_[9], sliders_[10], muzzleDamage_};
  for (int i = 0; i < 3; ++i)
    right[i]->SetRect(mid + 10.0f, t + 230.0f + i * kRowHeight, r, t + 270.0f + i * kRowHeight);
  const float third = (r - l) / 3.0f;
  for (int column = 0; column < 3; ++column)
    for (int stage = 0; stage < HS_COUNT; ++stage) {
      const float cl = l + column * third, y = t + 460.0f + stage * kRowHeight;
      sliders_[11 + column * HS_COUNT + stage]->SetRect(cl, y, cl + third - 10.0f, y + kRowHeight);
    }
  // The buttons fill the free top of the right half, two to a row.
  const float width = (r - mid - 20.0f) / 2.0f;
  for (int i = 0; i < 6; ++i) {
    const float bl = mid + 10.0f + (i % 2) * (width + 10.0f), bt = t + 40.0f + (i / 2) * 56.0f;
    buttons_[i]->SetRect(bl, bt, bl + width, bt + 36.0f);
  }
}

void GUI_EE_Controls::Draw() {
  DrawPanelFrame(*this, path);
  TextRenderer& text = GetTextRenderer();
  if (text.IsInitialised()) {
    const float third = (right - left) / 3.0f;
    const std::string headings[3] = {GetTranslation("EE_DURATIONS"), GetTranslation("EE_SIZEGROWTHS"),
                                     "Speed Falloffs"};
    for (int column = 0; column < 3; ++column)
      text.Print(0, headings[column].c_str(), left + column * third, top + 460.0f - 32.0f, TextColour());
  }
  DrawButtons();
  DrawChildren();
}

void GUI_EE_Controls::LoadConfig(const std::string& file) {
  path = file;
  config_ = GUI_BS_HPConfigManager::Instance().FindByFile(file);
  if (!config_) {
    ZT_ASSERT(!"heat particle config is not loaded");
    name.clear();
    return;
  }
  name = config_->name;
  ShowValues();
}

void GUI_EE_Controls::ShowValues() {
  if (!config_) return;
  for (int i = 0; i < 11; ++i) sliders_[i]->value = config_->*kHeatFields[i];
  for (int stage = 0; stage < HS_COUNT; ++stage) {
    sliders_[11 + stage]->value = config_->duration[stage];
    sliders_[11 + HS_COUNT + stage]->value = config_->sizeGrowth[stage];
    sliders_[11 + 2 * HS_COUNT + stage]->value = config_->speedFalloff[stage];
  }
}

void GUI_EE_Controls::ApplySliders() {
  if (!config_) return;
  for (int i = 0; i < 11; ++i) config_->*kHeatFields[i] = sliders_[i]->value;
  for (int stage = 0; stage < HS_COUNT; ++stage) {
    config_->duration[stage] = sliders_[11 + stage]->value;
    config_->sizeGrowth[stage] = sliders_[11 + HS_COUNT + stage]->value;
    config_->speedFalloff[stage] = sliders_[11 + 2 * HS_COUNT + stage]->value;
  }
  ShowValues();
}

bool GUI_EE_Controls::Save() {
  if (!config_) return false;
  ApplySliders();
  const GUI_BS_HPConfig edited = *config_;
  if (!SaveAtomically(path, [&](const std::string& temp) { return GUI_BS_HPConfig::Write(edited, temp); }))
    return false;
  // Nothing that draws may hold a config while they are read again.
  if (GUI_EE_EditorWindow* w = EffectsEditorWindow()) {
    w->ClearTestObjects();
  } else {
    EditorClearEffects();
  }
  GUI_BS_HPConfigManager::Instance().Reload();
  if (GUI_EE_EditorWindow* w = EffectsEditorWindow()) w->DropFlamethrower();
  config_ = nullptr;
  LoadConfig(path);
  return true;
}

int GUI_EE_Controls::OnLoad(int) {
  ShowOpenFileDialog("data/heatparticles/*.txt", "EE_LOAD_DIALOG", [](const std::string& file) {
    if (GUI_EE_Controls* panel = HeatPanel()) panel->LoadConfig(file);
  });
  return 0;
}

int GUI_EE_Controls::OnSave(int) {
  if (GUI_EE_Controls* panel = HeatPanel()) panel->Save();
  return 0;
}

int GUI_EE_Controls::OnTrigger(int) {
  HeatTrigger();
  return 0;
}

int GUI_EE_Controls::OnGround(int) {
  if (GUI_EE_Controls* panel = HeatPanel()) GroundTest(panel->name);
  return 0;
}

int GUI_EE_Controls::OnMuzzleFlash(int) {
  if (GUI_EE_Controls* panel = HeatPanel())
    MuzzleFlashTest(panel->name, static_cast<int>(panel->muzzleDamage_->value));
  return 0;
}

int GUI_EE_Controls::OnFlamethrower(int) {
  FlamethrowerTest();
  return 0;
}

// ---- Particle panel ----

GUI_EE_ParticleControls::GUI_EE_ParticleControls() {
  const GUI_OptionsSlider::Action apply = [](const std::string&, float) {
    if (GUI_EE_ParticleControls* panel = ParticlePanel()) panel->ApplySliders();
  };
  for (int i = 0; i < kSliders; ++i) {
    sliders_[i] =
        MakeSlider(kParticleRows[i].label, kParticleRows[i].minimum, kParticleRows[i].maximum, apply);
    AddChild(sliders_[i]);
  }
  buttons_[0] = MakeButton(&GUI_EE_ParticleControls::OnLoad, "EE_LOAD", true);
  buttons_[1] = MakeButton(&GUI_EE_ParticleControls::OnSave, "EE_SAVE", true);
  buttons_[2] = MakeButton(&GUI_EE_ParticleControls::OnTrigger, "Trigger", false);
  for (GUI_ButtonText* b : buttons_) AddButton(b);
}

GUI_EE_ParticleControls::~GUI_EE_ParticleControls() { delete Edited(); }

GUI_ParticleConfig* GUI_EE_ParticleControls::Edited() const {
  // A reload of the folder deletes every config, the edited one too.
  const std::vector<GUI_ParticleConfig*>& list = ParticleConfigList();
  return config_ && std::find(list.begin(), list.end(), config_) != list.end() ? config_ : nullptr;
}

void GUI_EE_ParticleControls::Forget() { config_ = nullptr; }

void GUI_EE_ParticleControls::Layout() {
  const float l = static_cast<float>(left), t = static_cast<float>(top), r = static_cast<float>(right);
  const float mid = (l + r) / 2.0f;
  for (int i = 0; i < kSliders; ++i) {
    const float y = t + 30.0f + (i / 2) * 42.0f;
    if (i % 2 == 0)
      sliders_[i]->SetRect(l, y, mid - 10.0f, y + kRowHeight);
    else
      sliders_[i]->SetRect(mid, y, r, y + kRowHeight);
  }
  const float y = t + 30.0f + (kSliders / 2) * 42.0f + 16.0f;
  const float width = (r - l - 40.0f) / 3.0f;
  for (int i = 0; i < 3; ++i) {
    const float bl = l + 10.0f + i * (width + 10.0f);
    buttons_[i]->SetRect(bl, y, bl + width, y + 36.0f);
  }
}

void GUI_EE_ParticleControls::Draw() {
  DrawPanelFrame(*this, path);
  DrawButtons();
  DrawChildren();
}

void GUI_EE_ParticleControls::LoadConfig(const std::string& file) {
  delete Edited();
  // The folder first: loading it later would delete the edited config, and the folder's
  // copy of a name is the one the preview plays.
  if (!ParticleConfigsLoaded()) ParticleConfigsLoad();
  config_ = new GUI_ParticleConfig();
  if (!GUI_ParticleConfig::Read(config_, file)) {
    // Saving defaults over an unreadable file would lose it: nothing is edited.
    delete config_;
    config_ = nullptr;
    EditorMessage("Particle config " + file + " could not be read");
    return;
  }
  ShowValues();
  path = file;
}

void GUI_EE_ParticleControls::ShowValues() {
  GUI_ParticleConfig* c = Edited();
  if (!c) return;
  // Shown as the file has them, even outside a slider's range, until that slider moves.
  for (int i = 0; i < kSliders; ++i) sliders_[i]->value = c->*kParticleFields[i];
}

void GUI_EE_ParticleControls::ApplySliders() {
  GUI_ParticleConfig* c = Edited();
  if (!c) return;
  for (int i = 0; i < kSliders; ++i) c->*kParticleFields[i] = sliders_[i]->value;
}

bool GUI_EE_ParticleControls::Save() {
  GUI_ParticleConfig* c = Edited();
  if (!c) return false;
  ApplySliders();
  if (!SaveAtomically(path, [&](const std::string& temp) { return GUI_ParticleConfig::Write(c, temp); }))
    return false;
  // Every group and emitter goes before the configs they point at are deleted.
  Forget();
  if (GUI_EE_EditorWindow* w = EffectsEditorWindow()) {
    w->ClearTestObjects();
  } else {
    EditorClearEffects();
  }
  ParticleConfigsLoad();
  LoadConfig(path);
  return true;
}

void GUI_EE_ParticleControls::Trigger() {
  GUI_ParticleConfig* c = Edited();
  if (!c) return;
  // Found by name, the folder's copy first: it plays what was last saved.
  const std::string name = c->name;
  TriggerParticleConfig(name);
}

int GUI_EE_ParticleControls::OnLoad(int) {
  ShowOpenFileDialog("data/particleconfigs/*.txt", "EE_LOAD_DIALOG", [](const std::string& file) {
    if (GUI_EE_ParticleControls* panel = ParticlePanel()) panel->LoadConfig(file);
  });
  return 0;
}

int GUI_EE_ParticleControls::OnSave(int) {
  if (GUI_EE_ParticleControls* panel = ParticlePanel()) panel->Save();
  return 0;
}

int GUI_EE_ParticleControls::OnTrigger(int) {
  if (GUI_EE_ParticleControls* panel = ParticlePanel()) panel->Trigger();
  return 0;
}
