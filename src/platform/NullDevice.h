#pragma once
// The headless device: keeps every state and resource in memory, draws nothing, and
// records what it was asked to do so tests can check calls, draw order and states.
// It can be told to report a lost device or one that needs a reset.
#include <array>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Device.h"
#include "platform/DeviceStates.h"

namespace platform {

// One draw as the null device saw it: the primitive, the vertices it used (copied), and
// the state that applied.
struct DrawRecord {
  PrimitiveType type = PrimitiveType::TriangleList;
  bool indexed = false;
  int primitiveCount = 0;
  int vertexCount = 0;
  int stride = 0;
  uint32_t fvf = 0;
  int baseVertex = 0;
  std::vector<uint8_t> vertices;  // vertexCount * stride bytes, in index order for indexed draws
  Texture* textures[kMaxStages] = {nullptr, nullptr};
  Texture* renderTarget = nullptr;
  uint32_t srcBlend = 0, destBlend = 0;
  bool blendEnabled = false;
  uint32_t minFilter = 0, magFilter = 0;
  float mipLodBias = 0.0f;  // stage 0
  uint32_t colorOp0 = 0, colorArg1_0 = 0, colorOp1 = 0;
  std::string effect;  // name of the effect pass active for this draw, or empty
  Viewport viewport;
  // Helpers reading the engine layout (x, y, z, rhw, colour, u, v ...).
  float X(int i) const;
  float Y(int i) const;
  uint32_t Colour(int i) const;
  float U(int i, int set = 0) const;
  float V(int i, int set = 0) const;
};

class NullTexture : public Texture {
 public:
  NullTexture(int w, int h, int levels, Format f, bool rt, std::shared_ptr<int> live,
              std::shared_ptr<FrameCounters> counters = nullptr);
  ~NullTexture() override;
  HRESULT UploadLevel(int level, int width, int height, const uint32_t* argb) override;
  // Compressed formats keep their level 0 decoded in 'pixels', as a driver would sample it.
  HRESULT UploadCompressedLevel(int level, int width, int height, const void* blocks, size_t bytes) override;
  std::vector<uint32_t> pixels;  // level 0, ARGB
  int uploads = 0;

 private:
  std::shared_ptr<int> live_;
  std::shared_ptr<FrameCounters> counters_;
};

class NullDevice;

class NullDirect3D : public Direct3D {
 public:
  HRESULT GetAdapterIdentifier(AdapterIdentifier* out) override;
  HRESULT GetDeviceCaps(DeviceCaps* out) override;
  HRESULT CheckDeviceFormat(uint32_t usage, Format format) override;
  void EnumAdapterModes(std::vector<DisplayMode>* out) override;
  HRESULT CreateDevice(SDL_Window* window, VertexProcessing vp, PresentParameters* params,
                       std::unique_ptr<Device>* out) override;

  // Test controls.
  DeviceCaps caps;
  int failCreateAttempts = 0;  // the next N CreateDevice calls fail
  std::vector<VertexProcessing> createAttempts;
  bool shaderSupport = true;
  NullDevice* lastDevice = nullptr;
};

class NullDevice : public Device {
 public:
  explicit NullDevice(const PresentParameters& params, bool shaderSupport = true);
  ~NullDevice() override;

  HRESULT TestCooperativeLevel() override;
  HRESULT Reset(const PresentParameters& params) override;
  HRESULT BeginScene() override;
  HRESULT EndScene() override;
  HRESULT Present() override;
  HRESULT Clear(uint32_t flags, uint32_t argb, float z, uint32_t stencil) override;
  HRESULT SetViewport(const Viewport& vp) override;
  HRESULT GetViewport(Viewport* vp) override;
  HRESULT SetScissorRect(const Rect& r) override;
  int BackBufferWidth() const override { return width_; }
  int BackBufferHeight() const override { return height_; }

  HRESULT SetRenderState(RenderState state, uint32_t value) override;
  uint32_t GetRenderState(RenderState state) const override;
  HRESULT SetSamplerState(int stage, SamplerState state, uint32_t value) override;
  uint32_t GetSamplerState(int stage, SamplerState state) const override;
  HRESULT SetTextureStageState(int stage, StageState state, uint32_t value) override;
  uint32_t GetTextureStageState(int stage, StageState state) const override;
  HRESULT SetFVF(uint32_t fvf) override;
  uint32_t GetFVF() const override { return fvf_; }

  HRESULT CreateTexture(int width, int height, int levels, uint32_t usage, Format format, Pool pool,
                        std::unique_ptr<Texture>* out) override;
  HRESULT CreateVertexBuffer(uint32_t lengthBytes, uint32_t usage, uint32_t fvf, Pool pool,
                             std::unique_ptr<VertexBuffer>* out) override;
  HRESULT CreateIndexBuffer(uint32_t lengthBytes, uint32_t usage, Pool pool,
                            std::unique_ptr<IndexBuffer>* out) override;
  HRESULT CreateEffectFromFile(const std::string& path, std::unique_ptr<Effect>* out,
                               std::string* errors) override;
  bool SupportsShaders() const override { return shaderSupport_; }

  HRESULT SetTexture(int stage, Texture* texture) override;
  Texture* GetTexture(int stage) const override;
  HRESULT SetRenderTarget(Texture* target) override;
  Texture* GetRenderTarget() const override { return renderTarget_; }
  HRESULT SetStreamSource(VertexBuffer* vb, uint32_t offsetBytes, uint32_t stride) override;
  HRESULT SetIndices(IndexBuffer* ib) override;

  HRESULT DrawPrimitiveUP(PrimitiveType type, int primitiveCount, const void* vertices, int stride) override;
  HRESULT DrawIndexedPrimitive(PrimitiveType type, int baseVertex, int minIndex, int numVertices,
                               int startIndex, int primitiveCount) override;
  HRESULT StretchRect(Texture* source, const Rect* sourceRect, Texture* dest, const Rect* destRect) override;
  HRESULT ReadPixels(Texture* source, const Rect& rect, std::vector<uint32_t>* argb) override;

  // ---- Test controls and the record ----
  // The cooperative-level answer: D3D_OK, D3DERR_DEVICELOST or D3DERR_DEVICENOTRESET.
  HRESULT cooperativeLevel = D3D_OK;
  HRESULT failReset = D3D_OK;       // returned by the next Reset (then cleared)
  HRESULT failBeginScene = D3D_OK;  // returned by every BeginScene while set
  HRESULT failPresent = D3D_OK;
  int failCreateVertexBuffer = 0;  // the next N buffer creations fail
  int failCreateTexture = 0;       // the next N texture creations fail
  void SetShaderSupport(bool on) { shaderSupport_ = on; }

  // Every call as "Name arg arg ..." in order (state setters, binds, draws, scenes).
  std::vector<std::string> calls;
  std::vector<DrawRecord> draws;
  // Off: nothing is recorded (the counters still run), so a test can count its own
  // allocations over many frames.
  bool recording = true;
  int CountCalls(const std::string& prefix) const;
  void ClearRecord() {
    calls.clear();
    draws.clear();
  }
  int sceneDepth = 0;
  int presents = 0;
  int resets = 0;
  int LiveTextures() const { return *live_; }  // textures created and not yet destroyed
  std::string activeEffect;                    // set by the null effects between BeginPass and EndPass

 private:
  void Record(const std::string& s) { calls.push_back(s); }
  DrawRecord Snapshot(PrimitiveType type, int prims, int stride) const;
  int TargetWidth() const { return renderTarget_ ? renderTarget_->Width() : width_; }
  int TargetHeight() const { return renderTarget_ ? renderTarget_->Height() : height_; }
  Rect CountClip() const {
    return DrawClipRect(viewport_, states_.Render(RenderState::ScissorTestEnable) != 0, scissor_,
                        TargetWidth(), TargetHeight());
  }

  int width_, height_;
  bool shaderSupport_;
  uint32_t fvf_ = 0;
  DeviceStates states_;
  Texture* textures_[kMaxStages] = {nullptr, nullptr};
  Texture* renderTarget_ = nullptr;
  VertexBuffer* stream_ = nullptr;
  uint32_t streamOffset_ = 0, streamStride_ = 0;
  IndexBuffer* indices_ = nullptr;
  Viewport viewport_;
  Rect scissor_;
  std::shared_ptr<int> live_;
};

}  // namespace platform
