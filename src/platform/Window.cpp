#include "platform/Window.h"

#include <SDL.h>
#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

namespace platform {
namespace {

std::mutex g_queueMutex;
std::deque<Message> g_posted;      // our own messages, taken first
std::deque<Message> g_translated;  // further messages made from one SDL event
bool g_videoUp = false;
bool g_destroySent = false;
MessageBoxHook g_boxHook = nullptr;
MessageWaitHook g_waitHook = nullptr;
SleepHook g_sleepHook = nullptr;
ExitHook g_exitHook = nullptr;

Message Make(uint32_t message, int64_t wParam, int x = 0, int y = 0) {
  Message m;
  m.message = message;
  m.wParam = wParam;
  m.x = x;
  m.y = y;
  m.lParam = static_cast<int64_t>((x & 0xFFFF) | ((y & 0xFFFF) << 16));
  return m;
}

// Wheel parameter as the classic message carried it: the signed delta in the upper half.
int64_t WheelParam(int notches) {
  const int32_t delta = static_cast<int16_t>(notches * 120);
  return static_cast<int32_t>(static_cast<uint32_t>(delta) << 16);
}

// Characters the key itself produces on the classic message path but SDL's text
// input does not: editing keys and Ctrl+letter.
int ControlCharacter(const SDL_KeyboardEvent& key) {
  switch (key.keysym.sym) {
    case SDLK_BACKSPACE:
      return 8;
    case SDLK_TAB:
      return 9;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
      return 13;
    case SDLK_ESCAPE:
      return 27;
    default:
      break;
  }
  if ((key.keysym.mod & KMOD_CTRL) && !(key.keysym.mod & KMOD_ALT) && key.keysym.sym >= SDLK_a &&
      key.keysym.sym <= SDLK_z)
    return static_cast<int>(key.keysym.sym - SDLK_a + 1);
  return 0;
}

void Translate(const SDL_Event& e, std::deque<Message>& out) {
  switch (e.type) {
    case SDL_QUIT:
      if (!g_destroySent) out.push_back(Make(WM_DESTROY, 0));
      g_destroySent = true;
      break;
    case SDL_WINDOWEVENT:
      switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
          if (!g_destroySent) out.push_back(Make(WM_DESTROY, 0));
          g_destroySent = true;
          break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
        case SDL_WINDOWEVENT_RESTORED:
          out.push_back(Make(WM_ACTIVATEAPP, 1));
          break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
        case SDL_WINDOWEVENT_MINIMIZED:
          out.push_back(Make(WM_ACTIVATEAPP, 0));
          break;
        default:
          break;
      }
      break;
    case SDL_KEYDOWN: {
      // Escape walks back through the screens (battle, browser, menu, and from the menu out
      // of the game): a held key repeating must not walk the whole chain to the desktop.
      if (e.key.repeat && e.key.keysym.sym == SDLK_ESCAPE) break;
      const int vk = VirtualKeyFromSdl(e.key.keysym.sym, e.key.keysym.scancode);
      // PrintScreen reports only its release, as on the classic platform.
      if (vk != 0 && vk != 44) out.push_back(Make(WM_KEYDOWN, vk));
      const int c = ControlCharacter(e.key);
      if (c) out.push_back(Make(WM_CHAR, c));
      break;
    }
    case SDL_KEYUP: {
      const int vk = VirtualKeyFromSdl(e.key.keysym.sym, e.key.keysym.scancode);
      if (vk != 0) out.push_back(Make(WM_KEYUP, vk));
      break;
    }
    case SDL_TEXTINPUT: {
      for (unsigned char c : Utf8ToWindows1252(e.text.text)) {
        // Ctrl+letter already produced its control character from the key.
        if (c >= 32 || c == 0) {
          if (c) out.push_back(Make(WM_CHAR, c));
        }
      }
      break;
    }
    case SDL_MOUSEMOTION:
      out.push_back(Make(WM_MOUSEMOVE, 0, e.motion.x, e.motion.y));
      out.push_back(Make(WM_SETCURSOR, 0, e.motion.x, e.motion.y));
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      const bool down = e.type == SDL_MOUSEBUTTONDOWN;
      uint32_t msg = 0;
      if (e.button.button == SDL_BUTTON_LEFT) {
        msg = down ? (e.button.clicks >= 2 && e.button.clicks % 2 == 0 ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN)
                   : WM_LBUTTONUP;
      } else if (e.button.button == SDL_BUTTON_RIGHT) {
        msg = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
      } else if (e.button.button == SDL_BUTTON_MIDDLE) {
        msg = down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
      }
      if (msg) out.push_back(Make(msg, 0, e.button.x, e.button.y));
      break;
    }
    case SDL_MOUSEWHEEL: {
      int notches = e.wheel.y;
      if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) notches = -notches;
      if (notches != 0) {
        // Where the wheel turned, not where the pointer is by the time the event is read.
        out.push_back(Make(WM_MOUSEWHEEL, WheelParam(notches), e.wheel.mouseX, e.wheel.mouseY));
      }
      break;
    }
    default:
      break;
  }
}

bool Headless() {
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver && SDL_strcmp(driver, "dummy") == 0) return true;
  const char* wanted = std::getenv("SDL_VIDEODRIVER");
  if (wanted && std::strcmp(wanted, "dummy") == 0) return true;
  return !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY");
}

}  // namespace

bool InitVideo() {
  if (g_videoUp) return true;
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    std::fprintf(stderr, "SDL video could not start: %s\n", SDL_GetError());
    return false;
  }
  g_videoUp = true;
  g_destroySent = false;
  return true;
}

void ShutdownVideo() {
  if (!g_videoUp) return;
  SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
  g_videoUp = false;
}

bool GetDesktopSize(int& width, int& height) {
  if (!InitVideo()) return false;
  SDL_DisplayMode mode;
  if (SDL_GetDesktopDisplayMode(0, &mode) != 0 || mode.w <= 0 || mode.h <= 0) return false;
  width = mode.w;
  height = mode.h;
  return true;
}

bool PollMessage(Message& out) {
  {
    std::lock_guard<std::mutex> lock(g_queueMutex);
    if (!g_posted.empty()) {
      out = g_posted.front();
      g_posted.pop_front();
      return true;
    }
  }
  if (!g_translated.empty()) {
    out = g_translated.front();
    g_translated.pop_front();
    return true;
  }
  if (!g_videoUp) return false;
  SDL_Event e;
  auto take = [&out]() {
    if (g_translated.empty()) return false;
    out = g_translated.front();
    g_translated.pop_front();
    return true;
  };
  while (SDL_PollEvent(&e)) {
    Translate(e, g_translated);
    if (take()) return true;
  }
  // SDL_PollEvent stops at SDL's end-of-poll marker, and a wait that took one event can
  // leave that marker in front of events queued since (a click on the idle menu). "No
  // message" must mean an empty queue, so what lies behind the marker is read too.
  while (SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1) {
    Translate(e, g_translated);
    if (take()) return true;
  }
  return false;
}

void PostMessage(const Message& message) {
  std::lock_guard<std::mutex> lock(g_queueMutex);
  g_posted.push_back(message);
}

void PostQuitMessage(int exitCode) { PostMessage(Make(WM_QUIT, exitCode)); }

void ClearPostedMessages() {
  std::lock_guard<std::mutex> lock(g_queueMutex);
  g_posted.clear();
  g_translated.clear();
  g_destroySent = false;
}

bool IsVirtualKeyDown(int virtualKey) {
  if (!g_videoUp) return false;
  const SDL_Keymod mod = SDL_GetModState();
  switch (virtualKey) {
    case 16:
      return (mod & KMOD_SHIFT) != 0;
    case 17:
      return (mod & KMOD_CTRL) != 0;
    case 18:
      return (mod & KMOD_ALT) != 0;
    case 160:
      return (mod & KMOD_LSHIFT) != 0;
    case 161:
      return (mod & KMOD_RSHIFT) != 0;
    case 162:
      return (mod & KMOD_LCTRL) != 0;
    case 163:
      return (mod & KMOD_RCTRL) != 0;
    default:
      break;
  }
  int count = 0;
  const Uint8* state = SDL_GetKeyboardState(&count);
  for (int sc = 0; sc < count; ++sc) {
    if (!state[sc]) continue;
    const SDL_Scancode scancode = static_cast<SDL_Scancode>(sc);
    if (VirtualKeyFromSdl(SDL_GetKeyFromScancode(scancode), sc) == virtualKey) return true;
  }
  return false;
}

int VirtualKeyFromSdl(int sdlKeycode, int sdlScancode) {
  // The keypad is told apart by position, whatever Num Lock says.
  switch (sdlScancode) {
    case SDL_SCANCODE_KP_0:
      return 96;
    case SDL_SCANCODE_KP_1:
      return 97;
    case SDL_SCANCODE_KP_2:
      return 98;
    case SDL_SCANCODE_KP_3:
      return 99;
    case SDL_SCANCODE_KP_4:
      return 100;
    case SDL_SCANCODE_KP_5:
      return 101;
    case SDL_SCANCODE_KP_6:
      return 102;
    case SDL_SCANCODE_KP_7:
      return 103;
    case SDL_SCANCODE_KP_8:
      return 104;
    case SDL_SCANCODE_KP_9:
      return 105;
    case SDL_SCANCODE_KP_MULTIPLY:
      return 106;
    case SDL_SCANCODE_KP_PLUS:
      return 107;
    case SDL_SCANCODE_KP_MINUS:
      return 109;
    case SDL_SCANCODE_KP_PERIOD:
      return 110;
    case SDL_SCANCODE_KP_DIVIDE:
      return 111;
    case SDL_SCANCODE_KP_ENTER:
      return 13;
    case SDL_SCANCODE_PRINTSCREEN:
      return 44;
    default:
      break;
  }
  if (sdlKeycode >= SDLK_a && sdlKeycode <= SDLK_z) return 'A' + (sdlKeycode - SDLK_a);
  if (sdlKeycode >= SDLK_0 && sdlKeycode <= SDLK_9) return '0' + (sdlKeycode - SDLK_0);
  if (sdlKeycode >= SDLK_F1 && sdlKeycode <= SDLK_F12) return 112 + (sdlKeycode - SDLK_F1);
  switch (sdlKeycode) {
    case SDLK_BACKSPACE:
      return 8;
    case SDLK_TAB:
      return 9;
    case SDLK_RETURN:
      return 13;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
      return 16;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
      return 17;
    case SDLK_LALT:
    case SDLK_RALT:
      return 18;
    case SDLK_PAUSE:
      return 19;
    case SDLK_CAPSLOCK:
      return 20;
    case SDLK_ESCAPE:
      return 27;
    case SDLK_SPACE:
      return 32;
    case SDLK_PAGEUP:
      return 33;
    case SDLK_PAGEDOWN:
      return 34;
    case SDLK_END:
      return 35;
    case SDLK_HOME:
      return 36;
    case SDLK_LEFT:
      return 37;
    case SDLK_UP:
      return 38;
    case SDLK_RIGHT:
      return 39;
    case SDLK_DOWN:
      return 40;
    case SDLK_PRINTSCREEN:
      return 44;
    case SDLK_INSERT:
      return 45;
    case SDLK_DELETE:
      return 46;
    case SDLK_SEMICOLON:
      return 186;
    case SDLK_EQUALS:
      return 187;
    case SDLK_COMMA:
      return 188;
    case SDLK_MINUS:
      return 189;
    case SDLK_PERIOD:
      return 190;
    case SDLK_SLASH:
      return 191;
    case SDLK_BACKQUOTE:
      return 192;
    case SDLK_LEFTBRACKET:
      return 219;
    case SDLK_BACKSLASH:
      return 220;
    case SDLK_RIGHTBRACKET:
      return 221;
    case SDLK_QUOTE:
      return 222;
    default:
      return 0;
  }
}

std::string Utf8ToWindows1252(const char* utf8) {
  std::string out;
  if (!utf8) return out;
  // Code points 0x80..0x9F of Windows-1252 (0 where the code page has none).
  static const uint16_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                     0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                     0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                     0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
  const unsigned char* p = reinterpret_cast<const unsigned char*>(utf8);
  while (*p) {
    uint32_t cp = 0;
    int extra = 0;
    if (*p < 0x80) {
      cp = *p;
    } else if ((*p & 0xE0) == 0xC0) {
      cp = *p & 0x1F;
      extra = 1;
    } else if ((*p & 0xF0) == 0xE0) {
      cp = *p & 0x0F;
      extra = 2;
    } else if ((*p & 0xF8) == 0xF0) {
      cp = *p & 0x07;
      extra = 3;
    } else {
      ++p;  // a stray continuation byte
      continue;
    }
    ++p;
    bool valid = true;
    for (int i = 0; i < extra; ++i) {
      if ((*p & 0xC0) != 0x80) {
        valid = false;
        break;
      }
      cp = (cp << 6) | (*p & 0x3F);
      ++p;
    }
    if (!valid) continue;
    // An over-long form (C0 AF for "/") is not that character: a filter that refuses
    // "/" must never see one slip through as another byte sequence.
    static const uint32_t kSmallest[4] = {0, 0x80, 0x800, 0x10000};
    if (cp < kSmallest[extra]) continue;
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
      out += static_cast<char>(cp);
      continue;
    }
    for (int i = 0; i < 32; ++i) {
      if (kHigh[i] && kHigh[i] == cp) {
        out += static_cast<char>(0x80 + i);
        break;
      }
    }
  }
  return out;
}

void ShowMessageBox(const std::string& title, const std::string& text, int icon) {
  if (g_boxHook) {
    g_boxHook(title, text);
    return;
  }
  std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
  // Without a display nobody could close the box, so it is never shown there.
  if (Headless()) return;
  const Uint32 flags = icon == 0 ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION;
  SDL_ShowSimpleMessageBox(flags, title.c_str(), text.c_str(), nullptr);
}

void SetMessageBoxHook(MessageBoxHook hook) { g_boxHook = hook; }

void SetMessageWaitHook(MessageWaitHook hook) { g_waitHook = hook; }

bool WaitForMessage(unsigned timeoutMs) {
  if (g_waitHook) return g_waitHook(timeoutMs);
  {
    std::lock_guard<std::mutex> lock(g_queueMutex);
    if (!g_posted.empty()) return true;
  }
  if (!g_translated.empty()) return true;
  if (!g_videoUp) {
    SleepMilliseconds(std::min(timeoutMs, 5u));
    return false;
  }
  SDL_Event e;
  if (SDL_WaitEventTimeout(&e, static_cast<int>(std::min(timeoutMs, 1000u))) == 0) return false;
  // Kept for PollMessage, in the order it came; an event the game has no use for wakes
  // nothing.
  Translate(e, g_translated);
  return !g_translated.empty();
}

void SetExitHook(ExitHook hook) { g_exitHook = hook; }

void ExitProcess(int code) {
  if (g_exitHook) g_exitHook(code);
  std::fflush(nullptr);
  std::_Exit(code);
}

std::string UserBaseFolder() {
  const char* user = std::getenv("ZENTRAK_USER_DIR");
  if (user && *user) return user;
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && *xdg == '/') return xdg;
  const char* home = std::getenv("HOME");
  if (!home || !*home) {
    if (const passwd* pw = getpwuid(getuid())) home = pw->pw_dir;
  }
  if (home && *home) return std::string(home) + "/.local/share";
  return std::string();
}

std::string UserFolderRoot() {
  const std::string base = UserBaseFolder();
  return (base.empty() ? std::string("userdir") : base) + "/Zentrak";
}

uint64_t Milliseconds() {
  using namespace std::chrono;
  return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void SleepMilliseconds(unsigned ms) {
  if (g_sleepHook) {
    g_sleepHook(ms);
    return;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void SetSleepHook(SleepHook hook) { g_sleepHook = hook; }

std::string OperatingSystemName() {
  utsname u{};
  if (uname(&u) != 0) return "Unknown O/S";
  return std::string(u.sysname) + " " + u.release;
}

}  // namespace platform

// Sanitizer builds: D-Bus, which SDL loads for input methods under a display, keeps
// allocations until exit. They are not ours, so the leak check leaves them out; the
// runtime asks for this list by name, other builds never call it.
extern "C" __attribute__((used, visibility("default"))) const char* __lsan_default_suppressions() {
  return "leak:libdbus-1.so\n";
}
