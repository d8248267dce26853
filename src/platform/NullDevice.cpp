#include "platform/NullDevice.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>

#include "platform/Dds.h"
#include "platform/DeviceEffectFile.h"

namespace platform {

// ---- DrawRecord helpers ----
namespace {
float ReadF(const std::vector<uint8_t>& b, size_t off) {
  float f = 0.0f;
  if (off + 4 <= b.size()) std::memcpy(&f, b.data() + off, 4);
  return f;
}
}  // namespace
float DrawRecord::X(int i) const { return ReadF(vertices, size_t(i) * stride); }
float DrawRecord::Y(int i) const { return ReadF(vertices, size_t(i) * stride + 4); }
uint32_t DrawRecord::Colour(int i) const {
  uint32_t c = 0;
  size_t off = size_t(i) * stride + 16;
  if (off + 4 <= vertices.size()) std::memcpy(&c, vertices.data() + off, 4);
  return c;
}
float DrawRecord::U(int i, int set) const { return ReadF(vertices, size_t(i) * stride + 20 + set * 8); }
float DrawRecord::V(int i, int set) const { return ReadF(vertices, size_t(i) * stride + 24 + set * 8); }

// ---- Resources ----
NullTexture::NullTexture(int w, int h, int levels, Format f, bool rt, std::shared_ptr<int> live,
                         std::shared_ptr<FrameCounters> counters)
    : live_(std::move(live)), counters_(std::move(counters)) {
  width_ = w;
  height_ = h;
  levels_ = levels;
  format_ = f;
  renderTarget_ = rt;
  pixels.assign(size_t(w) * size_t(h), f == Format::X8R8G8B8 ? 0xFF000000u : 0u);
  ++*live_;
}
NullTexture::~NullTexture() { --*live_; }

HRESULT NullTexture::UploadLevel(int level, int width, int height, const uint32_t* argb) {
  if (level < 0 || level >= levels_ || !argb) return D3DERR_INVALIDCALL;
  int w = std::max(1, width_ >> level), h = std::max(1, height_ >> level);
  if (width != w || height != h) return D3DERR_INVALIDCALL;
  if (level == 0) pixels.assign(argb, argb + size_t(w) * size_t(h));
  ++uploads;
  if (counters_) counters_->bytesUploaded += uint64_t(w) * uint64_t(h) * 4u;
  return D3D_OK;
}

HRESULT NullTexture::UploadCompressedLevel(int level, int width, int height, const void* blocks,
                                           size_t bytes) {
  if (format_ != Format::DXT1 && format_ != Format::DXT3 && format_ != Format::DXT5)
    return D3DERR_WRONGTEXTUREFORMAT;
  if (level < 0 || level >= levels_ || !blocks) return D3DERR_INVALIDCALL;
  int w = std::max(1, width_ >> level), h = std::max(1, height_ >> level);
  if (width != w || height != h || bytes != CompressedLevelSize(format_, w, h)) return D3DERR_INVALIDCALL;
  if (level == 0) {
    DecodedImage img;
    img.width = w;
    img.height = h;
    img.sourceFormat = format_;
    const auto* b = static_cast<const uint8_t*>(blocks);
    img.blocks.emplace_back(b, b + bytes);
    DecodeBlocks(&img);
    pixels = std::move(img.levels[0]);
  }
  ++uploads;
  if (counters_) counters_->bytesUploaded += bytes;
  return D3D_OK;
}

namespace {
class NullBuffer : public VertexBuffer, public IndexBuffer {
 public:
  NullBuffer(uint32_t length, std::shared_ptr<FrameCounters> counters)
      : data(length), counters_(std::move(counters)) {}
  HRESULT Lock(uint32_t offset, uint32_t size, void** out, uint32_t) override {
    if (locked || !out) return D3DERR_INVALIDCALL;
    if (size == 0) size = uint32_t(data.size()) - offset;
    if (offset > data.size() || size > data.size() - offset) return D3DERR_INVALIDCALL;
    *out = data.data() + offset;
    locked = true;
    lockSize_ = size;
    return D3D_OK;
  }
  // An unlock sends what was locked, as the OpenGL device does.
  HRESULT Unlock() override {
    if (!locked) return D3DERR_INVALIDCALL;
    locked = false;
    if (counters_) counters_->bytesUploaded += lockSize_;
    return D3D_OK;
  }
  uint32_t Length() const override { return uint32_t(data.size()); }
  std::vector<uint8_t> data;
  bool locked = false;

 private:
  std::shared_ptr<FrameCounters> counters_;
  uint32_t lockSize_ = 0;
};
class NullVB : public NullBuffer {
 public:
  using NullBuffer::NullBuffer;
};
class NullIB : public NullBuffer {
 public:
  using NullBuffer::NullBuffer;
};

class NullEffect : public Effect {
 public:
  NullEffect(NullDevice* dev, EffectFile file, std::string name)
      : dev_(dev), file_(std::move(file)), name_(std::move(name)) {}
  HRESULT FindNextValidTechnique(int from, int* technique) override {
    if (from < 0) from = 0;
    if (from >= int(file_.techniques.size())) {
      *technique = -1;
      return E_FAIL;
    }
    *technique = from;
    return D3D_OK;
  }
  HRESULT SetTechnique(int t) override {
    if (t < 0 || t >= int(file_.techniques.size())) return D3DERR_INVALIDCALL;
    technique_ = t;
    return D3D_OK;
  }
  HRESULT Begin(int* passes) override {
    if (begun_) return D3DERR_INVALIDCALL;
    begun_ = true;
    if (passes) *passes = int(file_.techniques[size_t(technique_)].passes.size());
    if (dev_->recording) dev_->calls.push_back("EffectBegin " + name_);
    return D3D_OK;
  }
  HRESULT BeginPass(int pass) override {
    if (!begun_ || pass < 0 || pass >= int(file_.techniques[size_t(technique_)].passes.size()))
      return D3DERR_INVALIDCALL;
    if (dev_->recording) dev_->activeEffect = name_;
    if (dev_->recording) dev_->calls.push_back("EffectBeginPass " + std::to_string(pass));
    return D3D_OK;
  }
  HRESULT EndPass() override {
    dev_->activeEffect.clear();
    if (dev_->recording) dev_->calls.push_back("EffectEndPass");
    return D3D_OK;
  }
  HRESULT End() override {
    if (!begun_) return D3DERR_INVALIDCALL;
    begun_ = false;
    if (dev_->recording) dev_->calls.push_back("EffectEnd");
    return D3D_OK;
  }
  HRESULT SetValue(const char* name, const void* data, int bytes) override {
    const EffectParam* p = file_.FindParam(name ? name : "");
    if (!p || p->kind != EffectParam::Float || !data || bytes < 4) return D3DERR_INVALIDCALL;
    float f;
    std::memcpy(&f, data, 4);
    if (dev_->recording)
      dev_->calls.push_back(std::string("EffectSetValue ") + name + " " + std::to_string(f));
    return D3D_OK;
  }
  HRESULT SetTexture(const char* name, Texture*) override {
    const EffectParam* p = file_.FindParam(name ? name : "");
    if (!p || p->kind != EffectParam::Texture) return D3DERR_INVALIDCALL;
    return D3D_OK;
  }
  int TechniqueCount() const override { return int(file_.techniques.size()); }

 private:
  NullDevice* dev_;
  EffectFile file_;
  std::string name_;
  int technique_ = 0;
  bool begun_ = false;
};
}  // namespace

// ---- Factory ----
HRESULT NullDirect3D::GetAdapterIdentifier(AdapterIdentifier* out) {
  out->driver = "null";
  out->description = "Zentrak null device";
  out->deviceName = "null0";
  return D3D_OK;
}
HRESULT NullDirect3D::GetDeviceCaps(DeviceCaps* out) {
  *out = caps;
  return D3D_OK;
}
HRESULT NullDirect3D::CheckDeviceFormat(uint32_t, Format format) {
  return (format == Format::A8R8G8B8 || format == Format::X8R8G8B8) ? D3D_OK : D3DERR_NOTAVAILABLE;
}
void NullDirect3D::EnumAdapterModes(std::vector<DisplayMode>* out) {
  static const int modes[][2] = {{1024, 768}, {1280, 720}, {1280, 1024}, {1920, 1080}};
  for (auto& m : modes) out->push_back(DisplayMode{m[0], m[1], 60, Format::X8R8G8B8});
}
HRESULT NullDirect3D::CreateDevice(SDL_Window* window, VertexProcessing vp, PresentParameters* params,
                                   std::unique_ptr<Device>* out) {
  createAttempts.push_back(vp);
  if (failCreateAttempts > 0) {
    --failCreateAttempts;
    return D3DERR_NOTAVAILABLE;
  }
  PresentParameters p = *params;
  // A windowed back buffer takes the window's size, as a real device would.
  if (window && (p.backBufferWidth <= 0 || p.backBufferHeight <= 0))
    SDL_GetWindowSize(window, &p.backBufferWidth, &p.backBufferHeight);
  if (p.backBufferWidth <= 0) p.backBufferWidth = 1024;
  if (p.backBufferHeight <= 0) p.backBufferHeight = 768;
  auto dev = std::make_unique<NullDevice>(p, shaderSupport && caps.pixelShaderMajor >= 2);
  lastDevice = dev.get();
  *out = std::move(dev);
  return D3D_OK;
}

// ---- Device ----
NullDevice::NullDevice(const PresentParameters& params, bool shaderSupport)
    : width_(params.backBufferWidth > 0 ? params.backBufferWidth : 1024),
      height_(params.backBufferHeight > 0 ? params.backBufferHeight : 768),
      shaderSupport_(shaderSupport),
      live_(std::make_shared<int>(0)) {
  viewport_.width = width_;
  viewport_.height = height_;
}
NullDevice::~NullDevice() = default;

int NullDevice::CountCalls(const std::string& prefix) const {
  int n = 0;
  for (const std::string& c : calls)
    if (c.compare(0, prefix.size(), prefix) == 0 && (c.size() == prefix.size() || c[prefix.size()] == ' '))
      ++n;
  return n;
}

HRESULT NullDevice::TestCooperativeLevel() { return cooperativeLevel; }

HRESULT NullDevice::Reset(const PresentParameters& params) {
  if (recording) Record("Reset");
  if (failReset != D3D_OK) {
    HRESULT hr = failReset;
    failReset = D3D_OK;
    return hr;
  }
  if (params.backBufferWidth > 0) width_ = params.backBufferWidth;
  if (params.backBufferHeight > 0) height_ = params.backBufferHeight;
  ++resets;
  cooperativeLevel = D3D_OK;
  renderTarget_ = nullptr;
  for (auto& t : textures_) t = nullptr;
  stream_ = nullptr;
  indices_ = nullptr;
  viewport_ = Viewport{0, 0, width_, height_, 0.0f, 1.0f};
  return D3D_OK;
}

HRESULT NullDevice::BeginScene() {
  if (recording) Record("BeginScene");
  if (failBeginScene != D3D_OK) return failBeginScene;
  ++sceneDepth;
  return D3D_OK;
}
HRESULT NullDevice::EndScene() {
  if (recording) Record("EndScene");
  if (sceneDepth <= 0) return D3DERR_INVALIDCALL;
  --sceneDepth;
  return D3D_OK;
}
HRESULT NullDevice::Present() {
  if (recording) Record("Present");
  EndFrameCounters();  // every present closes the frame, even one that fails
  if (failPresent != D3D_OK) return failPresent;
  if (cooperativeLevel == D3DERR_DEVICELOST) return D3DERR_DEVICELOST;
  ++presents;
  return D3D_OK;
}
HRESULT NullDevice::Clear(uint32_t flags, uint32_t argb, float z, uint32_t stencil) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "Clear %u %08X %g %u", flags, argb, double(z), stencil);
  if (recording) Record(buf);
  if (flags & CLEAR_TARGET) CountClearPixels(CountClip());
  if (renderTarget_ && (flags & CLEAR_TARGET)) {
    auto* t = static_cast<NullTexture*>(renderTarget_);
    std::fill(t->pixels.begin(), t->pixels.end(), argb);
  }
  return D3D_OK;
}
HRESULT NullDevice::SetViewport(const Viewport& vp) {
  if (recording)
    Record("SetViewport " + std::to_string(vp.x) + " " + std::to_string(vp.y) + " " +
           std::to_string(vp.width) + " " + std::to_string(vp.height));
  if (vp.width < 0 || vp.height < 0) return D3DERR_INVALIDCALL;
  viewport_ = vp;
  return D3D_OK;
}
HRESULT NullDevice::GetViewport(Viewport* vp) {
  *vp = viewport_;
  return D3D_OK;
}
HRESULT NullDevice::SetScissorRect(const Rect& r) {
  scissor_ = r;
  if (recording) Record("SetScissorRect");
  return D3D_OK;
}

HRESULT NullDevice::SetRenderState(RenderState state, uint32_t value) {
  int i = int(state);
  if (i < 0 || i >= int(RenderState::Count)) return D3DERR_INVALIDCALL;
  if (recording)
    Record(std::string("SetRenderState ") + RenderStateName(state) + " " + std::to_string(value));
  states_.SetRender(state, value);
  return D3D_OK;
}
uint32_t NullDevice::GetRenderState(RenderState state) const { return states_.Render(state); }
HRESULT NullDevice::SetSamplerState(int stage, SamplerState state, uint32_t value) {
  int i = int(state);
  if (stage < 0 || stage >= kMaxStages || i < 0 || i >= int(SamplerState::Count)) return D3DERR_INVALIDCALL;
  if (recording)
    Record("SetSamplerState " + std::to_string(stage) + " " + SamplerStateName(state) + " " +
           std::to_string(value));
  states_.SetSampler(stage, state, value);
  return D3D_OK;
}
uint32_t NullDevice::GetSamplerState(int stage, SamplerState state) const {
  return states_.Sampler(stage, state);
}
HRESULT NullDevice::SetTextureStageState(int stage, StageState state, uint32_t value) {
  int i = int(state);
  if (stage < 0 || stage >= kMaxStages || i < 0 || i >= int(StageState::Count)) return D3DERR_INVALIDCALL;
  if (recording)
    Record("SetTextureStageState " + std::to_string(stage) + " " + StageStateName(state) + " " +
           std::to_string(value));
  states_.SetStage(stage, state, value);
  return D3D_OK;
}
uint32_t NullDevice::GetTextureStageState(int stage, StageState state) const {
  return states_.Stage(stage, state);
}
HRESULT NullDevice::SetFVF(uint32_t fvf) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "SetFVF 0x%X", fvf);
  if (recording) Record(buf);
  if (fvf != FVF_ENGINE && fvf != FVF_TWOUV) return D3DERR_INVALIDCALL;
  fvf_ = fvf;
  return D3D_OK;
}

HRESULT NullDevice::CreateTexture(int width, int height, int levels, uint32_t usage, Format format, Pool pool,
                                  std::unique_ptr<Texture>* out) {
  if (recording)
    Record("CreateTexture " + std::to_string(width) + " " + std::to_string(height) + " " +
           FormatName(format));
  out->reset();
  if (failCreateTexture > 0) {
    --failCreateTexture;
    return D3DERR_OUTOFVIDEOMEMORY;
  }
  if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return D3DERR_INVALIDCALL;
  bool rt = (usage & USAGE_RENDERTARGET) != 0;
  if (rt && pool != Pool::Default) return D3DERR_INVALIDCALL;
  if (levels <= 0) {
    levels = 1;
    for (int s = std::max(width, height); s > 1; s >>= 1) ++levels;
  }
  *out = std::make_unique<NullTexture>(width, height, levels, format, rt, live_, counters_);
  return D3D_OK;
}
HRESULT NullDevice::CreateVertexBuffer(uint32_t length, uint32_t, uint32_t, Pool,
                                       std::unique_ptr<VertexBuffer>* out) {
  if (recording) Record("CreateVertexBuffer " + std::to_string(length));
  if (failCreateVertexBuffer > 0) {
    --failCreateVertexBuffer;
    return D3DERR_OUTOFVIDEOMEMORY;
  }
  if (length == 0) return D3DERR_INVALIDCALL;
  *out = std::make_unique<NullVB>(length, counters_);
  return D3D_OK;
}
HRESULT NullDevice::CreateIndexBuffer(uint32_t length, uint32_t, Pool, std::unique_ptr<IndexBuffer>* out) {
  if (recording) Record("CreateIndexBuffer " + std::to_string(length));
  if (length == 0) return D3DERR_INVALIDCALL;
  *out = std::make_unique<NullIB>(length, counters_);
  return D3D_OK;
}
HRESULT NullDevice::CreateEffectFromFile(const std::string& path, std::unique_ptr<Effect>* out,
                                         std::string* errors) {
  if (recording) Record("CreateEffectFromFile " + path);
  out->reset();
  if (!shaderSupport_) {
    if (errors) *errors = "no shader support";
    return D3DERR_NOTAVAILABLE;
  }
  EffectFile file;
  if (!LoadEffectFile(path, &file, errors)) return E_FAIL;
  *out = std::make_unique<NullEffect>(this, std::move(file), path);
  return D3D_OK;
}

HRESULT NullDevice::SetTexture(int stage, Texture* texture) {
  if (stage < 0 || stage >= kMaxStages) return D3DERR_INVALIDCALL;
  char buf[64];
  std::snprintf(buf, sizeof buf, "SetTexture %d %p", stage, static_cast<void*>(texture));
  if (recording) Record(buf);
  if (textures_[stage] != texture) ++counters_->textureBinds;
  textures_[stage] = texture;
  return D3D_OK;
}
Texture* NullDevice::GetTexture(int stage) const {
  return stage >= 0 && stage < kMaxStages ? textures_[stage] : nullptr;
}
HRESULT NullDevice::SetRenderTarget(Texture* target) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "SetRenderTarget %p", static_cast<void*>(target));
  if (recording) Record(buf);
  if (target && !target->IsRenderTarget()) return D3DERR_INVALIDCALL;
  if (renderTarget_ != target) ++counters_->targetSwitches;
  renderTarget_ = target;
  viewport_ =
      Viewport{0, 0, target ? target->Width() : width_, target ? target->Height() : height_, 0.0f, 1.0f};
  return D3D_OK;
}
HRESULT NullDevice::SetStreamSource(VertexBuffer* vb, uint32_t offset, uint32_t stride) {
  if (recording) Record("SetStreamSource " + std::to_string(stride));
  stream_ = vb;
  streamOffset_ = offset;
  streamStride_ = stride;
  return D3D_OK;
}
HRESULT NullDevice::SetIndices(IndexBuffer* ib) {
  if (recording) Record("SetIndices");
  indices_ = ib;
  return D3D_OK;
}

DrawRecord NullDevice::Snapshot(PrimitiveType type, int prims, int stride) const {
  DrawRecord r;
  r.type = type;
  r.primitiveCount = prims;
  r.stride = stride;
  r.fvf = fvf_;
  r.textures[0] = textures_[0];
  r.textures[1] = textures_[1];
  r.renderTarget = renderTarget_;
  r.srcBlend = states_.rs[int(RenderState::SrcBlend)];
  r.destBlend = states_.rs[int(RenderState::DestBlend)];
  r.blendEnabled = states_.rs[int(RenderState::AlphaBlendEnable)] != 0;
  r.minFilter = states_.ss[0][int(SamplerState::MinFilter)];
  r.magFilter = states_.ss[0][int(SamplerState::MagFilter)];
  r.mipLodBias = BitsFloat(states_.ss[0][int(SamplerState::MipLodBias)]);
  r.colorOp0 = states_.ts[0][int(StageState::ColorOp)];
  r.colorArg1_0 = states_.ts[0][int(StageState::ColorArg1)];
  r.colorOp1 = states_.ts[1][int(StageState::ColorOp)];
  r.effect = activeEffect;
  r.viewport = viewport_;
  return r;
}

HRESULT NullDevice::DrawPrimitiveUP(PrimitiveType type, int primitiveCount, const void* vertices,
                                    int stride) {
  if (recording)
    Record("DrawPrimitiveUP " + std::to_string(int(type)) + " " + std::to_string(primitiveCount) + " " +
           std::to_string(stride));
  if (!vertices || primitiveCount <= 0 || stride != FvfStride(fvf_)) return D3DERR_INVALIDCALL;
  const int vertexCount = VerticesForPrimitives(type, primitiveCount);
  if (recording) {
    DrawRecord r = Snapshot(type, primitiveCount, stride);
    r.vertexCount = vertexCount;
    const auto* p = static_cast<const uint8_t*>(vertices);
    r.vertices.assign(p, p + size_t(r.vertexCount) * size_t(stride));
    draws.push_back(std::move(r));
  }
  ++counters_->draws;
  counters_->bytesUploaded += uint64_t(vertexCount) * uint64_t(stride);
  CountDrawPixels(type, primitiveCount, static_cast<const uint8_t*>(vertices),
                  size_t(vertexCount) * size_t(stride), stride, nullptr, 0, 0, 0, CountClip(), TargetWidth(),
                  TargetHeight());
  return D3D_OK;
}

HRESULT NullDevice::DrawIndexedPrimitive(PrimitiveType type, int baseVertex, int minIndex, int numVertices,
                                         int startIndex, int primitiveCount) {
  if (recording)
    Record("DrawIndexedPrimitive " + std::to_string(int(type)) + " " + std::to_string(baseVertex) + " " +
           std::to_string(minIndex) + " " + std::to_string(numVertices) + " " + std::to_string(startIndex) +
           " " + std::to_string(primitiveCount));
  auto* vb = static_cast<NullBuffer*>(static_cast<NullVB*>(stream_));
  auto* ib = static_cast<NullBuffer*>(static_cast<NullIB*>(indices_));
  if (!vb || !ib || primitiveCount <= 0 || streamStride_ == 0) return D3DERR_INVALIDCALL;
  if (vb->locked || ib->locked) return D3DERR_INVALIDCALL;
  if (streamOffset_ < vb->data.size())
    CountDrawPixels(type, primitiveCount, vb->data.data() + streamOffset_, vb->data.size() - streamOffset_,
                    int(streamStride_), ib->data.data(), ib->data.size(), startIndex, baseVertex, CountClip(),
                    TargetWidth(), TargetHeight());
  if (!recording) {
    ++counters_->draws;
    return D3D_OK;
  }
  DrawRecord r = Snapshot(type, primitiveCount, int(streamStride_));
  r.indexed = true;
  r.baseVertex = baseVertex;
  int count = VerticesForPrimitives(type, primitiveCount);
  r.vertexCount = count;
  for (int i = 0; i < count; ++i) {
    size_t ioff = size_t(startIndex + i) * 2;
    if (ioff + 2 > ib->data.size()) return D3DERR_INVALIDCALL;
    uint16_t idx;
    std::memcpy(&idx, ib->data.data() + ioff, 2);
    if (idx < minIndex || idx >= minIndex + numVertices) return D3DERR_INVALIDCALL;
    size_t voff = streamOffset_ + size_t(baseVertex + idx) * streamStride_;
    if (voff + streamStride_ > vb->data.size()) return D3DERR_INVALIDCALL;
    r.vertices.insert(r.vertices.end(), vb->data.begin() + long(voff),
                      vb->data.begin() + long(voff + streamStride_));
  }
  draws.push_back(std::move(r));
  ++counters_->draws;
  return D3D_OK;
}

HRESULT NullDevice::StretchRect(Texture* source, const Rect*, Texture* dest, const Rect* destRect) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "StretchRect %p %p", static_cast<void*>(source), static_cast<void*>(dest));
  if (recording) Record(buf);
  if (!dest || !dest->IsRenderTarget()) return D3DERR_INVALIDCALL;
  counters_->drawnPixels += StretchPixels(destRect ? *destRect : Rect{0, 0, dest->Width(), dest->Height()},
                                          dest->Width(), dest->Height());
  return D3D_OK;
}

HRESULT NullDevice::ReadPixels(Texture* source, const Rect& rect, std::vector<uint32_t>* argb) {
  if (recording) Record("ReadPixels");
  int w = source ? source->Width() : width_, h = source ? source->Height() : height_;
  if (rect.left < 0 || rect.top < 0 || rect.right > w || rect.bottom > h || rect.right <= rect.left ||
      rect.bottom <= rect.top)
    return D3DERR_INVALIDCALL;
  int rw = rect.right - rect.left, rh = rect.bottom - rect.top;
  argb->assign(size_t(rw) * size_t(rh), 0xFF000000u);
  if (source) {
    auto* t = static_cast<NullTexture*>(source);
    for (int y = 0; y < rh; ++y)
      for (int x = 0; x < rw; ++x)
        (*argb)[size_t(y) * rw + x] = t->pixels[size_t(rect.top + y) * w + rect.left + x];
  }
  return D3D_OK;
}

}  // namespace platform
