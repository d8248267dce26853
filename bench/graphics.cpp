// 20,000 textured quads per frame: through our batching vertex buffer on the OpenGL device,
// and the same quads through SDL2's own renderer (SDL_RenderGeometry), in one run. Cases:
// one texture; a texture change every 8 quads (what a battle frame does); 2,000 flushes a
// frame. The two paths run interleaved, 5 repetitions each, both sampling with a linear
// filter, each drawing with its own context made current. Besides quads per second (on a
// software rasteriser mostly fill rate) each run reports the main thread's CPU time per
// frame, and our device's counters (draws, binds, bytes uploaded per frame).
// Needs a display (xvfb-run works).
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
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

double ThreadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

enum Case { kOneTexture = 0, kTextureEvery8 = 1, kManyFlushes = 2 };
const char* const kCaseNames[] = {"one_texture", "texture_every_8_quads", "2000_flushes"};
constexpr int kFlushes = 2000;

// ---- Our path ----
struct OurPath {
  SDL_Window* window = nullptr;
  SDL_GLContext context = nullptr;
  std::unique_ptr<CLoadedTexture> handles[2];
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
  p.context = SDL_GL_GetCurrentContext();
  SDL_GL_SetSwapInterval(0);  // measure drawing, not the display's refresh
  e.SetFramePacing(false);
  std::vector<uint32_t> px = Pattern();
  for (int i = 0; i < 2; ++i) {
    std::string name = "bench_pattern" + std::to_string(i) + ".dds";
    auto gt = std::make_unique<GTexture9>(name.c_str());
    if (platform::Failed(e.Device()->CreateTexture(64, 64, 1, 0, platform::Format::A8R8G8B8,
                                                   platform::Pool::Managed, &gt->texture)))
      return p;
    gt->texture->UploadLevel(0, 64, 64, px.data());
    e.AddTexture(std::move(gt));
    p.handles[i] = std::make_unique<CLoadedTexture>(name.c_str());
  }
  InitGlobalVertexBuffer();
  p.ok = true;
  return p;
}

// ---- SDL's renderer ----
struct SdlPath {
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* textures[2] = {nullptr, nullptr};
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
  SDL_SetHint(SDL_HINT_RENDER_BATCHING, "1");
  p.window = SDL_CreateWindow("Zentrak bench: SDL_RenderGeometry", 0, 0, kW, kH, SDL_WINDOW_OPENGL);
  if (!p.window) return p;
  p.renderer = SDL_CreateRenderer(p.window, -1, SDL_RENDERER_ACCELERATED);
  if (!p.renderer) p.renderer = SDL_CreateRenderer(p.window, -1, 0);
  if (!p.renderer) return p;
  std::vector<uint32_t> px = Pattern();
  for (SDL_Texture*& t : p.textures) {
    t = SDL_CreateTexture(p.renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC, 64, 64);
    if (!t) return p;
    SDL_UpdateTexture(t, nullptr, px.data(), 64 * 4);
    SDL_SetTextureBlendMode(t, SDL_BLENDMODE_BLEND);
    SDL_SetTextureScaleMode(t, SDL_ScaleModeLinear);  // the same filter as our path
  }
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

struct Result {
  double quadsPerSecond = 0, cpuMsPerFrame = 0;
  double draws = 0, binds = 0, bytes = 0;
};
// Run name ("case/path/repN") -> its figures. A benchmark function is called more than
// once per run (Google Benchmark first estimates the iterations): the last call counts.
std::map<std::string, Result> g_results;

void RecordCounters(benchmark::State& state, double cpu, const Result* counters, const std::string& key) {
  const double frames = double(state.iterations());
  Result r;
  r.cpuMsPerFrame = frames > 0 ? cpu / frames * 1000.0 : 0;
  state.counters["quads_per_second"] =
      benchmark::Counter(double(kQuads) * frames, benchmark::Counter::kIsRate);
  state.counters["cpu_ms_per_frame"] = r.cpuMsPerFrame;
  if (counters) {
    r.draws = counters->draws;
    r.binds = counters->binds;
    r.bytes = counters->bytes;
    state.counters["draws"] = r.draws;
    state.counters["binds"] = r.binds;
    state.counters["bytes_uploaded"] = r.bytes;
  }
  g_results[key] = r;  // quads per second is filled in by the reporter
}

void OurFrame(OurPath& p, Case c) {
  D3DEngine& e = GetRenderDevice();
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  const std::vector<Quad>& quads = Quads();
  GVertex v[4];
  e.BeginScene();
  e.ClearTarget(0xFF000000u);
  vb.blendMode = 0;
  vb.SetTexture(p.handles[0].get());
  const int perFlush = kQuads / kFlushes;
  for (size_t i = 0; i < quads.size(); ++i) {
    if (c == kTextureEvery8 && i % 8 == 0) vb.SetTexture(p.handles[(i / 8) % 2].get());
    float cr[4][2];
    Corners(quads[i], cr);
    for (int k = 0; k < 4; ++k) {
      v[k].x = cr[k][0];
      v[k].y = cr[k][1];
      v[k].colour = quads[i].colour;
      v[k].u = float(k & 1);
      v[k].v = float(k >> 1);
    }
    vb.AddVertices(v, 4);
    if (c == kManyFlushes && (i + 1) % size_t(perFlush) == 0) vb.Flush();
  }
  vb.Flush();
  e.EndScene();
  e.Flip();
}

void BM_Ours(benchmark::State& state, Case c, std::string key) {
  OurPath& p = Ours();
  if (!p.ok) {
    state.SkipWithError("no OpenGL device (run under a display, e.g. xvfb-run)");
    return;
  }
  SDL_GL_MakeCurrent(p.window, p.context);
  // Both paths filter linearly.
  platform::Device* d = GetRenderDevice().Device();
  d->SetSamplerState(0, platform::SamplerState::MinFilter, platform::TEXF_LINEAR);
  d->SetSamplerState(0, platform::SamplerState::MagFilter, platform::TEXF_LINEAR);
  OurFrame(p, c);  // warm: the counters below are those of a whole frame
  const double cpu0 = ThreadCpuSeconds();
  for (auto _ : state) OurFrame(p, c);
  const double cpu = ThreadCpuSeconds() - cpu0;
  const platform::FrameCounters& fc = d->LastFrameCounters();
  Result counters;
  counters.draws = double(fc.draws);
  counters.binds = double(fc.textureBinds);
  counters.bytes = double(fc.bytesUploaded);
  RecordCounters(state, cpu, &counters, key);
}

void SdlFrame(SdlPath& p, Case c) {
  const std::vector<Quad>& quads = Quads();
  SDL_SetRenderDrawColor(p.renderer, 0, 0, 0, 255);
  SDL_RenderClear(p.renderer);
  // The same per-quad work as our path: corners, colour and coordinates every frame.
  for (size_t i = 0; i < quads.size(); ++i) {
    float cr[4][2];
    Corners(quads[i], cr);
    SDL_Colour col{uint8_t(quads[i].colour >> 16), uint8_t(quads[i].colour >> 8), uint8_t(quads[i].colour),
                   uint8_t(quads[i].colour >> 24)};
    for (int k = 0; k < 4; ++k) {
      SDL_Vertex& v = p.vertices[i * 4 + size_t(k)];
      v.position = SDL_FPoint{cr[k][0], cr[k][1]};
      v.color = col;
      v.tex_coord = SDL_FPoint{float(k & 1), float(k >> 1)};
    }
  }
  // One call per run of quads sharing a texture (and per flush), as our buffer draws.
  const int run = c == kTextureEvery8 ? 8 : c == kManyFlushes ? kQuads / kFlushes : kQuads;
  for (int first = 0; first < kQuads; first += run) {
    int n = std::min(run, kQuads - first);
    SDL_Texture* t = c == kTextureEvery8 ? p.textures[(first / 8) % 2] : p.textures[0];
    SDL_RenderGeometry(p.renderer, t, p.vertices.data() + size_t(first) * 4, n * 4, p.indices.data(), n * 6);
    if (c == kManyFlushes) SDL_RenderFlush(p.renderer);
  }
  SDL_RenderPresent(p.renderer);
}

void BM_Sdl(benchmark::State& state, Case c, std::string key) {
  SdlPath& p = Sdl();
  if (!p.ok) {
    state.SkipWithError("no SDL renderer (run under a display, e.g. xvfb-run)");
    return;
  }
  // The renderer makes its own context current before it draws.
  SDL_GL_MakeCurrent(p.window, nullptr);
  SdlFrame(p, c);
  const double cpu0 = ThreadCpuSeconds();
  for (auto _ : state) SdlFrame(p, c);
  RecordCounters(state, ThreadCpuSeconds() - cpu0, nullptr, key);
}

// Keeps each run's quads per second for the summary at the end.
class RateReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      auto it = r.counters.find("quads_per_second");
      if (it == r.counters.end() || r.error_occurred) continue;
      std::string name = r.benchmark_name();
      g_results[name.substr(0, name.find("/min_time"))].quadsPerSecond = it->second.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void PrintSummary() {
  std::printf("\nMedians of 5 interleaved repetitions (CPU = main thread, CLOCK_THREAD_CPUTIME_ID):\n");
  std::printf("%-24s %14s %14s %10s %10s %10s %10s %12s\n", "case", "ours quads/s", "SDL quads/s", "ours ms",
              "SDL ms", "CPU ratio", "draws", "bytes/frame");
  for (int c = 0; c < 3; ++c) {
    auto runs = [c](const char* path) {
      std::vector<Result> rs;
      for (const auto& kv : g_results)
        if (kv.first.rfind(std::string(kCaseNames[c]) + "/" + path + "/rep", 0) == 0) rs.push_back(kv.second);
      return rs;
    };
    auto pick = [](const std::vector<Result>& rs, double Result::*f) {
      std::vector<double> v;
      for (const Result& r : rs) v.push_back(r.*f);
      return Median(v);
    };
    const std::vector<Result> ours = runs("ours"), sdl = runs("sdl");
    if (ours.empty() || sdl.empty()) continue;
    double oq = pick(ours, &Result::quadsPerSecond), sq = pick(sdl, &Result::quadsPerSecond);
    double oc = pick(ours, &Result::cpuMsPerFrame), sc = pick(sdl, &Result::cpuMsPerFrame);
    std::printf("%-24s %14.0f %14.0f %10.2f %10.2f %9.2fx %10.0f %12.0f\n", kCaseNames[c], oq, sq, oc, sc,
                oc > 0 ? sc / oc : 0.0, pick(ours, &Result::draws), pick(ours, &Result::bytes));
  }
}

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
  // Interleaved: every repetition runs each case on both paths before the next begins.
  for (int rep = 1; rep <= 5; ++rep) {
    for (int c = 0; c < 3; ++c) {
      std::string base = kCaseNames[c];
      benchmark::RegisterBenchmark((base + "/ours/rep" + std::to_string(rep)).c_str(), BM_Ours, Case(c),
                                   base + "/ours/rep" + std::to_string(rep))
          ->Unit(benchmark::kMillisecond)
          ->UseRealTime()
          ->MinTime(0.5);
      benchmark::RegisterBenchmark((base + "/sdl/rep" + std::to_string(rep)).c_str(), BM_Sdl, Case(c),
                                   base + "/sdl/rep" + std::to_string(rep))
          ->Unit(benchmark::kMillisecond)
          ->UseRealTime()
          ->MinTime(0.5);
    }
  }
  RateReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  PrintSummary();
  // Device objects go while their context exists.
  OurPath& o = Ours();
  if (o.context) SDL_GL_MakeCurrent(o.window, o.context);
  o.handles[0].reset();
  o.handles[1].reset();
  GetGlobalVertexBuffer().Release();
  GetRenderDevice().ReleaseD3D();
  SdlPath& s = Sdl();
  for (SDL_Texture* t : s.textures)
    if (t) SDL_DestroyTexture(t);
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
