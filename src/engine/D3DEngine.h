#pragma once
// The single wrapper around the graphics device: creation and reset, the fixed render
// states every drawing routine assumes, the frame bracket, the list of named textures and
// render targets, blend switching, untextured primitives, screenshots and the draw log.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/Timer.h"
#include "platform/Device.h"

struct SDL_Window;
class GTexture9;

// Blend modes the game switches between.
enum class BlendMode { Normal = 0, Additive = 1, Multiply = 2 };

class D3DEngine {
 public:
  D3DEngine();
  ~D3DEngine();
  D3DEngine(const D3DEngine&) = delete;
  D3DEngine& operator=(const D3DEngine&) = delete;

  // ---- Set-up (before InitD3D) ----
  // The main window the device draws into (InitD3D fails without one).
  void SetMainWindow(SDL_Window* window) { window_ = window; }
  SDL_Window* MainWindow() const { return window_; }
  // Chooses the back end; Auto (the default) follows the environment (see platform).
  void SetBackend(platform::Backend backend) { backend_ = backend; }
  // Hands in a ready factory object instead (tests pass a configured NullDirect3D).
  void SetDirect3D(std::unique_ptr<platform::Direct3D> d3d);

  // ---- Lifecycle ----
  bool InitD3D(int width, int height, bool windowed);
  void CheckShaderSupport();
  void ApplyDefaultStates();
  bool RestoreDevice();
  void ReleaseD3D();
  // The frame check: D3D_OK, D3DERR_DEVICELOST or D3DERR_DEVICENOTRESET (or another failure).
  platform::HRESULT TestCooperativeLevel();

  // ---- Frame ----
  void BeginScene();
  void EndScene();
  // Presents the frame; where presenting does not wait for the display, the rest of the
  // refresh period is slept out (see FramePacer) unless pacing is off.
  void Flip();
  // Benchmarks measure drawing, not the display: they turn pacing off.
  void SetFramePacing(bool on) { pacing_ = on; }
  // Opens a scene when none is open (immediate draws outside the frame need one).
  void EnsureScene();
  bool InScene() const { return inScene_; }

  // ---- Screenshots and saved images ----
  // Asks for the next presented frame to be saved to this path (a BMP screenshot).
  void RequestScreenshot(const std::string& path);
  bool ScreenshotRequested() const { return screenshotRequested_; }
  void SaveScreenshot(const char* fileName, platform::ImageFileFormat format, const platform::Rect* source);
  void SaveTextureImage(const char* targetName, const char* fileName, platform::ImageFileFormat format,
                        const platform::Rect* rect);

  // ---- Named textures and render targets ----
  void CreateRenderTarget(const char* name, int width, int height, platform::Format format);
  bool HasTexture(const char* name) const;
  GTexture9* FindNamedTexture(const char* name) const;
  // Appends a texture to the list (the list owns it).
  void AddTexture(std::unique_ptr<GTexture9> texture);
  // Deletes every texture of that name (render targets included); handles of that name
  // lose their device texture. Returns how many were deleted.
  int DeleteTexture(const char* name);
  void DeleteAllTextures();
  const std::vector<std::unique_ptr<GTexture9>>& Textures() const { return textures_; }
  std::vector<std::string>& TextureFolders() { return textureFolders_; }

  // Render-target switching. A null or empty name selects the back buffer.
  bool SetRenderTarget(const char* name);
  void SetBackBufferTarget();
  // The name of the current target ("" for the back buffer).
  std::string CurrentRenderTarget() const;
  // Remembers the current target (a stack) and restores the last remembered one.
  void RememberRenderTarget();
  void RestoreRenderTarget();
  // Copies the back buffer (or a rectangle of it) into a named render target, stretched.
  bool CopyBackBufferTo(const char* targetName, const platform::Rect* source = nullptr,
                        const platform::Rect* dest = nullptr);
  // Clears the current target only (colour, depth 1, stencil 0).
  void ClearTarget(uint32_t argb);

  // ---- Binding and states ----
  void SetTexture(platform::Texture* texture);
  platform::Texture* BoundTexture() const { return bound_; }
  // Stage 1 (second UV set) texture; null disables stage 1 again.
  void SetStage1Texture(platform::Texture* texture);
  // A texture that is about to be destroyed must not stay cached as bound.
  void ForgetTexture(platform::Texture* texture);
  void SetAdditiveBlend();
  void SetNormalBlend();
  void SetMultiplyBlend();
  void SetBlend(BlendMode mode);
  bool IsAdditive() const { return additive_; }
  // Marks the blend state as unknown so the next SetNormalBlend/SetAdditiveBlend applies.
  void MarkBlendDirty() { blendDirty_ = true; }
  void SetPointFiltering(bool point, int stage = 0);
  void SetAddressMode(uint32_t address, int stage = 0);
  void SetViewport(int left, int top, int right, int bottom);
  void SetFullViewport();

  // ---- Untextured primitives (engine vertex layout) ----
  void DrawRect(const platform::Rect& r, uint32_t colour);
  void DrawRect(float left, float top, float right, float bottom, uint32_t colour);
  void DrawRectOutline(const platform::Rect& r, uint32_t colour);
  void DrawRectFrame(const platform::Rect& r, float thickness, uint32_t colour);
  void DrawLine(float x1, float y1, float x2, float y2, uint32_t colour);
  void DrawCircle(float cx, float cy, float radius, int segments);
  // Immediate draw of caller vertices (28 or 36 bytes) with the matching vertex format.
  void DrawVertices(platform::PrimitiveType type, int primitiveCount, const void* vertices, int stride);

  // ---- Queries ----
  void EnumDisplayModes(std::vector<platform::DisplayMode>& list);
  static const char* ResultName(platform::HRESULT code);
  void LogD3DError(const char* context, platform::HRESULT code);
  void DrawDebug(const char* text);
  // The draw log folder (the user folder); defaults to the folder the debug log uses.
  void SetDrawLogFolder(const std::string& userFolder) { drawLogFolder_ = userFolder; }

  platform::Device* Device() const { return device_.get(); }
  platform::Direct3D* Direct3DObject() const { return d3d_.get(); }
  bool ShaderSupport() const { return shaderSupport_; }
  // Tests switch the shader path off to check the no-shader behaviour.
  void SetShaderSupport(bool on) { shaderSupport_ = on; }
  bool NonSquareTextures() const { return nonSquare_; }
  bool HardwareTnL() const { return hardwareTnL_; }
  bool Windowed() const { return windowed_; }
  int ScreenWidth() const { return screenWidth_; }
  int ScreenHeight() const { return screenHeight_; }
  void SetScreenSize(int w, int h) {
    screenWidth_ = w;
    screenHeight_ = h;
  }
  const std::string& ActiveEffect() const { return activeEffect_; }
  void SetActiveEffect(const std::string& name) { activeEffect_ = name; }
  void SetFrameTiming(bool on) { frameTiming_ = on; }
  float FramesPerSecond() const { return fps_; }
  bool ClearEachFrame() const { return clearEachFrame_; }
  void SetClearEachFrame(bool on) { clearEachFrame_ = on; }
  const platform::Viewport& InitialViewport() const { return viewport_; }

 private:
  std::unique_ptr<platform::Direct3D> d3d_;
  std::unique_ptr<platform::Device> device_;
  SDL_Window* window_ = nullptr;
  platform::Backend backend_ = platform::Backend::Auto;
  bool inScene_ = false;
  int sceneDepth_ = 0;
  bool windowed_ = true;
  bool clearEachFrame_ = true;
  std::vector<std::unique_ptr<GTexture9>> textures_;
  std::vector<std::string> textureFolders_;
  platform::PresentParameters params_;
  platform::Texture* bound_ = nullptr;
  platform::Texture* stage1_ = nullptr;
  bool shaderSupport_ = false;
  bool nonSquare_ = true;
  bool hardwareTnL_ = false;
  bool additive_ = false;
  BlendMode blend_ = BlendMode::Normal;
  bool blendDirty_ = false;
  bool screenshotRequested_ = false;
  bool pacing_ = true;
  FramePacer pacer_;
  std::string screenshotName_;
  bool frameTiming_ = false;
  double lastEndScene_ = 0.0;
  float fps_ = 0.0f;
  platform::Viewport viewport_;
  FILE* drawLog_ = nullptr;
  bool drawLogFailed_ = false;
  std::string drawLogFolder_;
  int screenWidth_ = 1024, screenHeight_ = 768;
  std::string activeEffect_;
  std::vector<std::string> rememberedTargets_;
};

// The global engine, built on first use.
D3DEngine& GetRenderDevice();

// "<root>/screenshots/screenshot_<dd-MM-yyyy>_<hh-mm-ss>.bmp" for a local time.
std::string FormatScreenshotPath(const std::string& userRoot, const struct tm& localTime);
