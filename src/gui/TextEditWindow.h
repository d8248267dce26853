#pragma once
// The one-line text entry: design, scenario and file names, messages and numeric fields.
// At most one edit window holds the keyboard focus; the current game mode hands it every
// typed character (single Windows-1252 bytes) and key press (Windows virtual-key codes)
// first. The window filters what it accepts, limits the length, clamps numeric values
// and calls a change callback after every change.
#include <cstdint>
#include <string>
#include <vector>

#include "gui/KeyboardTarget.h"
#include "gui/WindowBase.h"

class GUI_Tooltip;

class GUI_TextEditWindow : public GUI_WindowBase, public GUI_KeyboardTarget {
 public:
  // The virtual-key codes the window answers.
  enum Key {
    kKeyBackspace = 8,
    kKeyReturn = 13,
    kKeySpace = 32,
    kKeyEnd = 35,
    kKeyHome = 36,
    kKeyLeft = 37,
    kKeyRight = 39,
    kKeyDelete = 46,
  };
  static constexpr float kFontSize = 16.0f;
  static constexpr uint64_t kBlinkMs = 200;

  GUI_TextEditWindow(const std::string& text, int maxLength);
  ~GUI_TextEditWindow() override;

  // Takes the focus from every other edit window and becomes the mode's focused field.
  void SetFocus();
  // Drops the focus; the mode forgets the field when it was this one.
  void KillFocus();
  static void KillFocusAll();

  // Types the text in through the same filters (not allowed on numeric fields), then
  // drops the focus.
  void SetText(const std::string& text);
  // Numeric fields only.
  std::string GetText() const { return text_; }
  void SetTooltip(const std::string& textKey);

  void Process() override;
  bool LeftClick(float x, float y) override;
  void Draw() override;
  // One Windows-1252 byte (0..255, or a signed char value).
  void OnChar(int character) override;
  void OnKeyDown(int key) override;

  bool IsFocused() const { return focused_; }
  bool CaretShown() const { return caretShown_; }
  int Cursor() const { return cursor_; }
  GUI_Tooltip* Tooltip() const { return tooltip_; }
  // Whether OnChar would take the byte (before the length and numeric rules).
  bool Accepts(unsigned char c) const;

  bool editable = true;
  bool noLeadingUnderscore = false;
  int maxLength = 0;
  bool fileNameSafe = false;  // refuses * . / : < > ? and backslash
  int numeric = 0;            // 1: digits and '.' only, value clamped
  int minValue = -1;          // -1: no bound
  int maxValue = -1;
  GUI_ButtonCallback changeCallback = nullptr;

 private:
  void Insert(unsigned char c);
  void Typed(unsigned char c);
  void NumericClamp();
  void Changed();
  // The first character shown: the text scrolls so the cursor stays inside the field.
  size_t FirstVisible();

  bool focused_ = false;
  bool caretShown_ = false;
  uint64_t blinkStart_ = 0;
  std::string text_;
  int cursor_ = 0;
  GUI_Tooltip* tooltip_ = nullptr;  // owned
  size_t firstVisible_ = 0;
};
