#include "engine/InputManager.h"

#include <SDL.h>

#include <cmath>
#include <cstdint>
#include <memory>

#include "engine/Singletons.h"

namespace {

GUI_InputManager::CursorReader& Reader() {
  static GUI_InputManager::CursorReader reader;
  // A test's fake cursor never outlives the test.
  static bool registered = (RegisterSingletonReset([] { reader = nullptr; }), true);
  (void)registered;
  return reader;
}

void ReadRealCursor(float& x, float& y) {
  // SDL reports the cursor in the focused window's client coordinates, which is
  // what the game wants both windowed and in (borderless) full screen.
  int ix = 0;
  int iy = 0;
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return;
  SDL_GetMouseState(&ix, &iy);
  x = static_cast<float>(ix);
  y = static_cast<float>(iy);
}

std::unique_ptr<GUI_InputManager>& InputPtr() {
  static std::unique_ptr<GUI_InputManager> p;
  return p;
}

}  // namespace

GUI_InputManager::GUI_InputManager() = default;
GUI_InputManager::~GUI_InputManager() = default;

void GUI_InputManager::SetCursorReader(CursorReader reader) { Reader() = std::move(reader); }

void GUI_InputManager::UpdateMouse() {
  // The position stored by the previous poll decides whether the cursor rested.
  if (std::fabs(x - anchorX) < kStillRadius && std::fabs(y - anchorY) < kStillRadius) {
    if (stillCounter < kStillCounterMax) ++stillCounter;
  } else {
    stillCounter = 0;
    anchorX = x;
    anchorY = y;
  }
  float nx = x;
  float ny = y;
  if (Reader()) {
    Reader()(nx, ny);
  } else {
    ReadRealCursor(nx, ny);
  }
  x = nx;
  y = ny;
}

void GUI_InputManager::Poll() {
  UpdateMouse();
  pollFlag = false;
}

void GUI_InputManager::OnLeftDown() { leftHeld = true; }
void GUI_InputManager::OnLeftUp() { leftHeld = false; }

namespace {
InputManagerFactory& Factory() {
  static InputManagerFactory factory = nullptr;
  return factory;
}
}  // namespace

void SetInputManagerFactory(InputManagerFactory factory) { Factory() = factory; }

void ResetInputManager() { InputPtr().reset(); }

GUI_InputManager& GetInputManager() {
  static bool registered = (RegisterSingletonReset([] { InputPtr().reset(); }), true);
  (void)registered;
  auto& p = InputPtr();
  if (!p) {
    if (InputManagerFactory factory = Factory()) p.reset(factory());
    if (!p) p = std::make_unique<GUI_InputManager>();
  }
  return *p;
}

void DispatchMouseMessage(unsigned message, GUI_InputManager& input, long param) {
  if (!input.enabled) return;
  switch (message) {
    case kMsgLeftDown:
      input.doubleClick = false;
      input.OnLeftDown();
      break;
    case kMsgLeftDoubleClick:
      input.doubleClick = true;
      input.OnLeftDown();
      break;
    case kMsgLeftUp:
      input.OnLeftUp();
      break;
    case kMsgRightDown:
      input.OnRightDown();
      break;
    case kMsgRightUp:
      input.OnRightUp();
      break;
    case kMsgWheel:
      // The wheel delta arrives as a signed 32-bit number.
      if (static_cast<std::int32_t>(param) >= 1) {
        input.OnWheelUp();
      } else {
        input.OnWheelDown();
      }
      break;
    default:
      break;
  }
}

void DispatchMouseMessage(unsigned message, GUI_InputManager& input, long param, int x, int y) {
  if (!input.enabled) return;
  switch (message) {
    case kMsgLeftDown:
    case kMsgLeftDoubleClick:
    case kMsgLeftUp:
    case kMsgRightDown:
    case kMsgRightUp:
    case kMsgWheel:
      input.x = static_cast<float>(x);
      input.y = static_cast<float>(y);
      break;
    default:
      return;
  }
  DispatchMouseMessage(message, input, param);
}

bool IsCtrlDown() { return (SDL_GetModState() & KMOD_CTRL) != 0; }
bool IsShiftDown() { return (SDL_GetModState() & KMOD_SHIFT) != 0; }
