#pragma once
// The options screen (game mode 5): the graphics check boxes, the volume, detail and
// scroll-speed sliders, the display mode (resolution list and full screen), the tutorial
// reset and the button that restarts the game so a display change takes effect. Check
// boxes save the options at once, sliders when the screen is left; the display choice
// goes straight to prefs.ini.
#include <string>
#include <vector>

#include "app/GUI_GameModeBase.h"
#include "engine/Sprites.h"
#include "gui/Buttons.h"
#include "gui/TitleBar.h"
#include "gui/WindowBase.h"

// A labelled value slider: drag the knob or turn the wheel over it.
class GUI_OptionsSlider : public GUI_WindowBase {
 public:
  // Runs with the option key and the new value whenever the value changes.
  using Action = void (*)(const std::string& key, float value);
  static constexpr float kKnobSize = 20.0f;
  static constexpr float kTrackFromTop = 30.0f;
  static constexpr float kHeight = 48.0f;

  GUI_OptionsSlider(const std::string& key, float value, Action action);

  void Draw() override;
  bool LeftClick(float x, float y) override;
  void OnWheelUp() override;
  void OnWheelDown() override;

  // Moves by the wheel step (up lowers the value); runs the action when it changed.
  void Step(bool up);
  // The wheel step at the current value.
  float WheelStep() const;
  // Drag: follows the mouse while the left button is held (called by Draw).
  void UpdateDragging();
  // Sets the value from a knob centre x on the track (clamped); runs the action on change.
  void SetFromKnobX(float knobX);
  float KnobX() const;
  float TrackLeft() const { return left + kKnobSize / 2.0f; }
  float TrackRight() const { return right - kKnobSize / 2.0f; }
  // "%.4f" below 1, "%.2f" from 1.
  static std::string FormatValue(float value);

  const std::string& Key() const { return key_; }
  bool IsDragging() const { return sliding_; }

  float value = 0.0f;
  float minimum = 0.0f;
  float maximum = 1.0f;
  bool showValue = true;
  std::string labelText;
  std::string tooltipText;

 private:
  void Change(float newValue);
  std::string key_;
  Action action_ = nullptr;
  CTexturedSprite knob_;
  bool sliding_ = false;
  float grabOffset_ = 0.0f;
};

// One offered display mode in the resolution list.
class GUI_ResolutionStrip : public GUI_WindowBase {
 public:
  GUI_ResolutionStrip(int width, int height);
  void DrawStrip(bool chosen, bool hovered);
  int modeWidth;
  int modeHeight;
  std::string label;
};

// The list of display modes, 20 pixels apart, scrolled with the wheel.
class GUI_ResolutionPicker : public GUI_WindowBase {
 public:
  static constexpr float kRowHeight = 20.0f;
  GUI_ResolutionPicker();

  void SetModes(const std::vector<std::pair<int, int>>& modes);
  void Draw() override;
  // The strip under the point, or null.
  GUI_ResolutionStrip* StripAt(float x, float y);
  void OnWheelUp() override;
  void OnWheelDown() override;
  int VisibleRows() const;
  int FirstRow() const { return firstRow_; }
  void LayOutStrips();

  int chosenWidth = 0;
  int chosenHeight = 0;

 private:
  int firstRow_ = 0;
};

class GUI_Options : public GUI_GameModeBase, public GUIButtonList {
 public:
  static constexpr int kSliderCount = 6;
  static const char* const kSliderKeys[kSliderCount];

  GUI_Options();
  ~GUI_Options() override;

  void Draw() override;
  void OnKeyDown(int key) override;
  void Process() override;
  void OnLeftDown() override;
  void Enter() override;
  void Leave() override;
  void OnWheelUp() override;
  void OnWheelDown() override;

  // The offered display modes: sorted, each size once, at least 1024 by 768.
  static std::vector<std::pair<int, int>> OfferedModes(const std::vector<std::pair<int, int>>& adapterModes);

  // Button callbacks.
  static int OnToggle(int index);
  static int OnFullScreen(int);
  static int OnResetTutorial(int);
  static int OnApplyChanges(int);
  static int OnClose(int);
  // What Apply runs after the shutdown: a fresh start of the program (tests replace it;
  // null restores it). False when the start failed.
  using RestartFunction = bool (*)();
  static void SetRestartFunction(RestartFunction restart);
  // A click on a strip: chooses its size and writes prefs.ini.
  void ChooseDisplay(int width, int height);

  GUI_CheckButton* Toggle(int index) const { return toggles_[index]; }
  GUI_OptionsSlider* Slider(int index) const { return sliders_[index]; }
  GUI_ResolutionPicker& Picker() { return picker_; }
  GUI_CheckButton* FullScreenBox() const { return fullScreen_; }
  GUI_ButtonText* ResetTutorialButton() const { return resetTutorial_; }
  GUI_ButtonText* ApplyButton() const { return apply_; }
  GUI_IconButton* CloseButton() const { return close_; }
  int ChosenWidth() const { return picker_.chosenWidth; }
  int ChosenHeight() const { return picker_.chosenHeight; }
  bool ChosenWindowed() const { return windowed_; }
  // The panel rectangle of the last layout.
  float PanelLeft() const { return panelLeft_; }
  float PanelTop() const { return panelTop_; }

 private:
  void LayOut();
  void WritePrefs();
  void ShowApply();
  void DrawPanel();

  GUI_IconButton* close_ = nullptr;  // buttons are owned by the button list
  GUI_CheckButton* toggles_[11] = {};
  GUI_OptionsSlider* sliders_[kSliderCount] = {};
  GUI_ResolutionPicker picker_;
  GUI_CheckButton* fullScreen_ = nullptr;
  GUI_ButtonText* resetTutorial_ = nullptr;
  GUI_ButtonText* apply_ = nullptr;
  bool windowed_ = false;
  GUI_TitleBar titleBar_;
  CTexturedSprite background_[2];
  float panelLeft_ = 0.0f, panelTop_ = 0.0f, panelRight_ = 0.0f, panelBottom_ = 0.0f;
  float modeAreaLeft_ = 0.0f, modeAreaTop_ = 0.0f, modeAreaRight_ = 0.0f, modeAreaBottom_ = 0.0f;
};

// The options mode object, or null when mode 5 is built as something else.
GUI_Options* GetOptionsScreen();
