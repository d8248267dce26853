#include "support/BenchGame.h"

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

#include "app/Game.h"
#include "engine/D3DEngine.h"
#include "engine/Singletons.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"
#include "game/ConnectLayers.h"
#include "platform/NullDevice.h"

bool BenchStartProcess(int* argc, char** argv, BenchGame& bench) {
  for (int i = 1; i < *argc; ++i)
    if (std::strcmp(argv[i], "--gl") == 0) bench.gl = true;
  char tmpl[] = "/tmp/zentrak-bench-XXXXXX";
  if (const char* scratch = mkdtemp(tmpl)) {
    bench.scratch = scratch;
    setenv("ZENTRAK_USER_DIR", scratch, 0);
  }
  if (chdir(ZENTRAK_BUILD_DIR) != 0) return false;
  benchmark::Initialize(argc, argv);
  GetGame().InitUserFolders();
  ConnectGameLayers();
  return true;
}

bool BenchOpenDevice(BenchGame& bench, int w, int h, const char* title, const char* extraTextureFolder) {
  D3DEngine& e = GetRenderDevice();
  bool ok = true;
  if (bench.gl) {
    ok = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    if (ok) bench.window = SDL_CreateWindow(title, 0, 0, w, h, SDL_WINDOW_OPENGL);
    ok = ok && bench.window;
    if (ok) {
      e.SetMainWindow(bench.window);
      e.SetBackend(platform::Backend::OpenGL);
    }
  } else {
    e.SetDirect3D(std::make_unique<platform::NullDirect3D>());
  }
  ok = ok && e.InitD3D(w, h, true);
  if (!ok) {
    std::fprintf(stderr, "no %s device (run --gl under a display, e.g. xvfb-run)\n",
                 bench.gl ? "OpenGL" : "null");
    return false;
  }
  if (bench.gl) SDL_GL_SetSwapInterval(0);
  e.SetFramePacing(false);
  e.SetScreenSize(w, h);
  RegisterTextureFolder("data/bitmaps");
  if (extraTextureFolder) RegisterTextureFolder(extraTextureFolder);
  InitGlobalVertexBuffer();
  return true;
}

void BenchClose(BenchGame& bench) {
  ResetAllSingletons();
  GetGlobalVertexBuffer().Release();
  GetRenderDevice().ReleaseD3D();
  if (bench.window) SDL_DestroyWindow(bench.window);
  bench.window = nullptr;
  if (!bench.scratch.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(bench.scratch, ec);
  }
}
