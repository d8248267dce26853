#include "engine/D3DEngine.h"

#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <ctime>

#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/ShaderEffects.h"
#include "engine/Singletons.h"
#include "engine/TextRenderer.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"
#include "platform/Files.h"

using namespace platform;

namespace {
D3DEngine* g_liveEngine = nullptr;

double NowMs() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

std::string Fmt(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string Fmt(const char* fmt, ...) {
  char buf[512];
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  return buf;
}

std::string ParentFolder(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}
}  // namespace

// Used by textures being destroyed while the engine itself is going away.
D3DEngine* LiveRenderDevice() { return g_liveEngine; }

D3DEngine::D3DEngine() { g_liveEngine = this; }

D3DEngine::~D3DEngine() {
  // Going away (possibly at process exit, when the logs may be gone): textures are
  // deleted quietly, before the device that made them.
  if (g_liveEngine == this) g_liveEngine = nullptr;
  textures_.clear();
  bound_ = nullptr;
  device_.reset();
  d3d_.reset();
  if (drawLog_) std::fclose(drawLog_);
  if (g_liveEngine == this) g_liveEngine = nullptr;
}

void D3DEngine::SetDirect3D(std::unique_ptr<platform::Direct3D> d3d) { d3d_ = std::move(d3d); }

bool D3DEngine::InitD3D(int width, int height, bool windowed) {
  Backend backend = ResolveBackend(backend_);
  // The null back end draws nowhere, so it needs no window; a real device does.
  if (!window_ && backend != Backend::Null && !d3d_) {
    LogError("InitD3D: no main window");
    return false;
  }
  DrawDebug(windowed ? "Initialising 3D Engine in windowed mode"
                     : "Initialising 3D Engine in fullscreen mode");
  if (!d3d_) d3d_ = CreateDirect3D(backend);
  if (!d3d_) {
    LogError("Direct3DCreate9 Failed");
    return false;
  }
  AdapterIdentifier id;
  if (Succeeded(d3d_->GetAdapterIdentifier(&id))) {
    DrawDebug(Fmt("Driver : %s", id.driver.c_str()).c_str());
    DrawDebug(Fmt("Description : %s", id.description.c_str()).c_str());
    DrawDebug(Fmt("DeviceName : %s", id.deviceName.c_str()).c_str());
  } else {
    DrawDebug("GetAdapterIdentifier Failed");
  }
  params_ = PresentParameters();
  if (windowed) {
    params_.backBufferWidth = 0;
    params_.backBufferHeight = 0;
    params_.backBufferFormat = Format::Unknown;
  } else {
    params_.backBufferWidth = width;
    params_.backBufferHeight = height;
    params_.backBufferFormat = Format::X8R8G8B8;
  }
  params_.backBufferCount = 1;
  params_.windowed = windowed;
  params_.vsync = true;
  // Headless devices have no window to take a size from.
  if (!window_) {
    params_.backBufferWidth = width;
    params_.backBufferHeight = height;
  }

  CheckShaderSupport();
  DrawDebug(Fmt("About to Create 3D Device with width: %d and height : %d", width, height).c_str());

  HRESULT hr;
  if (hardwareTnL_) {
    DrawDebug("Attempting hardware Vertex Processing");
    hr = d3d_->CreateDevice(window_, VertexProcessing::Hardware, &params_, &device_);
  } else {
    DrawDebug("Attempting software Vertex Processing");
    hr = d3d_->CreateDevice(window_, VertexProcessing::Software, &params_, &device_);
  }
  if (Failed(hr) || !device_) {
    LogD3DError("CreateDevice", hr);
    DrawDebug("Attempting software Vertex Processing");
    hr = d3d_->CreateDevice(window_, VertexProcessing::Software, &params_, &device_);
    if (Failed(hr) || !device_) {
      device_.reset();
      LogD3DError("CreateDevice failed again", hr);
      return false;
    }
  }
  windowed_ = windowed;
  screenWidth_ = device_->BackBufferWidth();
  screenHeight_ = device_->BackBufferHeight();
  inScene_ = false;
  sceneDepth_ = 0;
  // A device without effects runs the unshaded path everywhere.
  if (!device_->SupportsShaders()) shaderSupport_ = false;
  ApplyDefaultStates();
  device_->GetViewport(&viewport_);
  DrawDebug("Finished initialising 3D Engine");
  return true;
}

void D3DEngine::CheckShaderSupport() {
  DrawDebug("Checking For Shader Support");
  DeviceCaps caps;
  if (!d3d_ || Failed(d3d_->GetDeviceCaps(&caps))) {
    DrawDebug("Getting Device Caps Failed");
    return;
  }
  if (caps.squareOnly) DrawDebug("hal_caps.D3DPTEXTURECAPS_SQUAREONLY is true");
  nonSquare_ = true;
  if (caps.pow2) {
    DrawDebug("hal_caps.D3DPTEXTURECAPS_POW2 is true");
    nonSquare_ = false;
  }
  DrawDebug(Fmt("NumSimultaneousRTs:%d", caps.numSimultaneousRTs).c_str());
  if (caps.pixelShaderMajor < 2) {
    DrawDebug("hal_caps.PixelShaderVersion < D3DPS_VERSION(2, 0)");
    shaderSupport_ = false;
  } else {
    DrawDebug("hal_caps.PixelShaderVersion >= D3DPS_VERSION(2, 0)");
    shaderSupport_ = true;
  }
  hardwareTnL_ = caps.hardwareTnL;
}

void D3DEngine::ApplyDefaultStates() {
  if (!device_) return;
  platform::Device& d = *device_;
  d.SetRenderState(RenderState::AlphaFunc, CMP_GREATER);
  d.SetTexture(0, nullptr);
  bound_ = nullptr;
  d.SetRenderState(RenderState::Lighting, 0);
  for (int s = 0; s < 2; ++s) {
    d.SetSamplerState(s, SamplerState::MinFilter, TEXF_LINEAR);
    d.SetSamplerState(s, SamplerState::MagFilter, TEXF_LINEAR);
  }
  d.SetSamplerState(0, SamplerState::AddressU, TADDRESS_CLAMP);
  d.SetSamplerState(0, SamplerState::AddressV, TADDRESS_CLAMP);
  for (int s = 0; s < 2; ++s) d.SetSamplerState(s, SamplerState::MipFilter, TEXF_LINEAR);
  d.SetRenderState(RenderState::AlphaBlendEnable, 1);
  d.SetRenderState(RenderState::AlphaTestEnable, 1);
  d.SetRenderState(RenderState::SrcBlend, BLEND_SRCALPHA);
  d.SetRenderState(RenderState::DestBlend, BLEND_INVSRCALPHA);
  additive_ = false;
  blend_ = BlendMode::Normal;
  blendDirty_ = false;
  d.SetTextureStageState(0, StageState::AlphaOp, TOP_MODULATE);
  d.SetTextureStageState(0, StageState::AlphaArg1, TA_TEXTURE);
  d.SetTextureStageState(0, StageState::AlphaArg2, TA_DIFFUSE);
  d.SetFVF(FVF_ENGINE);
}

bool D3DEngine::RestoreDevice() {
  if (!device_) return false;
  // Everything made on the device goes before the reset, whether or not textures exist.
  ReleaseAllEffects();
  DeleteAllTextures();
  GetTextRenderer().Release();
  GetGlobalVertexBuffer().Release();
  DrawDebug("D3DEngine Restore called");
  HRESULT hr = device_->Reset(params_);
  if (Failed(hr)) {
    LogD3DError("D3DEngine Restore Failed", hr);
    return false;
  }
  DrawDebug("D3DEngine Restore worked ok");
  inScene_ = false;
  sceneDepth_ = 0;
  stage1_ = nullptr;
  rememberedTargets_.clear();
  screenWidth_ = device_->BackBufferWidth();
  screenHeight_ = device_->BackBufferHeight();
  ApplyDefaultStates();
  return true;
}

void D3DEngine::ReleaseD3D() {
  DrawDebug("releasing D3D engine");
  DeleteAllTextures();
  textureFolders_.clear();
  bound_ = nullptr;
  stage1_ = nullptr;
  device_.reset();
  d3d_.reset();
  inScene_ = false;
  sceneDepth_ = 0;
  DrawDebug("D3D released");
}

HRESULT D3DEngine::TestCooperativeLevel() {
  return device_ ? device_->TestCooperativeLevel() : D3DERR_INVALIDDEVICE;
}

void D3DEngine::BeginScene() {
  if (!device_) return;
  // Scenes nest (the loading screen presents frames while the frame's scene is open):
  // only the outermost one reaches the device.
  if (sceneDepth_ == 0) {
    HRESULT hr = device_->BeginScene();
    if (Failed(hr)) {
      LogD3DError("Begin Scene", hr);
    } else {
      sceneDepth_ = 1;
      inScene_ = true;
    }
  } else {
    ++sceneDepth_;
  }
  if (clearEachFrame_) {
    HRESULT hr = device_->Clear(CLEAR_TARGET | CLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0);
    if (Failed(hr)) LogD3DError("Clear()", hr);
  }
  // The flag resets with every scene; the device follows it, so a frame never starts
  // with the previous frame's additive blending still set while the flag says normal.
  if (blend_ != BlendMode::Normal || blendDirty_) {
    device_->SetRenderState(RenderState::SrcBlend, BLEND_SRCALPHA);
    device_->SetRenderState(RenderState::DestBlend, BLEND_INVSRCALPHA);
    blend_ = BlendMode::Normal;
    blendDirty_ = false;
  }
  additive_ = false;
}

void D3DEngine::EndScene() {
  if (frameTiming_) {
    double now = NowMs();
    double gap = now - lastEndScene_;
    if (gap > 0.0) fps_ = float(1000.0 / gap);  // a zero gap keeps the last value
    lastEndScene_ = now;
  }
  if (!device_) return;
  if (sceneDepth_ > 1) {
    --sceneDepth_;
    return;
  }
  if (sceneDepth_ == 0) return;  // no scene open: nothing to end
  // Anything a caller queued and never flushed is drawn in this frame, not the next.
  if (GetTextRenderer().IsInitialised() && GetTextRenderer().QueuedVertices() > 0) GetTextRenderer().Flush();
  if (GetGlobalVertexBuffer().QueuedCount() > 0) GetGlobalVertexBuffer().Flush();
  HRESULT hr = device_->EndScene();
  if (Failed(hr)) {
    LogD3DError("End Scene", hr);
  } else {
    sceneDepth_ = 0;
    inScene_ = false;
  }
}

void D3DEngine::EnsureScene() {
  if (!inScene_) BeginScene();
}

void D3DEngine::Flip() {
  if (!device_) return;
  if (screenshotRequested_) SaveScreenshot(screenshotName_.c_str(), ImageFileFormat::BMP, nullptr);
  const std::int64_t presentStart = ClockNanoseconds();
  HRESULT hr = device_->Present();
  if (Failed(hr)) LogD3DError("Flip", hr);
  if (pacing_ && Succeeded(hr)) pacer_.AfterPresent(presentStart, device_->RefreshRate());
}

void D3DEngine::RequestScreenshot(const std::string& path) {
  screenshotName_ = path.substr(0, 255);
  screenshotRequested_ = true;
}

void D3DEngine::SaveScreenshot(const char* fileName, ImageFileFormat format, const Rect* source) {
  screenshotRequested_ = false;
  if (!device_) {
    LogD3DError("Error getting backbuffer", D3DERR_INVALIDCALL);
    return;
  }
  std::string name = fileName ? fileName : "";
  std::string folder = ParentFolder(name);
  if (!folder.empty()) TryEnsureDirectoryExists(folder);
  HRESULT hr = SaveSurfaceToFile(*device_, name, format, nullptr, source);
  if (Failed(hr)) LogD3DError("Error saving screenshot", hr);
}

void D3DEngine::SaveTextureImage(const char* targetName, const char* fileName, ImageFileFormat format,
                                 const Rect* rect) {
  GTexture9* t = FindNamedTexture(targetName);
  if (!t || !t->Get()) {
    DrawDebug("Failed to find image texture for saving");
    return;
  }
  if (!device_) return;
  std::string name = fileName ? fileName : "";
  std::string folder = ParentFolder(name);
  if (!folder.empty()) TryEnsureDirectoryExists(folder);
  HRESULT hr = SaveSurfaceToFile(*device_, name, format, t->Get(), rect);
  if (Failed(hr)) LogD3DError("Error saving image", hr);
}

void D3DEngine::CreateRenderTarget(const char* name, int width, int height, Format format) {
  std::string n = name ? name : "";
  DrawDebug(Fmt("Initialising Render target of %d X %d %s", width, height, FormatName(format)).c_str());
  if (HasTexture(n.c_str())) {
    LogError(Fmt("Error!, render target duplicate name [%s]", n.c_str()));
    return;
  }
  if (!device_) return;
  HRESULT hr = d3d_ ? d3d_->CheckDeviceFormat(USAGE_RENDERTARGET, format) : D3D_OK;
  if (Failed(hr)) LogD3DError(Fmt("Device format unsupported:[%s]", n.c_str()).c_str(), hr);
  auto tex = std::make_unique<GTexture9>(n);
  tex->renderTarget = true;
  tex->format = format;
  hr = device_->CreateTexture(width, height, 1, USAGE_RENDERTARGET, format, Pool::Default, &tex->texture);
  if (Failed(hr)) {
    LogD3DError(Fmt("Error creating texture:[%s]", n.c_str()).c_str(), hr);
    tex->texture.reset();
  }
  textures_.push_back(std::move(tex));
  DrawDebug(n.c_str());
  // Handles that asked for this name before it existed can now see it.
  for (CLoadedTexture* h : TextureRegistry())
    if (h->name == n && !h->texture) h->texture = textures_.back()->Get();
}

bool D3DEngine::HasTexture(const char* name) const { return FindNamedTexture(name) != nullptr; }

GTexture9* D3DEngine::FindNamedTexture(const char* name) const {
  if (!name) return nullptr;
  for (const auto& t : textures_)
    if (t->name == name) return t.get();
  return nullptr;
}

void D3DEngine::AddTexture(std::unique_ptr<GTexture9> texture) {
  if (texture) textures_.push_back(std::move(texture));
}

int D3DEngine::DeleteTexture(const char* name) {
  if (!name) return 0;
  int n = 0;
  for (size_t i = 0; i < textures_.size();) {
    if (textures_[i]->name == name) {
      Texture* t = textures_[i]->Get();
      if (t && device_ && device_->GetRenderTarget() == t) device_->SetRenderTarget(nullptr);
      textures_.erase(textures_.begin() + long(i));  // the destructor unlinks handles
      ++n;
    } else {
      ++i;
    }
  }
  return n;
}

void D3DEngine::DeleteAllTextures() {
  if (device_ && device_->GetRenderTarget()) device_->SetRenderTarget(nullptr);
  // Deleted one at a time so each destructor sees a consistent list.
  while (!textures_.empty()) textures_.pop_back();
  bound_ = nullptr;
  stage1_ = nullptr;
}

bool D3DEngine::SetRenderTarget(const char* name) {
  if (!device_) return false;
  if (!name || !*name) {
    SetBackBufferTarget();
    return true;
  }
  GTexture9* t = FindNamedTexture(name);
  if (!t || !t->Get() || !t->Get()->IsRenderTarget()) {
    DrawDebug(Fmt("Render target not found: %s", name).c_str());
    return false;
  }
  // A texture cannot be sampled while it is being drawn into.
  if (bound_ == t->Get()) SetTexture(nullptr);
  HRESULT hr = device_->SetRenderTarget(t->Get());
  if (Failed(hr)) {
    LogD3DError("SetRenderTarget", hr);
    return false;
  }
  return true;
}

void D3DEngine::SetBackBufferTarget() {
  if (!device_) return;
  HRESULT hr = device_->SetRenderTarget(nullptr);
  if (Failed(hr)) LogD3DError("SetRenderTarget", hr);
}

std::string D3DEngine::CurrentRenderTarget() const {
  if (!device_) return "";
  Texture* rt = device_->GetRenderTarget();
  if (!rt) return "";
  for (const auto& t : textures_)
    if (t->Get() == rt) return t->name;
  return "";
}

void D3DEngine::RememberRenderTarget() { rememberedTargets_.push_back(CurrentRenderTarget()); }

void D3DEngine::RestoreRenderTarget() {
  std::string name;
  if (!rememberedTargets_.empty()) {
    name = rememberedTargets_.back();
    rememberedTargets_.pop_back();
  }
  if (!SetRenderTarget(name.c_str())) SetBackBufferTarget();
}

bool D3DEngine::CopyBackBufferTo(const char* targetName, const Rect* source, const Rect* dest) {
  GTexture9* t = FindNamedTexture(targetName);
  if (!device_ || !t || !t->Get()) return false;
  HRESULT hr = device_->StretchRect(nullptr, source, t->Get(), dest);
  if (Failed(hr)) {
    LogD3DError("StretchRect", hr);
    return false;
  }
  return true;
}

void D3DEngine::ClearTarget(uint32_t argb) {
  if (!device_) return;
  HRESULT hr = device_->Clear(CLEAR_TARGET | CLEAR_ZBUFFER, argb, 1.0f, 0);
  if (Failed(hr)) LogD3DError("Clear()", hr);
}

void D3DEngine::SetTexture(Texture* texture) {
  if (!device_) return;
  // Redundant binds are skipped, checked against the device too in case a caller bound
  // something on it directly.
  if (texture == bound_ && device_->GetTexture(0) == texture) return;
  HRESULT hr = device_->SetTexture(0, texture);
  if (Failed(hr)) LogD3DError("SetTexture", hr);
  bound_ = texture;
}

void D3DEngine::SetStage1Texture(Texture* texture) {
  if (!device_) return;
  if (texture == stage1_ && device_->GetTexture(1) == texture) return;
  device_->SetTexture(1, texture);
  if (texture) {
    device_->SetTextureStageState(1, StageState::TexCoordIndex, 1);
    device_->SetTextureStageState(1, StageState::ColorOp, TOP_MODULATE);
    device_->SetTextureStageState(1, StageState::ColorArg1, TA_TEXTURE);
    device_->SetTextureStageState(1, StageState::ColorArg2, TA_CURRENT);
    device_->SetTextureStageState(1, StageState::AlphaOp, TOP_MODULATE);
    device_->SetTextureStageState(1, StageState::AlphaArg1, TA_TEXTURE);
    device_->SetTextureStageState(1, StageState::AlphaArg2, TA_CURRENT);
  } else {
    device_->SetTextureStageState(1, StageState::ColorOp, TOP_DISABLE);
    device_->SetTextureStageState(1, StageState::AlphaOp, TOP_DISABLE);
  }
  stage1_ = texture;
}

void D3DEngine::ForgetTexture(Texture* texture) {
  if (!texture) return;
  if (bound_ == texture) {
    if (device_) device_->SetTexture(0, nullptr);
    bound_ = nullptr;
  }
  if (stage1_ == texture) {
    if (device_) device_->SetTexture(1, nullptr);
    stage1_ = nullptr;
  }
  if (device_) {
    if (device_->GetTexture(0) == texture) device_->SetTexture(0, nullptr);
    if (device_->GetTexture(1) == texture) device_->SetTexture(1, nullptr);
    if (device_->GetRenderTarget() == texture) device_->SetRenderTarget(nullptr);
  }
}

void D3DEngine::SetBlend(BlendMode mode) {
  uint32_t src = BLEND_SRCALPHA, dest = BLEND_INVSRCALPHA;
  if (mode == BlendMode::Additive) dest = BLEND_ONE;
  if (mode == BlendMode::Multiply) {
    src = BLEND_ZERO;
    dest = BLEND_SRCCOLOR;
  }
  // Unchanged when the flag and the device agree (a caller may have set states directly).
  bool deviceAgrees = !device_ || (device_->GetRenderState(RenderState::SrcBlend) == src &&
                                   device_->GetRenderState(RenderState::DestBlend) == dest);
  if (mode == blend_ && !blendDirty_ && deviceAgrees) return;
  if (device_) {
    device_->SetRenderState(RenderState::SrcBlend, src);
    device_->SetRenderState(RenderState::DestBlend, dest);
  }
  blend_ = mode;
  additive_ = mode == BlendMode::Additive;
  blendDirty_ = false;
}
void D3DEngine::SetAdditiveBlend() { SetBlend(BlendMode::Additive); }
void D3DEngine::SetNormalBlend() { SetBlend(BlendMode::Normal); }
void D3DEngine::SetMultiplyBlend() { SetBlend(BlendMode::Multiply); }

void D3DEngine::SetPointFiltering(bool point, int stage) {
  if (!device_) return;
  uint32_t f = point ? TEXF_POINT : TEXF_LINEAR;
  device_->SetSamplerState(stage, SamplerState::MinFilter, f);
  device_->SetSamplerState(stage, SamplerState::MagFilter, f);
}

void D3DEngine::SetAddressMode(uint32_t address, int stage) {
  if (!device_) return;
  device_->SetSamplerState(stage, SamplerState::AddressU, address);
  device_->SetSamplerState(stage, SamplerState::AddressV, address);
}

void D3DEngine::SetViewport(int left, int top, int right, int bottom) {
  if (!device_) return;
  Viewport vp;
  vp.x = left;
  vp.y = top;
  vp.width = right - left > 0 ? right - left : 0;
  vp.height = bottom - top > 0 ? bottom - top : 0;
  vp.minZ = 0.0f;
  vp.maxZ = 1.0f;
  HRESULT hr = device_->SetViewport(vp);
  if (Failed(hr)) LogD3DError("SetViewport", hr);
}

void D3DEngine::SetFullViewport() {
  if (!device_) return;
  Texture* rt = device_->GetRenderTarget();
  int w = rt ? rt->Width() : device_->BackBufferWidth();
  int h = rt ? rt->Height() : device_->BackBufferHeight();
  SetViewport(0, 0, w, h);
}

void D3DEngine::DrawVertices(PrimitiveType type, int primitiveCount, const void* vertices, int stride) {
  if (!device_ || primitiveCount <= 0 || !vertices) return;
  uint32_t fvf = stride == 36 ? FVF_TWOUV : FVF_ENGINE;
  if (device_->GetFVF() != fvf) device_->SetFVF(fvf);
  HRESULT hr = device_->DrawPrimitiveUP(type, primitiveCount, vertices, stride);
  if (Failed(hr)) LogD3DError("DrawPrimitiveUP", hr);
}

void D3DEngine::DrawRect(float left, float top, float right, float bottom, uint32_t colour) {
  GVertex v[4];
  const float xs[4] = {left, right, left, right};
  const float ys[4] = {top, top, bottom, bottom};
  for (int i = 0; i < 4; ++i) {
    v[i].x = xs[i] - 0.5f;
    v[i].y = ys[i] - 0.5f;
    v[i].colour = colour;
  }
  SetTexture(nullptr);
  DrawVertices(PrimitiveType::TriangleStrip, 2, v, sizeof(GVertex));
}
void D3DEngine::DrawRect(const Rect& r, uint32_t colour) {
  DrawRect(float(r.left), float(r.top), float(r.right), float(r.bottom), colour);
}

void D3DEngine::DrawRectOutline(const Rect& r, uint32_t colour) {
  GVertex v[5];
  const float xs[5] = {float(r.left), float(r.right), float(r.right), float(r.left), float(r.left)};
  const float ys[5] = {float(r.top), float(r.top), float(r.bottom), float(r.bottom), float(r.top)};
  for (int i = 0; i < 5; ++i) {
    v[i].x = xs[i];
    v[i].y = ys[i];
    v[i].colour = colour;
  }
  SetTexture(nullptr);
  DrawVertices(PrimitiveType::LineStrip, 4, v, sizeof(GVertex));
}

void D3DEngine::DrawRectFrame(const Rect& r, float thickness, uint32_t colour) {
  float h = thickness / 2.0f;
  float l = float(r.left), t = float(r.top), rr = float(r.right), b = float(r.bottom);
  DrawRect(l - h, t - h, rr + h, t + h, colour);
  DrawRect(l - h, b - h, rr + h, b + h, colour);
  DrawRect(l - h, t + h, l + h, b - h, colour);
  DrawRect(rr - h, t + h, rr + h, b - h, colour);
}

void D3DEngine::DrawLine(float x1, float y1, float x2, float y2, uint32_t colour) {
  GVertex v[2];
  v[0].x = x1;
  v[0].y = y1;
  v[1].x = x2;
  v[1].y = y2;
  v[0].colour = v[1].colour = colour;
  SetTexture(nullptr);
  DrawVertices(PrimitiveType::LineList, 1, v, sizeof(GVertex));
}

void D3DEngine::DrawCircle(float cx, float cy, float radius, int segments) {
  if (segments < 1) return;
  if (segments > 4096) segments = 4096;
  std::vector<GVertex> v(size_t(segments) + 1);
  for (int i = 0; i <= segments; ++i) {
    int k = i == segments ? 0 : i;
    double a = (360.0 / segments) * k * 3.14159265358979323846 / 180.0;
    v[size_t(i)].x = cx + radius * float(std::cos(a));
    v[size_t(i)].y = cy - radius * float(std::sin(a));
    v[size_t(i)].colour = 0xFFFFFFFFu;
  }
  SetTexture(nullptr);
  DrawVertices(PrimitiveType::LineStrip, segments, v.data(), sizeof(GVertex));
}

void D3DEngine::EnumDisplayModes(std::vector<DisplayMode>& list) {
  if (!d3d_) d3d_ = CreateDirect3D(backend_);
  if (d3d_) d3d_->EnumAdapterModes(&list);
}

const char* D3DEngine::ResultName(HRESULT code) {
  switch (code) {
    case D3DERR_OUTOFVIDEOMEMORY:
      return "D3DERR_OUTOFVIDEOMEMORY";
    case D3DERR_WRONGTEXTUREFORMAT:
      return "D3DERR_WRONGTEXTUREFORMAT";
    case D3DERR_UNSUPPORTEDCOLOROPERATION:
      return "D3DERR_UNSUPPORTEDCOLOROPERATION";
    case D3DERR_UNSUPPORTEDCOLORARG:
      return "D3DERR_UNSUPPORTEDCOLORARG";
    case D3DERR_UNSUPPORTEDALPHAOPERATION:
      return "D3DERR_UNSUPPORTEDALPHAOPERATION ";
    case D3DERR_UNSUPPORTEDALPHAARG:
      return "D3DERR_UNSUPPORTEDALPHAARG";
    case D3DERR_DRIVERINTERNALERROR:
      return "D3DERR_DRIVERINTERNALERROR";
    case D3DERR_DEVICELOST:
      return "D3DERR_DEVICELOST";
    case D3DERR_DEVICENOTRESET:
      return "D3DERR_DEVICENOTRESET ";
    case D3DERR_NOTAVAILABLE:
      return "D3DERR_NOTAVAILABLE";
    case D3DERR_INVALIDDEVICE:
      return "D3DERR_INVALIDDEVICE";
    case D3DERR_INVALIDCALL:
      return "D3DERR_INVALIDCALL";
    case D3DERR_DEVICEREMOVED:
      return "D3DERR_DEVICEREMOVED";
    case D3DERR_DEVICEHUNG:
      return "D3DERR_DEVICEHUNG";
    default:
      return "Untranslated HRESULT";
  }
}

void D3DEngine::LogD3DError(const char* context, HRESULT code) {
  LogError(ResultName(code));
  LogError(context ? context : "");
}

void D3DEngine::DrawDebug(const char* text) {
  if (!text) return;
  // The folder is looked up before taking the log lock (the lookup takes it too).
  std::string folder;
  if (!drawLog_ && !drawLogFailed_) folder = drawLogFolder_.empty() ? GetLogUserFolder() : drawLogFolder_;
  std::lock_guard<std::mutex> lock(LogMutex());
  if (!drawLog_ && !drawLogFailed_) {
    std::string debugFolder = folder + "/debug";
    TryEnsureDirectoryExists(debugFolder);
    drawLog_ = platform::OpenFileForWriting(debugFolder + "/drawdebug.txt", false);
    if (!drawLog_) drawLogFailed_ = true;
  }
  if (drawLog_) {
    std::fputs(text, drawLog_);
    std::fputc('\n', drawLog_);
    std::fflush(drawLog_);
  }
  DebuggerOutput(text);
}

D3DEngine& GetRenderDevice() {
  static std::unique_ptr<D3DEngine> s;
  static bool registered = (RegisterSingletonReset([] { s.reset(); }), true);
  (void)registered;
  if (!s) s = std::make_unique<D3DEngine>();
  return *s;
}

std::string FormatScreenshotPath(const std::string& userRoot, const struct tm& t) {
  char date[32], time[32];
  std::strftime(date, sizeof date, "%d-%m-%Y", &t);
  std::strftime(time, sizeof time, "%H-%M-%S", &t);
  char buf[512];
  std::snprintf(buf, sizeof buf, "%s/screenshots/screenshot_%s_%s.bmp", userRoot.c_str(), date, time);
  return buf;
}
