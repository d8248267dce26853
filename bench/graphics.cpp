// 20,000 textured quads per frame: through our batching vertex buffer on the OpenGL device,
// and the same quads through SDL2's own renderer (SDL_RenderGeometry), in one run.
// Needs a display (xvfb-run works). Prints quads per second for both and their ratio.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "engine/D3DEngine.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"

namespace {

constexpr int kQuads = 20000;
constexpr int kW = 1024, kH = 768;

struct Quad {
  float x, y, size, angle;
  uint32_t colour;
};

const std::vector<Quad>& Quads() {
  static std::vector<Quad> q = [] {
    std::vector<Quad> v(kQuads);
    uint32_t seed = 12345;
    auto next = [&seed] {
      seed = seed * 1103515245u + 12345u;
      return float((seed >> 8) & 0xFFFF) / 65535.0f;
    };
    for (Quad& q : v) {
      q.x = next() * kW;
      q.y = next() * kH;
      q.size = 8 + next() * 24;
      q.angle = next() * 6.2831853f;
      q.colour = 0xC0000000u | (uint32_t(next() * 255) << 16) | (uint32_t(next() * 255) << 8) | 0xFF;
    }
    return v;
  }();
  return q;
}

// Corners of a quad in top-left, top-right, bottom-left, bottom-right order.
void Corners(const Quad& q, float out[4][2]) {
  float c = std::cos(q.angle) * q.size / 2, s = std::sin(q.angle) * q.size / 2;
  const float dx[4] = {-1, 1, -1, 1}, dy[4] = {-1, -1, 1, 1};
  for (int k = 0; k < 4; ++k) {
    out[k][0] = q.x + dx[k] * c - dy[k] * s;
    out[k][1] = q.y + dx[k] * s + dy[k] * c;
  }
}

std::vector<uint32_t> Pattern() {
  std::vector<uint32_t> px(64 * 64);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) px[size_t(y) * 64 + x] = ((x / 8 + y / 8) % 2) ? 0xFFFFFFFFu : 0x80FFFFFFu;
  return px;
}

double g_ourRate = 0, g_sdlRate = 0;

// ---- Our path ----
struct OurPath {
  SDL_Window* window = nullptr;
  std::unique_ptr<CLoadedTexture> handle;
  bool ok = false;
};
OurPath& Ours() {
  static OurPath p;
  static bool tried = false;
  if (tried) return p;
  tried = true;
  p.window = SDL_CreateWindow("Zentrak bench: vertex buffer", 0, 0, kW, kH, SDL_WINDOW_OPENGL);
  if (!p.window) return p;
  D3DEngine& e = GetRenderDevice();
  e.SetMainWindow(p.window);
  e.SetBackend(platform::Backend::OpenGL);
  if (!e.InitD3D(kW, kH, true)) return p;
  SDL_GL_SetSwapInterval(0);  // measure drawing, not the display's refresh
  auto gt = std::make_unique<GTexture9>("bench_pattern.dds");
  if (platform::Failed(e.Device()->CreateTexture(64, 64, 1, 0, platform::Format::A8R8G8B8, platform::Pool::Managed,
                                                 &gt->texture)))
    return p;
  std::vector<uint32_t> px = Pattern();
  gt->texture->UploadLevel(0, 64, 64, px.data());
  e.AddTexture(std::move(gt));
  p.handle = std::make_unique<CLoadedTexture>("bench_pattern.dds");
  InitGlobalVertexBuffer();
  p.ok = true;
  return p;
}

void BM_VertexBufferQuads(benchmark::State& state) {
  OurPath& p = Ours();
  if (!p.ok) {
    state.SkipWithError("no OpenGL device (run under a display, e.g. xvfb-run)");
    return;
  }
  SDL_GL_MakeCurrent(p.window, SDL_GL_GetCurrentContext());
  D3DEngine& e = GetRenderDevice();
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  const std::vector<Quad>& quads = Quads();
  GVertex v[4];
  for (auto _ : state) {
    e.BeginScene();
    vb.blendMode = 0;
    vb.SetTexture(p.handle.get());
    for (const Quad& q : quads) {
      float c[4][2];
      Corners(q, c);
      for (int k = 0; k < 4; ++k) {
        v[k].x = c[k][0];
        v[k].y = c[k][1];
        v[k].colour = q.colour;
        v[k].u = float(k & 1);
        v[k].v = float(k >> 1);
      }
      vb.AddVertices(v, 4);
    }
    vb.Flush();
    e.EndScene();
    e.Flip();
  }
  state.counters["quads_per_second"] = benchmark::Counter(double(kQuads) * double(state.iterations()),
                                                          benchmark::Counter::kIsRate);
}

// ---- SDL's renderer ----
struct SdlPath {
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* texture = nullptr;
  std::vector<SDL_Vertex> vertices;
  std::vector<int> indices;
  bool ok = false;
};
SdlPath& Sdl() {
  static SdlPath p;
  static bool tried = false;
  if (tried) return p;
  tried = true;
  SDL_SetHint(SDL_HINT_RENDER_DRIVER, "opengl");
  SDL_SetHint(SDL_HINT_RENDER_VSYNC, "0");
  p.window = SDL_CreateWindow("Zentrak bench: SDL_RenderGeometry", 0, 0, kW, kH, SDL_WINDOW_OPENGL);
  if (!p.window) return p;
  p.renderer = SDL_CreateRenderer(p.window, -1, SDL_RENDERER_ACCELERATED);
  if (!p.renderer) p.renderer = SDL_CreateRenderer(p.window, -1, 0);
  if (!p.renderer) return p;
  std::vector<uint32_t> px = Pattern();
  p.texture = SDL_CreateTexture(p.renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC, 64, 64);
  if (!p.texture) return p;
  SDL_UpdateTexture(p.texture, nullptr, px.data(), 64 * 4);
  SDL_SetTextureBlendMode(p.texture, SDL_BLENDMODE_BLEND);
  p.vertices.resize(size_t(kQuads) * 4);
  p.indices.resize(size_t(kQuads) * 6);
  for (int i = 0; i < kQuads; ++i) {
    const int b = i * 4;
    const int pattern[6] = {b, b + 1, b + 2, b + 2, b + 1, b + 3};
    for (int k = 0; k < 6; ++k) p.indices[size_t(i) * 6 + k] = pattern[k];
  }
  p.ok = true;
  return p;
}

void BM_SdlRenderGeometry(benchmark::State& state) {
  SdlPath& p = Sdl();
  if (!p.ok) {
    state.SkipWithError("no SDL renderer (run under a display, e.g. xvfb-run)");
    return;
  }
  const std::vector<Quad>& quads = Quads();
  for (auto _ : state) {
    SDL_SetRenderDrawColor(p.renderer, 0, 0, 0, 255);
    SDL_RenderClear(p.renderer);
    // The same per-quad work as our path: corners, colour and coordinates every frame.
    for (size_t i = 0; i < quads.size(); ++i) {
      float c[4][2];
      Corners(quads[i], c);
      SDL_Colour col{uint8_t(quads[i].colour >> 16), uint8_t(quads[i].colour >> 8), uint8_t(quads[i].colour),
                     uint8_t(quads[i].colour >> 24)};
      for (int k = 0; k < 4; ++k) {
        SDL_Vertex& v = p.vertices[i * 4 + size_t(k)];
        v.position = SDL_FPoint{c[k][0], c[k][1]};
        v.color = col;
        v.tex_coord = SDL_FPoint{float(k & 1), float(k >> 1)};
      }
    }
    SDL_RenderGeometry(p.renderer, p.texture, p.vertices.data(), int(p.vertices.size()), p.indices.data(),
                       int(p.indices.size()));
    SDL_RenderPresent(p.renderer);
  }
  state.counters["quads_per_second"] = benchmark::Counter(double(kQuads) * double(state.iterations()),
                                                          benchmark::Counter::kIsRate);
}

BENCHMARK(BM_VertexBufferQuads)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_SdlRenderGeometry)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// Keeps the quads-per-second figure of each run to print the comparison at the end.
class RateReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      auto it = r.counters.find("quads_per_second");
      if (it == r.counters.end() || r.error_occurred) continue;
      double rate = it->second.value;  // already divided by the run's time
      if (r.benchmark_name().find("VertexBuffer") != std::string::npos) g_ourRate = rate;
      if (r.benchmark_name().find("SdlRender") != std::string::npos) g_sdlRate = rate;
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace

int main(int argc, char** argv) {
  // Logs go to a scratch folder, never into the player's own.
  char tmpl[] = "/tmp/zentrak-bench-XXXXXX";
  const char* scratch = mkdtemp(tmpl);
  if (scratch) setenv("ZENTRAK_USER_DIR", scratch, 0);
  benchmark::Initialize(&argc, argv);
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "SDL video unavailable (run under a display, e.g. xvfb-run): %s\n", SDL_GetError());
    if (scratch) {
      std::error_code ec;
      std::filesystem::remove_all(scratch, ec);
    }
    return 1;
  }
  RateReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  if (g_ourRate > 0 && g_sdlRate > 0) {
    std::printf("\nvertex buffer:      %12.0f quads/s\n", g_ourRate);
    std::printf("SDL_RenderGeometry: %12.0f quads/s\n", g_sdlRate);
    std::printf("ratio (ours / SDL): %12.2f\n", g_ourRate / g_sdlRate);
  }
  // Device objects go while their context exists.
  GetGlobalVertexBuffer().Release();
  GetRenderDevice().ReleaseD3D();
  SdlPath& s = Sdl();
  if (s.texture) SDL_DestroyTexture(s.texture);
  if (s.renderer) SDL_DestroyRenderer(s.renderer);
  if (s.window) SDL_DestroyWindow(s.window);
  SDL_Quit();
  benchmark::Shutdown();
  if (scratch) {
    std::error_code ec;
    std::filesystem::remove_all(scratch, ec);
  }
  return 0;
}
