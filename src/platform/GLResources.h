#pragma once
// Textures and buffers of the OpenGL device.
#include <epoxy/gl.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/Device.h"

namespace platform {
namespace gl {

// Objects made on the context check this before touching GL, so a resource that outlives
// its device (a static buffer at exit) is simply forgotten.
using AliveToken = std::shared_ptr<bool>;
using AliveWeak = std::weak_ptr<bool>;
inline bool IsAlive(const AliveWeak& w) {
  auto p = w.lock();
  return p && *p;
}

// Texture uploads and reads bind on this unit, leaving the units draws use untouched.
constexpr int kScratchTextureUnit = 7;

// Drops the errors earlier calls left pending. Bounded: a driver that keeps reporting an
// error (a lost context) must not hang the game here.
void ClearGLErrors();

// The textures the device last bound to the units draws use. A texture being deleted
// clears its entries: GL unbinds it, and its name may come back for a new texture.
struct GLBoundTextures {
  GLuint units[2] = {~0u, ~0u};
};
// The buffers the device's vertex layout last pointed at. A buffer being deleted clears
// its entry the same way.
struct GLBoundBuffers {
  GLuint vertices = ~0u, indices = ~0u;
};

class GLTexture : public Texture {
 public:
  // Block-compressed formats (DXT1/3/5) are stored compressed; the device creates them
  // only where the driver has S3TC.
  GLTexture(AliveWeak alive, std::shared_ptr<FrameCounters> counters, std::shared_ptr<GLBoundTextures> bound,
            int w, int h, int levels, Format f, bool rt);
  ~GLTexture() override;
  HRESULT UploadLevel(int level, int w, int h, const uint32_t* argb) override;
  HRESULT UploadCompressedLevel(int level, int w, int h, const void* blocks, size_t bytes) override;
  void GenerateMips() override;
  GLuint Framebuffer();
  GLuint id = 0;
  GLuint fbo = 0;

 private:
  AliveWeak alive_;
  std::shared_ptr<FrameCounters> counters_;
  std::shared_ptr<GLBoundTextures> bound_;
};

// A buffer with a system-memory shadow: locks hand out the shadow, unlocks send only the
// locked range. A discard lock gives the buffer fresh storage first and a no-overwrite
// lock writes without waiting, so draws still in flight never hold the upload up.
class GLBufferBase {
 public:
  GLBufferBase(AliveWeak alive, std::shared_ptr<FrameCounters> counters,
               std::shared_ptr<GLBoundBuffers> bound, uint32_t length);
  virtual ~GLBufferBase();
  HRESULT DoLock(uint32_t offset, uint32_t size, void** out, uint32_t flags);
  HRESULT DoUnlock();
  // The last data written through locks (what the draws read, for counting).
  const std::vector<uint8_t>& Shadow() const { return shadow; }
  GLuint id = 0;

 private:
  AliveWeak alive_;
  std::shared_ptr<FrameCounters> counters_;
  std::shared_ptr<GLBoundBuffers> bound_;
  std::vector<uint8_t> shadow;
  uint32_t lockOffset = 0, lockSize = 0, lockFlags = 0;
  bool locked = false;
};

// Vertex and index buffers differ only in the interface they serve.
template <typename Interface>
class GLBuffer : public Interface, public GLBufferBase {
 public:
  using GLBufferBase::GLBufferBase;
  HRESULT Lock(uint32_t o, uint32_t s, void** d, uint32_t f) override { return DoLock(o, s, d, f); }
  HRESULT Unlock() override { return DoUnlock(); }
  uint32_t Length() const override { return length; }
  uint32_t length = 0;
};
using GLVertexBuffer = GLBuffer<VertexBuffer>;
using GLIndexBuffer = GLBuffer<IndexBuffer>;

}  // namespace gl
}  // namespace platform
