#pragma once
// The engine's view of the mouse and keyboard. One global object; the game's
// specialisation (CInput) forwards every event to the current game mode. The
// event pump turns window events into the message numbers below and calls
// DispatchMouseMessage, and keys and characters straight into OnKeyDown/OnChar.
#include <functional>

struct SDL_Window;
class GUI_BaseElement;

// Mouse messages as the dispatcher expects them (the Windows numbers).
enum MouseMessage : unsigned {
  kMsgLeftDown = 513,
  kMsgLeftUp = 514,
  kMsgLeftDoubleClick = 515,
  kMsgRightDown = 516,
  kMsgRightUp = 517,
  kMsgWheel = 522,
};

class GUI_InputManager {
 public:
  // A cursor move below this many pixels on both axes keeps the cursor "still".
  static constexpr float kStillRadius = 12.0f;
  // The still counter saturates here instead of overflowing.
  static constexpr int kStillCounterMax = 0x3FFFFFFF;

  GUI_InputManager();
  virtual ~GUI_InputManager();
  GUI_InputManager(const GUI_InputManager&) = delete;
  GUI_InputManager& operator=(const GUI_InputManager&) = delete;

  virtual void Poll();  // update the cursor, clear the per-poll flag
  virtual void OnWheelUp() {}
  virtual void OnWheelDown() {}
  virtual void OnLeftDown();  // sets leftHeld
  virtual void OnLeftUp();    // clears leftHeld
  virtual void OnRightDown() {}
  virtual void OnRightUp() {}
  virtual void OnKeyDown(int key) {}
  virtual void OnChar(int character) {}

  // Still counter, anchor and cursor position (run by every Poll).
  void UpdateMouse();

  // Where the cursor is read from: client coordinates of the main window. Tests
  // install a fake; an empty function restores the real one.
  using CursorReader = std::function<void(float& x, float& y)>;
  static void SetCursorReader(CursorReader reader);

  float x = 100.0f;  // cursor, window client pixels
  float y = 100.0f;
  bool leftHeld = false;
  int stillCounter = 0;  // polls the cursor has stayed near the anchor
  float anchorX = 0.0f;
  float anchorY = 0.0f;
  bool doubleClick = false;  // the last left press was the second of a double click
  bool pollFlag = false;     // cleared by every Poll
  bool enabled = false;      // mouse messages are ignored until start-up enables input
  SDL_Window* window = nullptr;
  // Set during a frame by the first window that has the cursor over it; later
  // buttons and map views ignore the mouse while it is set. Cleared by the game's Poll.
  bool MouseClaimed = false;
  // The window that last claimed the mouse this frame; cleared by the game's Poll.
  GUI_BaseElement* WindowUnderMouse = nullptr;
};

// The global input object (the game's CInput), built on first use with input disabled.
GUI_InputManager& GetInputManager();
// The application layer registers the builder of the game's own input object (CInput);
// without one the plain object is built. Registration is program wiring: resets keep it.
using InputManagerFactory = GUI_InputManager* (*)();
void SetInputManagerFactory(InputManagerFactory factory);
// Drops the object built so far, so that the next GetInputManager builds a fresh one.
void ResetInputManager();

// Turns one mouse message into one call on the object, only when it is enabled.
// For the wheel, param > 0 is a turn away from the user (up).
void DispatchMouseMessage(unsigned message, GUI_InputManager& input, long param);
// The same for a message that carries where it happened (client pixels): the cursor
// is moved there first, so the press is routed to what was under it even when the
// pointer has moved on since the frame polled it.
void DispatchMouseMessage(unsigned message, GUI_InputManager& input, long param, int x, int y);

bool IsCtrlDown();
bool IsShiftDown();
