#pragma once
// Game mode 7, the developers' effects editor: one large window that plays explosions,
// heat particles and particle sprays in a preview with the battle's own effect machinery
// and lets their config files be tuned with sliders and saved. No menu leads here; the
// command-line word "effectseditor" opens it once the main menu is up.
#include <string>

#include "app/GUI_GameModeBase.h"
#include "engine/Sprites.h"
#include "gui/Buttons.h"
#include "gui/Dialog.h"
#include "gui/WindowBase.h"

class GUI_BS_ExplosionConfig;
class GUI_BS_Flamethrower;
class GUI_BS_GroundEmitter;
class GUI_ButtonText;
class GUI_IconButton;
class GUI_OptionsSlider;
class GUI_ParticleConfig;
struct GUI_BS_HPConfig;

// The preview: the scale backdrop, the effects of the last test, and (while Shift is
// held) a sample unit for size.
class GUI_EE_Preview : public GUI_WindowBase {
 public:
  static constexpr float kBackdropSide = 1000.0f;
  static constexpr float kSampleSide = 129.0f;
  // Any hull picture will do: it only gives a sense of scale.
  static constexpr const char* kSampleHull = "tank_jackal";

  GUI_EE_Preview();
  void Draw() override;
  void DrawBackdrop();
  // The preview panel's centre on the screen.
  float CentreX() const { return (left + right) * 0.5f; }
  float CentreY() const { return (top + bottom) * 0.5f; }
  // Whether the sample unit was drawn in the last Draw.
  bool sampleDrawn = false;

 private:
  CTexturedSprite backdrop_;
  CTexturedSprite sample_;
  bool sampleLoaded_ = false;
};

// The explosion panel: load a data/explosions file and trigger it.
class GUI_EE_Config : public GUI_WindowBase {
 public:
  GUI_EE_Config();
  ~GUI_EE_Config() override;
  void Draw() override;
  void Layout();
  // Replaces the loaded explosion config with the file's; false (message shown) when the
  // file has no config.
  bool LoadFile(const std::string& path);
  // The loaded config, or null (also once the global config list let go of it).
  GUI_BS_ExplosionConfig* Loaded() const;
  static int OnLoad(int);
  static int OnTrigger(int);

  std::string path;

 private:
  GUI_BS_ExplosionConfig* config_ = nullptr;
  GUI_ButtonText* load_ = nullptr;
  GUI_ButtonText* trigger_ = nullptr;
};

// Heat-particle config sliders and the editor's test buttons.
class GUI_EE_Controls : public GUI_WindowBase {
 public:
  static constexpr int kValueSliders = 29;
  GUI_EE_Controls();
  ~GUI_EE_Controls() override;
  void Draw() override;
  void Layout();

  // Finds the loaded config of the file; no config (assertion logged) when it is not loaded.
  void LoadConfig(const std::string& path);
  void ShowValues();
  void ApplySliders();
  // Writes the edited config to its file, reloads every heat config and loads it again.
  // False (message shown) when nothing is edited or the file could not be written.
  bool Save();

  GUI_OptionsSlider* Slider(int index) const { return sliders_[index]; }
  GUI_OptionsSlider* MuzzleDamage() const { return muzzleDamage_; }
  GUI_BS_HPConfig* Edited() const { return config_; }

  std::string path;
  std::string name;

  static int OnLoad(int);
  static int OnSave(int);
  static int OnTrigger(int);
  static int OnGround(int);
  static int OnMuzzleFlash(int);
  static int OnFlamethrower(int);

 private:
  GUI_OptionsSlider* sliders_[kValueSliders] = {};
  GUI_OptionsSlider* muzzleDamage_ = nullptr;
  GUI_BS_HPConfig* config_ = nullptr;
  GUI_ButtonText* buttons_[6] = {};
};

// Particle config sliders.
class GUI_EE_ParticleControls : public GUI_WindowBase {
 public:
  static constexpr int kSliders = 16;
  GUI_EE_ParticleControls();
  ~GUI_EE_ParticleControls() override;
  void Draw() override;
  void Layout();

  // Reads a new config from the file (the old edited one is deleted).
  void LoadConfig(const std::string& path);
  void ShowValues();
  void ApplySliders();
  // Writes the edited config, reloads the folder and loads the file again. False
  // (message shown) when nothing is edited or the file could not be written.
  bool Save();
  // Plays the edited config's name as the folder has it (the values last saved).
  void Trigger();

  GUI_OptionsSlider* Slider(int index) const { return sliders_[index]; }
  // The edited config, or null (also once the global config list let go of it).
  GUI_ParticleConfig* Edited() const;

  std::string path;

  static int OnLoad(int);
  static int OnSave(int);
  static int OnTrigger(int);

 private:
  void Forget();
  GUI_OptionsSlider* sliders_[kSliders] = {};
  GUI_ParticleConfig* config_ = nullptr;
  GUI_ButtonText* buttons_[3] = {};
};

// The editor's one window: 1600 x 768 (at most the screen's size), centred, the four
// panels inside.
class GUI_EE_EditorWindow : public GUI_Dialog {
 public:
  static constexpr int kWidth = 1600;
  static constexpr int kHeight = 768;
  static constexpr float kFlameBurstMs = 1250.0f;

  GUI_EE_EditorWindow();
  ~GUI_EE_EditorWindow() override;
  void Draw() override;
  // Where the window and its panels stand on a screen of that size: its full size where
  // the screen has room, else the screen's width (or height).
  struct Frame {
    float left, top, right, bottom;
    float controlsRight;              // the heat panel's right edge
    float previewLeft, previewRight;  // the preview's sides
  };
  static Frame FrameFor(int screenWidth, int screenHeight);
  // Centred on the screen, the panels in their places.
  void Layout();

  // Empties the effects manager and every particle group, and forgets what it owned.
  void ClearTestObjects();
  // The test flamethrower stops, the muzzle-flash pool empties.
  void DropFlamethrower();

  GUI_EE_Preview* preview = nullptr;
  GUI_EE_Controls* controls = nullptr;
  GUI_EE_ParticleControls* particleControls = nullptr;
  GUI_EE_Config* config = nullptr;
  GUI_BS_GroundEmitter* groundTest = nullptr;   // owned by the effects manager
  GUI_BS_Flamethrower* flamethrower = nullptr;  // owned
  float flamethrowerClock = 0.0f;
  void* reservedTest = nullptr;
};

// The open editor window, or null.
GUI_EE_EditorWindow* EffectsEditorWindow();

// The tests the panels run; each first empties the effects manager and the debris.
void EditorClearEffects();
void TriggerExplosionConfig(const std::string& configName);
// False (message shown) when no particle config of that name is loaded.
bool TriggerParticleConfig(const std::string& configName);
void MuzzleFlashTest(const std::string& heatConfigName, int count);
void GroundTest(const std::string& heatConfigName);
void HeatTrigger();
void FlamethrowerTest();
// The preview's centre in world units (where the window would stand on the screen when
// the editor is not open).
void EditorPreviewCentre(float* x, float* y);

class GUI_EE_Editor : public GUI_GameModeBase, public GUIButtonList {
 public:
  static constexpr int kKeyPadPlus = 107;
  static constexpr int kKeyPadMinus = 109;
  static GUI_GameModeBase* Create();
  GUI_EE_Editor();
  ~GUI_EE_Editor() override;

  void Draw() override;
  void OnChar(int character) override;
  void OnKeyDown(int key) override;
  void Process() override;
  void OnLeftDown() override;
  void OnRightDown() override {}
  void Enter() override;
  void Leave() override;
  void OnWheelUp() override;
  void OnWheelDown() override;

  // The battle's frame time the editor gives itself each frame (the battle is not run).
  static void AdvanceBattleTime();
  // One wheel step of zoom over the preview.
  void Zoom(bool wheelUp);

  GUI_IconButton* CloseButton() const { return close_; }
  static int OnClose(int);

 private:
  GUI_IconButton* close_ = nullptr;
  int savedState_ = 0;
  bool entered_ = false;
};
