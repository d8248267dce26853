#include "engine/VertexBuffer.h"

#include <algorithm>
#include <cstring>

#include "engine/D3DEngine.h"
#include "engine/Singletons.h"
#include "engine/Textures.h"

using namespace platform;

namespace {
std::vector<GVertexBuffer*>& BufferList() {
  static auto* l = new std::vector<GVertexBuffer*>();
  return *l;
}
// 16-bit indices address at most this many vertices.
constexpr int kMaxCapacity = 65536;
}  // namespace

const std::vector<GVertexBuffer*>& AllVertexBuffers() { return BufferList(); }

GVertexBuffer::GVertexBuffer() = default;

GVertexBuffer::~GVertexBuffer() { Release(); }

void GVertexBuffer::Init(int capacity) {
  if (vb_ || ib_) Release();
  // Whole quads only, and no more than 16-bit indices can reach.
  capacity = std::max(4, std::min(capacity, kMaxCapacity));
  capacity -= capacity % 4;
  capacity_ = capacity;
  quadIndices_ = true;
  Create();
  if (!listed_) {
    BufferList().push_back(this);
    listed_ = true;
  }
}

bool GVertexBuffer::Create() {
  D3DEngine& e = GetRenderDevice();
  Device* d = e.Device();
  if (!d || capacity_ <= 0) return false;
  HRESULT hr = d->CreateVertexBuffer(uint32_t(capacity_) * 28u, USAGE_DYNAMIC | USAGE_WRITEONLY, FVF_ENGINE,
                                     Pool::Default, &vb_);
  if (Failed(hr) || !vb_) {
    vb_.reset();
    e.LogD3DError("Vertex Buffer creation failure", hr);
    return false;
  }
  hr = d->CreateIndexBuffer(uint32_t(capacity_ / 4) * 12u, USAGE_WRITEONLY, Pool::Default, &ib_);
  if (Failed(hr) || !ib_) {
    ib_.reset();
    e.LogD3DError("Index buffer creation failure", hr);
    return false;
  }
  lockPtr_ = nullptr;
  writePos_ = 0;
  locked_ = false;
  // Sized from the capacity (a fixed table would overflow for large buffers).
  indices_.assign(size_t(capacity_ / 4) * 6, 0);
  if (quadIndices_) {
    for (int q = 0; q < capacity_ / 4; ++q) {
      uint16_t b = uint16_t(q * 4);
      uint16_t* p = &indices_[size_t(q) * 6];
      p[0] = b;
      p[1] = uint16_t(b + 1);
      p[2] = uint16_t(b + 2);
      p[3] = uint16_t(b + 2);
      p[4] = uint16_t(b + 1);
      p[5] = uint16_t(b + 3);
    }
  }
  void* data = nullptr;
  hr = ib_->Lock(0, 0, &data, LOCK_NONE);
  if (Failed(hr) || !data) {
    e.LogD3DError("Locking IndexBuffer", hr);
    ib_.reset();
    return false;
  }
  std::memcpy(data, indices_.data(), indices_.size() * sizeof(uint16_t));
  hr = ib_->Unlock();
  if (Failed(hr)) {
    e.LogD3DError("Unlocking IndexBuffer", hr);
    ib_.reset();
    return false;
  }
  staging_.assign(size_t(capacity_), GVertex());
  queued_ = 0;
  return true;
}

void GVertexBuffer::Release() {
  if (locked_ && vb_) vb_->Unlock();
  locked_ = false;
  lockPtr_ = nullptr;
  vb_.reset();
  ib_.reset();
  if (listed_) {
    auto& l = BufferList();
    l.erase(std::remove(l.begin(), l.end(), this), l.end());
    listed_ = false;
  }
  staging_.clear();
  staging_.shrink_to_fit();
  queued_ = 0;
  writePos_ = 0;
  drawStart_ = 0;
  texture_ = nullptr;
  externalVertices = nullptr;
  externalCount = 0;
}

void GVertexBuffer::AddVertices(const GVertex* vertices, int count) {
  if (!vertices || count <= 0 || staging_.empty()) return;
  // A call larger than the buffer is drawn in buffer-sized pieces of whole quads.
  while (count > 0) {
    int chunk = std::min(count, capacity_);
    if (queued_ + chunk > capacity_) Flush();
    std::memcpy(&staging_[size_t(queued_)], vertices, size_t(chunk) * sizeof(GVertex));
    queued_ += chunk;
    vertices += chunk;
    count -= chunk;
  }
}

void GVertexBuffer::SetTexture(CLoadedTexture* handle) {
  if (queued_ > 0) {
    Texture* current = texture_ ? texture_->texture : nullptr;
    Texture* next = handle ? handle->texture : nullptr;
    if (current != next) Flush();
  }
  texture_ = handle;
}

void GVertexBuffer::Flush() {
  if (queued_ == 0 && !externalVertices) return;
  D3DEngine& e = GetRenderDevice();
  if (locked_ && vb_) {
    HRESULT hr = vb_->Unlock();
    if (Failed(hr)) e.LogD3DError("Unlock VB", hr);
    locked_ = false;
  }
  if (texture_) texture_->Bind();
  if (blendMode == 0)
    e.SetNormalBlend();
  else if (blendMode == 1)
    e.SetAdditiveBlend();

  // With an external array its own count is drawn, never more than the buffer holds.
  const GVertex* src = externalVertices ? externalVertices : staging_.data();
  int n = externalVertices ? std::min(externalCount, capacity_) : queued_;
  n -= n % 2;
  if (n >= 2 && vb_ && ib_ && e.Device()) {
    void* data = nullptr;
    HRESULT hr;
    if (writePos_ + n < capacity_) {
      hr = vb_->Lock(uint32_t(writePos_) * 28u, uint32_t(n) * 28u, &data, LOCK_NOOVERWRITE);
      drawStart_ = writePos_;
      writePos_ += n;
    } else {
      hr = vb_->Lock(0, uint32_t(n) * 28u, &data, LOCK_DISCARD);
      drawStart_ = 0;
      writePos_ = n;
    }
    if (Failed(hr) || !data) {
      e.LogD3DError("Error locking VB", hr);
      if (Succeeded(hr)) vb_->Unlock();
    } else {
      locked_ = true;
      auto* dst = static_cast<GVertex*>(data);
      if (transform) {
        for (int i = 0; i < n; ++i) {
          dst[i] = src[i];
          dst[i].x = (src[i].x - offsetX) * scale;
          dst[i].y = (src[i].y - offsetY) * scale;
        }
      } else {
        std::memcpy(dst, src, size_t(n) * sizeof(GVertex));
      }
      hr = vb_->Unlock();
      locked_ = false;
      if (Failed(hr)) e.LogD3DError("Unlock VB", hr);
      DrawQueued(n / 2);
    }
  }
  queued_ = 0;
  externalVertices = nullptr;
  externalCount = 0;
}

void GVertexBuffer::DrawQueued(int triangles) {
  D3DEngine& e = GetRenderDevice();
  Device* d = e.Device();
  if (!d || !vb_ || !ib_ || triangles <= 0) return;
  if (d->GetFVF() != FVF_ENGINE) d->SetFVF(FVF_ENGINE);
  HRESULT hr = d->SetStreamSource(vb_.get(), 0, 28);
  if (Failed(hr)) {
    e.LogD3DError("SetStreamSource()", hr);
    return;
  }
  hr = d->SetIndices(ib_.get());
  if (Failed(hr)) {
    e.LogD3DError("SetIndices()", hr);
    return;
  }
  hr = d->DrawIndexedPrimitive(PrimitiveType::TriangleList, drawStart_, 0, triangles * 2, 0, triangles);
  if (Failed(hr)) e.LogD3DError("DrawIndexedPrimitive()", hr);
}

GVertexBuffer& GetGlobalVertexBuffer() {
  static std::unique_ptr<GVertexBuffer> s;
  static bool registered = (RegisterSingletonReset([] { s.reset(); }), true);
  (void)registered;
  if (!s) s = std::make_unique<GVertexBuffer>();
  return *s;
}

void InitGlobalVertexBuffer() {
  GetRenderDevice().DrawDebug("Initialising global vertex buffer");
  GetGlobalVertexBuffer().Init(5000);
}
