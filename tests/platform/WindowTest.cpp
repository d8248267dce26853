// The SDL side: key codes, typed characters, the event pump and the user folder root.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/Window.h"
#include "support/EnvGuard.h"
#include "support/TestSupport.h"

namespace {

TEST(PlatformKeysTest, SdlKeysBecomeWindowsVirtualKeys) {
  struct Case {
    SDL_Keycode key;
    SDL_Scancode scancode;
    int vk;
  };
  const Case cases[] = {
      {SDLK_BACKSPACE, SDL_SCANCODE_BACKSPACE, 8},
      {SDLK_TAB, SDL_SCANCODE_TAB, 9},
      {SDLK_RETURN, SDL_SCANCODE_RETURN, 13},
      {SDLK_KP_ENTER, SDL_SCANCODE_KP_ENTER, 13},
      {SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, 27},
      {SDLK_SPACE, SDL_SCANCODE_SPACE, 32},
      {SDLK_END, SDL_SCANCODE_END, 35},
      {SDLK_HOME, SDL_SCANCODE_HOME, 36},
      {SDLK_LEFT, SDL_SCANCODE_LEFT, 37},
      {SDLK_UP, SDL_SCANCODE_UP, 38},
      {SDLK_RIGHT, SDL_SCANCODE_RIGHT, 39},
      {SDLK_DOWN, SDL_SCANCODE_DOWN, 40},
      {SDLK_PRINTSCREEN, SDL_SCANCODE_PRINTSCREEN, 44},
      {SDLK_DELETE, SDL_SCANCODE_DELETE, 46},
      {SDLK_a, SDL_SCANCODE_A, 'A'},
      {SDLK_z, SDL_SCANCODE_Z, 'Z'},
      {SDLK_0, SDL_SCANCODE_0, '0'},
      {SDLK_9, SDL_SCANCODE_9, '9'},
      {SDLK_KP_0, SDL_SCANCODE_KP_0, 96},
      {SDLK_KP_9, SDL_SCANCODE_KP_9, 105},
      {SDLK_KP_PLUS, SDL_SCANCODE_KP_PLUS, 107},
      {SDLK_KP_MINUS, SDL_SCANCODE_KP_MINUS, 109},
      {SDLK_F1, SDL_SCANCODE_F1, 112},
      {SDLK_LSHIFT, SDL_SCANCODE_LSHIFT, 16},
      {SDLK_RCTRL, SDL_SCANCODE_RCTRL, 17},
      {SDLK_MENU, SDL_SCANCODE_MENU, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(platform::VirtualKeyFromSdl(c.key, c.scancode), c.vk) << SDL_GetKeyName(c.key);
}

TEST(PlatformKeysTest, TypedTextBecomesWindows1252) {
  struct Case {
    const char* utf8;
    std::string bytes;
  };
  const Case cases[] = {
      {"abc", "abc"},
      {"\xC2\xA3", "\xA3"},                // pound
      {"\xE2\x82\xAC", "\x80"},            // euro
      {"\xC3\xA9t\xC3\xA9", "\xE9t\xE9"},  // accented letters
      {"\xE2\x80\x94", "\x97"},            // em dash
      {"\xE4\xB8\xAD!", "!"},              // no such character: dropped
      {"\xF0\x9F\x98\x80", ""},            // emoji: dropped
      {"\xC2\x81", ""},                    // a C1 control: dropped
      {"\xC3", ""},                        // cut sequence
      {"\x80x", "x"},                      // stray continuation byte
  };
  for (const Case& c : cases) EXPECT_EQ(platform::Utf8ToWindows1252(c.utf8), c.bytes) << c.utf8;
}

TEST(PlatformFoldersTest, UserFolderRootFollowsEnvironment) {
  // HOME and XDG_DATA_HOME go back as they were: later tests resolve folders from them.
  const zt_test::EnvGuard userDir("ZENTRAK_USER_DIR"), dataHome("XDG_DATA_HOME"), home("HOME");
  const std::string saved = zt_test::UserDir();
  EXPECT_EQ(platform::UserFolderRoot(), saved + "/Zentrak");
  unsetenv("ZENTRAK_USER_DIR");
  setenv("XDG_DATA_HOME", "/data/home", 1);
  EXPECT_EQ(platform::UserFolderRoot(), "/data/home/Zentrak");
  setenv("XDG_DATA_HOME", "relative/ignored", 1);
  setenv("HOME", "/home/player", 1);
  EXPECT_EQ(platform::UserFolderRoot(), "/home/player/.local/share/Zentrak");
}

TEST(PlatformClockTest, MillisecondsAreMonotonic) {
  const uint64_t a = platform::Milliseconds();
  platform::SleepMilliseconds(5);
  const uint64_t b = platform::Milliseconds();
  EXPECT_GE(b - a, 5u);
}

class EventPumpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::InitVideo());
    Drain();
  }
  void TearDown() override { Drain(); }
  static void Drain() {
    platform::Message m;
    while (platform::PollMessage(m)) {
    }
    platform::ClearPostedMessages();
  }
  static std::vector<platform::Message> Pump() {
    std::vector<platform::Message> out;
    platform::Message m;
    while (platform::PollMessage(m)) {
      if (m.message != platform::WM_MOUSEMOVE && m.message != platform::WM_SETCURSOR) out.push_back(m);
    }
    return out;
  }
  static void Key(Uint32 type, SDL_Keycode key, SDL_Scancode scancode, Uint16 mod = 0, bool repeat = false) {
    SDL_Event e{};
    e.type = type;
    e.key.keysym.sym = key;
    e.key.keysym.scancode = scancode;
    e.key.keysym.mod = mod;
    e.key.repeat = repeat ? 1 : 0;
    SDL_PushEvent(&e);
  }
};

using Expected = std::vector<std::pair<uint32_t, int64_t>>;

std::vector<std::pair<uint32_t, int64_t>> Pairs(const std::vector<platform::Message>& messages) {
  std::vector<std::pair<uint32_t, int64_t>> out;
  for (const platform::Message& m : messages) out.emplace_back(m.message, m.wParam);
  return out;
}

TEST_F(EventPumpTest, KeysAndTextArriveAsClassicMessages) {
  Key(SDL_KEYDOWN, SDLK_a, SDL_SCANCODE_A);
  SDL_Event text{};
  text.type = SDL_TEXTINPUT;
  SDL_strlcpy(text.text.text, "a\xC2\xA3", sizeof text.text.text);
  SDL_PushEvent(&text);
  Key(SDL_KEYDOWN, SDLK_PRINTSCREEN, SDL_SCANCODE_PRINTSCREEN);  // no key-down for PrintScreen
  Key(SDL_KEYUP, SDLK_PRINTSCREEN, SDL_SCANCODE_PRINTSCREEN);
  Key(SDL_KEYDOWN, SDLK_BACKSPACE, SDL_SCANCODE_BACKSPACE);
  Key(SDL_KEYDOWN, SDLK_v, SDL_SCANCODE_V, KMOD_LCTRL);  // Ctrl+V still reaches the characters
  EXPECT_EQ(Pairs(Pump()), (Expected{{platform::WM_KEYDOWN, 'A'},
                                     {platform::WM_CHAR, 'a'},
                                     {platform::WM_CHAR, 0xA3},
                                     {platform::WM_KEYUP, 44},
                                     {platform::WM_KEYDOWN, 8},
                                     {platform::WM_CHAR, 8},
                                     {platform::WM_KEYDOWN, 'V'},
                                     {platform::WM_CHAR, 22}}));
}

// Escape steps back one screen per press; from the main menu it ends the game. A held key's
// repeats would walk from a battle to the desktop, so only its first press counts, while
// held editing keys and letters still repeat in text fields.
TEST_F(EventPumpTest, AHeldEscapeCountsOnceOtherKeysRepeat) {
  Key(SDL_KEYDOWN, SDLK_ESCAPE, SDL_SCANCODE_ESCAPE);
  for (int i = 0; i < 3; ++i) Key(SDL_KEYDOWN, SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, 0, true);
  Key(SDL_KEYUP, SDLK_ESCAPE, SDL_SCANCODE_ESCAPE);
  Key(SDL_KEYDOWN, SDLK_ESCAPE, SDL_SCANCODE_ESCAPE);  // a new press
  Key(SDL_KEYDOWN, SDLK_BACKSPACE, SDL_SCANCODE_BACKSPACE, 0, true);
  EXPECT_EQ(Pairs(Pump()), (Expected{{platform::WM_KEYDOWN, 27},
                                     {platform::WM_CHAR, 27},
                                     {platform::WM_KEYUP, 27},
                                     {platform::WM_KEYDOWN, 27},
                                     {platform::WM_CHAR, 27},
                                     {platform::WM_KEYDOWN, 8},
                                     {platform::WM_CHAR, 8}}));
}

// The idle menu rests in WaitForMessage, which takes one event off SDL's queue and can
// leave SDL's end-of-poll marker in front of what comes next. A click queued behind that
// marker is still the next message, not one that waits for a later poll.
TEST_F(EventPumpTest, AClickQueuedAfterAnIdleWaitIsTheNextMessage) {
  SDL_Event motion{};
  motion.type = SDL_MOUSEMOTION;
  motion.motion.x = 10;
  motion.motion.y = 20;
  ASSERT_EQ(SDL_PushEvent(&motion), 1);
  ASSERT_TRUE(platform::WaitForMessage(50));
  SDL_Event down{};
  down.type = SDL_MOUSEBUTTONDOWN;
  down.button.button = SDL_BUTTON_LEFT;
  down.button.clicks = 1;
  down.button.x = 90;
  down.button.y = 720;
  ASSERT_EQ(SDL_PushEvent(&down), 1);
  std::vector<uint32_t> got;
  platform::Message m;
  while (platform::PollMessage(m)) got.push_back(m.message);
  EXPECT_EQ(
      got, (std::vector<uint32_t>{platform::WM_MOUSEMOVE, platform::WM_SETCURSOR, platform::WM_LBUTTONDOWN}));
}

TEST_F(EventPumpTest, MouseButtonsDoubleClicksAndWheel) {
  auto button = [](Uint32 type, Uint8 which, Uint8 clicks) {
    SDL_Event e{};
    e.type = type;
    e.button.button = which;
    e.button.clicks = clicks;
    e.button.x = 300;
    e.button.y = 200;
    SDL_PushEvent(&e);
  };
  button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 1);
  button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 1);
  button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 2);
  button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 1);
  button(SDL_MOUSEBUTTONUP, SDL_BUTTON_MIDDLE, 1);
  for (int y : {1, -2}) {
    SDL_Event e{};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.y = y;
    SDL_PushEvent(&e);
  }
  const std::vector<platform::Message> got = Pump();
  ASSERT_EQ(got.size(), 7u);
  EXPECT_EQ(Pairs({got.begin(), got.begin() + 5}), (Expected{{platform::WM_LBUTTONDOWN, 0},
                                                             {platform::WM_LBUTTONUP, 0},
                                                             {platform::WM_LBUTTONDBLCLK, 0},
                                                             {platform::WM_RBUTTONDOWN, 0},
                                                             {platform::WM_MBUTTONUP, 0}}));
  EXPECT_EQ(got[0].x, 300);
  EXPECT_EQ(got[0].y, 200);
  // The wheel delta sits in the upper half, so its sign is the direction.
  EXPECT_EQ(got[5].message, platform::WM_MOUSEWHEEL);
  EXPECT_GT(static_cast<int32_t>(got[5].wParam), 0);
  EXPECT_LT(static_cast<int32_t>(got[6].wParam), 0);
}

TEST_F(EventPumpTest, FocusAndCloseBecomeActivationAndOneDestroy) {
  auto window = [](Uint8 event) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = event;
    SDL_PushEvent(&e);
  };
  window(SDL_WINDOWEVENT_FOCUS_LOST);
  window(SDL_WINDOWEVENT_FOCUS_GAINED);
  window(SDL_WINDOWEVENT_CLOSE);
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  SDL_PushEvent(&quit);
  EXPECT_EQ(
      Pairs(Pump()),
      (Expected{{platform::WM_ACTIVATEAPP, 0}, {platform::WM_ACTIVATEAPP, 1}, {platform::WM_DESTROY, 0}}));
}

TEST_F(EventPumpTest, PostedMessagesComeFirst) {
  Key(SDL_KEYDOWN, SDLK_b, SDL_SCANCODE_B);
  platform::PostQuitMessage(3);
  EXPECT_EQ(Pairs(Pump()), (Expected{{platform::WM_QUIT, 3}, {platform::WM_KEYDOWN, 'B'}}));
}

}  // namespace
