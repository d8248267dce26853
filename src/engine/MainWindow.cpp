#include "engine/MainWindow.h"

#include <SDL.h>

#include "engine/Log.h"
#include "engine/Shell.h"
#include "platform/Device.h"
#include "platform/Image.h"
#include "platform/Window.h"

namespace {
// The program's icon, drawn by us and rasterised at build time; the game runs without it.
void SetProgramIcon(SDL_Window* window) {
  platform::DecodedImage image;
  std::string error;
  if (!platform::LoadImageFile("data/icons/zentrak.png", &image, &error) || image.levels.empty()) {
    DebugLogF("Program icon not loaded: %s", error.c_str());
    return;
  }
  const auto& pixels = image.levels[0];
  SDL_Surface* surface =
      SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(pixels.data()), image.width, image.height, 32,
                                         image.width * 4, SDL_PIXELFORMAT_ARGB8888);
  if (!surface) return;
  SDL_SetWindowIcon(window, surface);
  SDL_FreeSurface(surface);
}
}  // namespace

SDL_Window* CreateMainWindow(bool windowed) {
  SDL_Window* window = nullptr;
  if (platform::InitVideo()) {
    // The graphics back end makes its own context on this window and says which
    // flags it needs (none for the null device).
    Uint32 flags = SDL_WINDOW_HIDDEN | platform::WindowFlagsForDevice();
    if (!windowed) flags |= SDL_WINDOW_BORDERLESS;
    window = SDL_CreateWindow("Zentrak", 0, 0, 1280, 1024, flags);
    if (!window) {
      // Without OpenGL support the null device still needs a window.
      window = SDL_CreateWindow("Zentrak", 0, 0, 1280, 1024, flags & ~SDL_WINDOW_OPENGL);
    }
  }
  if (!window) {
    DebugLogF("CreateWindow failed: %s", SDL_GetError());
    FatalWindowsError("CreateWindow");
  }
  SDL_SetWindowResizable(window, SDL_FALSE);
  SetProgramIcon(window);
  SDL_StartTextInput();
  return window;
}

void ResizeMainWindow(SDL_Window* window, int width, int height) {
  if (!window || width <= 0 || height <= 0) return;
  SDL_SetWindowSize(window, width, height);
}

void DestroyMainWindow(SDL_Window* window) {
  if (window) SDL_DestroyWindow(window);
}
