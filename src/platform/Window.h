#pragma once
// The SDL2 side of the main window and its event pump. Events arrive as window
// messages numbered like the Win32 ones the game's input code is written against.
#include <cstdint>
#include <string>

struct SDL_Window;

namespace platform {

// Message numbers (the Win32 values, so input code can use the documented numbers).
constexpr uint32_t WM_DESTROY = 0x0002;
constexpr uint32_t WM_QUIT = 0x0012;
constexpr uint32_t WM_ACTIVATEAPP = 0x001C;  // wParam 1 active, 0 inactive
constexpr uint32_t WM_SETCURSOR = 0x0020;
constexpr uint32_t WM_KEYDOWN = 0x0100;  // wParam virtual-key code
constexpr uint32_t WM_KEYUP = 0x0101;    // wParam virtual-key code
constexpr uint32_t WM_CHAR = 0x0102;     // wParam one Windows-1252 byte (1..255)
constexpr uint32_t WM_MOUSEMOVE = 0x0200;
constexpr uint32_t WM_LBUTTONDOWN = 0x0201;    // 513
constexpr uint32_t WM_LBUTTONUP = 0x0202;      // 514
constexpr uint32_t WM_LBUTTONDBLCLK = 0x0203;  // 515
constexpr uint32_t WM_RBUTTONDOWN = 0x0204;    // 516
constexpr uint32_t WM_RBUTTONUP = 0x0205;      // 517
constexpr uint32_t WM_MBUTTONDOWN = 0x0207;
constexpr uint32_t WM_MBUTTONUP = 0x0208;
constexpr uint32_t WM_MOUSEWHEEL = 0x020A;  // 522; wParam: signed delta (120 per notch) << 16

struct Message {
  uint32_t message = 0;
  int64_t wParam = 0;
  int64_t lParam = 0;  // mouse messages: x in the low 16 bits, y in the next 16
  int x = 0;           // mouse position in client pixels for mouse messages
  int y = 0;
};

// Starts SDL's video subsystem once; false (logged) when it cannot.
bool InitVideo();
void ShutdownVideo();

// The primary display's desktop size; false when unknown.
bool GetDesktopSize(int& width, int& height);

// Takes one waiting message (ours first, then translated SDL events); false when
// none waits. Events SDL reports that the game has no use for are dropped.
bool PollMessage(Message& out);
// Rests until a message waits or timeoutMs pass; true when one waits. An idle screen
// waits here between its frames, so input still wakes it at once. Without a video
// system nothing can wake it: it sleeps at most 5 ms and the loop polls again.
bool WaitForMessage(unsigned timeoutMs);
// Tests replace the wait (with one that moves their clock); null restores it.
using MessageWaitHook = bool (*)(unsigned timeoutMs);
void SetMessageWaitHook(MessageWaitHook hook);
// Queues a message of our own, taken before any SDL event (tests, quit).
void PostMessage(const Message& message);
// Queues WM_QUIT with the exit code; the message loop returns it.
void PostQuitMessage(int exitCode);
// Drops every queued message of our own.
void ClearPostedMessages();

// Whether a key (Windows virtual-key code) is held right now.
bool IsVirtualKeyDown(int virtualKey);

// SDL's key to the Windows virtual-key code the game uses (0 when it has none).
// Letters give 'A'..'Z', digits '0'..'9', keypad digits 96..105, keypad + 107, - 109.
int VirtualKeyFromSdl(int sdlKeycode, int sdlScancode);
// UTF-8 typed text to single-byte Windows-1252 characters; code points that have none
// are dropped (pound 0xA3, euro 0x80).
std::string Utf8ToWindows1252(const char* utf8);

// A modal box with one OK button; logs and returns when it cannot be shown (headless).
// icon: 0 error, 1 information.
void ShowMessageBox(const std::string& title, const std::string& text, int icon = 0);
// Tests replace the box (the hook receives title and text); null restores it.
using MessageBoxHook = void (*)(const std::string& title, const std::string& text);
void SetMessageBoxHook(MessageBoxHook hook);

// Ends the process at once with the code (no shutdown sequence, no static destructors).
// Tests install a hook that throws instead; a hook that returns still ends the process.
using ExitHook = void (*)(int code);
void SetExitHook(ExitHook hook);
[[noreturn]] void ExitProcess(int code);

// The base folder of the user folder: $ZENTRAK_USER_DIR when set, else $XDG_DATA_HOME,
// else ~/.local/share. Empty when none can be found.
std::string UserBaseFolder();
// "<base>/Zentrak", or "userdir/Zentrak" beside the working folder without a base.
std::string UserFolderRoot();

// A monotonic millisecond clock (64-bit).
uint64_t Milliseconds();
void SleepMilliseconds(unsigned ms);
// Tests replace the sleep (with one that counts or moves their clock); null restores it.
using SleepHook = void (*)(unsigned ms);
void SetSleepHook(SleepHook hook);

// The operating system's name and release for the debug log ("Linux 6.1.0").
std::string OperatingSystemName();

}  // namespace platform
