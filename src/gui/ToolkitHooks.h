#pragma once
// What the toolkit needs of the application above it: interface sounds, the
// tutorial's control of buttons, the text colours and the graphics detail option.
// The application registers these once at start-up; unset, the toolkit is silent,
// every button may be pressed and the defaults below hold.
#include <cstdint>

class GUI_BaseElement;
class GUI_KeyboardTarget;

struct GUI_ToolkitHooks {
  // Interface sound n of the sound manager.
  void (*playGuiSound)(int n) = nullptr;
  // A looped sound of the interface bank at the interface volume: its handle, or -1.
  int (*playInterfaceLoop)(const char* file) = nullptr;
  // Stops a sound started above (nothing when the sound manager is gone).
  void (*stopSound)(int handle) = nullptr;
  // The tutorial: whether a button may be pressed now, and that one was pressed.
  bool (*isButtonAllowed)(const GUI_BaseElement* element) = nullptr;
  void (*buttonPressed)(const GUI_BaseElement* element) = nullptr;
  // The game's text colours (unset: 0xFFE2B101 and 0xFF787878).
  uint32_t (*textColour)() = nullptr;
  uint32_t (*dimTextColour)() = nullptr;
  // True for the high graphics detail (unset: high).
  bool (*highDetail)() = nullptr;
  // The current game mode's focused-field slot, or null when there is no mode.
  GUI_KeyboardTarget** (*focusedEditSlot)() = nullptr;
};

// The process-wide hooks. Registration is program wiring: tests' resets keep it.
GUI_ToolkitHooks& GetToolkitHooks();

// The calls the widgets make, each falling back when its hook is unset.
void PlayGuiSound(int n);
// The tutorial's word on a button (unset: allowed), and the news that it was pressed.
bool IsButtonAllowed(const GUI_BaseElement* element);
void ButtonPressed(const GUI_BaseElement* element);
// The current mode's focused-field slot, or null.
GUI_KeyboardTarget** FocusedEditSlot();
