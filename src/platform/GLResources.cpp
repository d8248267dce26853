#include "platform/GLResources.h"

#include <algorithm>

namespace platform {
namespace gl {

void ClearGLErrors() {
  for (int i = 0; i < 32 && glGetError() != GL_NO_ERROR; ++i) {
  }
}

GLTexture::GLTexture(AliveWeak alive, int w, int h, int levels, Format f, bool rt)
    : alive_(std::move(alive)) {
  width_ = w;
  height_ = h;
  levels_ = levels;
  format_ = f;
  renderTarget_ = rt;
  glGenTextures(1, &id);
  glBindTexture(GL_TEXTURE_2D, id);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, levels - 1);
  // Formats without alpha sample as opaque whatever the stored alpha byte holds.
  if (f == Format::X8R8G8B8) glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_A, GL_ONE);
  for (int l = 0; l < levels; ++l) {
    int lw = std::max(1, w >> l), lh = std::max(1, h >> l);
    glTexImage2D(GL_TEXTURE_2D, l, GL_RGBA8, lw, lh, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
  }
  if (rt) {
    // A new render target starts cleared, as a fresh surface would.
    std::vector<uint32_t> zero(size_t(w) * size_t(h), f == Format::X8R8G8B8 ? 0xFF000000u : 0u);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, w, h, GL_BGRA, GL_UNSIGNED_BYTE, zero.data());
  }
}

GLTexture::~GLTexture() {
  if (IsAlive(alive_)) {
    if (fbo) glDeleteFramebuffers(1, &fbo);
    glDeleteTextures(1, &id);
  }
}

HRESULT GLTexture::UploadLevel(int level, int w, int h, const uint32_t* argb) {
  if (level < 0 || level >= levels_ || !argb) return D3DERR_INVALIDCALL;
  if (w != std::max(1, width_ >> level) || h != std::max(1, height_ >> level)) return D3DERR_INVALIDCALL;
  glBindTexture(GL_TEXTURE_2D, id);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, w, h, GL_BGRA, GL_UNSIGNED_BYTE, argb);
  return D3D_OK;
}

void GLTexture::GenerateMips() {
  glBindTexture(GL_TEXTURE_2D, id);
  glGenerateMipmap(GL_TEXTURE_2D);
}

GLuint GLTexture::Framebuffer() {
  if (!fbo) {
    glGenFramebuffers(1, &fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, id, 0);
  }
  return fbo;
}

GLBufferBase::GLBufferBase(AliveWeak alive, uint32_t length) : alive_(std::move(alive)), shadow(length) {
  glGenBuffers(1, &id);
  glBindBuffer(GL_COPY_WRITE_BUFFER, id);
  glBufferData(GL_COPY_WRITE_BUFFER, length, nullptr, GL_DYNAMIC_DRAW);
}

GLBufferBase::~GLBufferBase() {
  if (IsAlive(alive_)) glDeleteBuffers(1, &id);
}

HRESULT GLBufferBase::DoLock(uint32_t offset, uint32_t size, void** out, uint32_t flags) {
  if (locked || !out) return D3DERR_INVALIDCALL;
  if (size == 0) size = uint32_t(shadow.size()) - offset;
  if (offset > shadow.size() || size > shadow.size() - offset) return D3DERR_INVALIDCALL;
  lockOffset = offset;
  lockSize = size;
  lockFlags = flags;
  locked = true;
  *out = shadow.data() + offset;
  return D3D_OK;
}

HRESULT GLBufferBase::DoUnlock() {
  if (!locked) return D3DERR_INVALIDCALL;
  locked = false;
  glBindBuffer(GL_COPY_WRITE_BUFFER, id);
  // Every upload gives the buffer fresh storage holding the whole shadow copy: draws
  // still in flight keep the old storage, so the upload never waits for them (a
  // sub-range update would), and earlier appended data stays valid as promised.
  glBufferData(GL_COPY_WRITE_BUFFER, GLsizeiptr(shadow.size()), shadow.data(), GL_DYNAMIC_DRAW);
  return D3D_OK;
}

}  // namespace gl
}  // namespace platform
