#pragma once
// The OpenGL 3.3 core back end of the device (libepoxy for entry points, an SDL2 GL
// context on the main window; Mesa's software rasteriser where there is no GPU).
#include <memory>

#include "platform/Device.h"

namespace platform {
std::unique_ptr<Direct3D> CreateGLDirect3D();
}  // namespace platform
