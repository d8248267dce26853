#pragma once
// The batching vertex buffer: callers append whole quads (top-left, top-right,
// bottom-left, bottom-right) to a staging array; the buffer draws everything queued with
// one indexed draw when the texture changes, when it is full, or when flushed. The device
// buffer is filled as a ring (no-overwrite appends, a discard when it wraps).
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/Device.h"

class CLoadedTexture;

// The engine vertex: pre-transformed position, ARGB colour, one texture coordinate pair.
struct GVertex {
  float x = 0.0f, y = 0.0f, z = 0.0f, rhw = 1.0f;
  uint32_t colour = 0xFFFFFFFFu;
  float u = 0.0f, v = 0.0f;
};
static_assert(sizeof(GVertex) == 28, "engine vertex is 28 bytes");

// The composite vertex with a second texture coordinate pair (36 bytes).
struct GVertex2 {
  float x = 0.0f, y = 0.0f, z = 0.0f, rhw = 1.0f;
  uint32_t colour = 0xFFFFFFFFu;
  float u = 0.0f, v = 0.0f, u2 = 0.0f, v2 = 0.0f;
};
static_assert(sizeof(GVertex2) == 36, "composite vertex is 36 bytes");

class GVertexBuffer {
 public:
  GVertexBuffer();
  virtual ~GVertexBuffer();
  GVertexBuffer(const GVertexBuffer&) = delete;
  GVertexBuffer& operator=(const GVertexBuffer&) = delete;

  void Init(int capacity);
  bool Create();
  void Release();
  void AddVertices(const GVertex* vertices, int count);
  void SetTexture(CLoadedTexture* handle);
  void Flush();
  void DrawQueued(int triangles);
  // A handle being destroyed stops being the current texture (queued quads keep their
  // place and draw with whatever is bound).
  void ForgetTexture(const CLoadedTexture* handle) {
    if (texture_ == handle) texture_ = nullptr;
  }

  int QueuedCount() const { return queued_; }
  int Capacity() const { return capacity_; }
  int WritePosition() const { return writePos_; }
  int DrawStart() const { return drawStart_; }
  bool IsCreated() const { return vb_ != nullptr && ib_ != nullptr; }
  CLoadedTexture* CurrentTexture() const { return texture_; }
  const std::vector<uint16_t>& Indices() const { return indices_; }

  // Plain fields set by callers before flushing.
  int blendMode = 2;  // 0 normal, 1 additive, 2 leave the device's blend state
  bool transform = false;
  float offsetX = 0.0f, offsetY = 0.0f, scale = 1.0f;
  const GVertex* externalVertices = nullptr;  // drawn instead of the staging array
  int externalCount = 0;

 private:
  void* lockPtr_ = nullptr;
  int writePos_ = 0;
  std::unique_ptr<platform::VertexBuffer> vb_;
  std::unique_ptr<platform::IndexBuffer> ib_;
  std::vector<uint16_t> indices_;
  std::vector<GVertex> staging_;
  int queued_ = 0;
  int capacity_ = 0;
  bool quadIndices_ = false;
  bool locked_ = false;
  CLoadedTexture* texture_ = nullptr;
  int drawStart_ = 0;
  bool listed_ = false;
};

// The global batch (5000 vertices once initialised).
GVertexBuffer& GetGlobalVertexBuffer();
// Start-up and after a reset: draw log "Initialising global vertex buffer", Init(5000).
void InitGlobalVertexBuffer();
// Every buffer that is currently created (Init adds, Release removes).
const std::vector<GVertexBuffer*>& AllVertexBuffers();
