// The map designer's two render-to-texture jobs on the OpenGL device (1280 x 800, Mesa's
// software renderer under xvfb-run): the shadow map and the 512 px map image, for the
// largest shipped map and for a 20 x 20 map (the loader's limit) with a path tile on
// every square. In the same run, the bare cost they cannot avoid: reading back an empty
// render target of the same size and saving it as JPEG. Prints each job's time over the
// bare save (target: under 2).
#include "mapdesigner/MapDesigner.h"

#include <SDL.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "engine/D3DEngine.h"
#include "engine/Folders.h"
#include "engine/Random.h"
#include "engine/ShaderEffects.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"
#include "simdata/MapSquare.h"
#include "simdata/Scenario.h"

namespace {
constexpr int kW = 1280, kH = 800;
SDL_Window* g_window = nullptr;
std::string g_out;

bool StartDevice() {
  D3DEngine& e = GetRenderDevice();
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
  g_window =
      SDL_CreateWindow("Zentrak bench: map designer", 0, 0, kW, kH, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  if (!g_window) return false;
  e.SetMainWindow(g_window);
  e.SetBackend(platform::Backend::OpenGL);
  if (!e.InitD3D(kW, kH, true)) return false;
  SDL_GL_SetSwapInterval(0);
  e.SetFramePacing(false);
  e.SetScreenSize(kW, kH);
  RegisterTextureFolder("data/bitmaps");
  RegisterTextureFolder("data/scenarios");
  InitGlobalVertexBuffer();
  GetShaderManager().LoadAll();
  e.CreateRenderTarget("rt_lightmap", kW, kH, platform::Format::X8R8G8B8);
  e.CreateRenderTarget("rt_selection", kW, kH, platform::Format::A8R8G8B8);
  e.CreateRenderTarget("rt_empty", kW, kH, platform::Format::X8R8G8B8);
  InitRandomWithSeed(1);
  return true;
}

// A 20 x 20 map: every row a road running east to an exit in the last column.
std::string WriteFullPathMap() {
  const std::string folder = g_out + "/full20";
  std::filesystem::create_directories(folder);
  std::ofstream out(folder + "/scenario.ini");
  out << "[config]\nname = full20\nid = full20\nguiname = Full\nmaxcols = 20\nmaxrows = 20\n"
         "using_lightmap = 1\nlightmap_color = 128,128,160,255\n\n[map]\n";
  for (int r = 0; r < 20; ++r) {
    for (int c = 0; c < 20; ++c) {
      const int n = r * 20 + c;
      out << r << "-" << c << " = " << n << ",\"";
      if (c < 19) out << n + 1 << ",";
      out << "\",0,0," << (c % 4 < 2 ? "grass" : "mud") << ",\"pathlr,0\",," << (c == 19 ? "EXIT" : "")
          << "\n";
    }
  }
  return folder + "/scenario.ini";
}

SIM_Scenario* LoadMap(const std::string& file) {
  auto* s = new SIM_Scenario();
  if (!s->Load(file) || !s->LoadMap()) {
    std::fprintf(stderr, "cannot load %s\n", file.c_str());
    return nullptr;
  }
  s->LoadProps();
  return s;
}

// The shipped map with the most squares; the campaign's maps change size as it is tuned.
std::string LargestShippedMap() {
  std::vector<std::filesystem::path> folders;
  for (const auto& entry : std::filesystem::directory_iterator("data/scenarios"))
    folders.push_back(entry.path());
  std::sort(folders.begin(), folders.end());
  std::string best;
  int most = 0;
  for (const auto& folder : folders) {
    const std::string file = (folder / "scenario.txt").string();
    SIM_Scenario s;
    if (!std::filesystem::exists(file) || !s.Load(file)) continue;
    if (s.maxCols * s.maxRows > most) {
      most = s.maxCols * s.maxRows;
      best = file;
    }
  }
  return best;
}

SIM_Scenario* g_largest = nullptr;
SIM_Scenario* g_full = nullptr;

void ShadowMap(SIM_Scenario* s) {
  const std::string name = GenerateMapShadowMap(*s, g_out + "/shadow");
  if (!name.empty()) std::filesystem::remove(g_out + "/shadow/" + name);
}
void Bake(SIM_Scenario* s) { BakeScenarioImage(*s, g_out + "/bake.jpg"); }
void BareSave(int size) {
  D3DEngine& d3d = GetRenderDevice();
  d3d.BeginScene();
  d3d.RememberRenderTarget();
  d3d.SetRenderTarget("rt_empty");
  d3d.SetViewport(0, 0, size, size);
  d3d.ClearTarget(0xff000000u);
  d3d.RestoreRenderTarget();
  d3d.SetFullViewport();
  d3d.EndScene();
  const platform::Rect rect{0, 0, size, size};
  d3d.SaveTextureImage("rt_empty", (g_out + "/empty.jpg").c_str(), platform::ImageFileFormat::JPG, &rect);
}

struct Case {
  std::string name;
  std::function<void()> run;
};

struct Timing {
  double wallMs = 0.0;
  double cpuMs = 0.0;  // this thread's: the game's own work, not the rasteriser's threads
};

double ThreadCpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) * 1e-6;
}

Timing Median(const std::function<void()>& run, int reps) {
  std::vector<double> wall, cpu;
  for (int i = 0; i < reps; ++i) {
    const auto a = std::chrono::steady_clock::now();
    const double c = ThreadCpuMs();
    run();
    cpu.push_back(ThreadCpuMs() - c);
    wall.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - a).count());
  }
  std::sort(wall.begin(), wall.end());
  std::sort(cpu.begin(), cpu.end());
  return Timing{wall[wall.size() / 2], cpu[cpu.size() / 2]};
}

}  // namespace

int main(int argc, char** argv) {
  if (chdir(ZENTRAK_BUILD_DIR) != 0) return 1;
  g_out =
      std::filesystem::temp_directory_path().string() + "/zt_bench_mapdesigner_" + std::to_string(getpid());
  std::filesystem::create_directories(g_out);
  UserFolders()[USERFOLDER_BITMAPS] = g_out + "/bitmaps";
  if (!StartDevice()) {
    std::fprintf(stderr, "no OpenGL device (run under xvfb-run)\n");
    return 1;
  }
  const std::string largest = LargestShippedMap();
  g_largest = largest.empty() ? nullptr : LoadMap(largest);
  g_full = LoadMap(WriteFullPathMap());
  if (!g_largest || !g_full) return 1;
  g_largest->BuildPathTiles(false);
  constexpr int shadowSize = std::min(kW, kH);
  const std::string size = std::to_string(g_largest->maxCols) + "x" + std::to_string(g_largest->maxRows);
  const std::string shadowLargest = "ShadowMap/largest_" + size, bakeLargest = "BakeMapImage/largest_" + size;

  const Case cases[] = {
      {shadowLargest, [] { ShadowMap(g_largest); }},
      {"ShadowMap/full_path_20x20", [] { ShadowMap(g_full); }},
      {"BareSave/800", [] { BareSave(shadowSize); }},
      {bakeLargest, [] { Bake(g_largest); }},
      {"BakeMapImage/full_path_20x20", [] { Bake(g_full); }},
      {"BareSave/512", [] { BareSave(512); }},
  };
  for (const Case& c : cases) {
    benchmark::RegisterBenchmark(c.name.c_str(), [run = c.run](benchmark::State& state) {
      for (auto _ : state) run();
    })->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();

  // The ratios, measured again in interleaved rounds of one run of each case, so both
  // sides of a ratio see the same load; medians, as the machine is shared.
  constexpr int kRounds = 41;
  std::printf("\nmedian of %d interleaved rounds (ms):     wall      main-thread CPU\n", kRounds);
  std::vector<double> wall[6], cpu[6];
  for (int round = 0; round < kRounds; ++round) {
    for (int i = 0; i < 6; ++i) {
      const Timing one = Median(cases[i].run, 1);
      wall[i].push_back(one.wallMs);
      cpu[i].push_back(one.cpuMs);
    }
  }
  Timing t[6];
  for (int i = 0; i < 6; ++i) {
    std::sort(wall[i].begin(), wall[i].end());
    std::sort(cpu[i].begin(), cpu[i].end());
    t[i] = Timing{wall[i][kRounds / 2], cpu[i][kRounds / 2]};
  }
  for (int i = 0; i < 6; ++i)
    std::printf("  %-30s %8.2f %12.2f\n", cases[i].name.c_str(), t[i].wallMs, t[i].cpuMs);
  auto ratio = [&t](int job, int bare) {
    std::printf("%6.2f wall, %5.2f CPU", t[job].wallMs / t[bare].wallMs, t[job].cpuMs / t[bare].cpuMs);
  };
  std::printf("ratios over the bare read-back and JPEG save of the same size (target < 2):\n");
  std::printf("  shadow map, largest  ");
  ratio(0, 2);
  std::printf("\n  shadow map, 20 x 20  ");
  ratio(1, 2);
  std::printf("\n  bake, largest        ");
  ratio(3, 5);
  std::printf("\n  bake, 20 x 20        ");
  ratio(4, 5);
  std::printf("\n");
  delete g_largest;
  delete g_full;
  std::filesystem::remove_all(g_out);
  return 0;
}
