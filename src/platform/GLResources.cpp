#include "platform/GLResources.h"

#include <algorithm>
#include <cstring>

namespace platform {
namespace gl {

void ClearGLErrors() {
  for (int i = 0; i < 32 && glGetError() != GL_NO_ERROR; ++i) {
  }
}

namespace {
bool IsCompressed(Format f) { return f == Format::DXT1 || f == Format::DXT3 || f == Format::DXT5; }
GLenum CompressedFormat(Format f) {
  return f == Format::DXT1   ? GL_COMPRESSED_RGBA_S3TC_DXT1_EXT
         : f == Format::DXT3 ? GL_COMPRESSED_RGBA_S3TC_DXT3_EXT
                             : GL_COMPRESSED_RGBA_S3TC_DXT5_EXT;
}
size_t CompressedLevelBytes(Format f, int w, int h) {
  return size_t((w + 3) / 4) * size_t((h + 3) / 4) * (f == Format::DXT1 ? 8u : 16u);
}
}  // namespace

GLTexture::GLTexture(AliveWeak alive, std::shared_ptr<FrameCounters> counters,
                     std::shared_ptr<GLBoundTextures> bound, int w, int h, int levels, Format f, bool rt)
    : alive_(std::move(alive)), counters_(std::move(counters)), bound_(std::move(bound)) {
  width_ = w;
  height_ = h;
  levels_ = levels;
  format_ = f;
  renderTarget_ = rt;
  glGenTextures(1, &id);
  glActiveTexture(GL_TEXTURE0 + GLenum(kScratchTextureUnit));
  glBindTexture(GL_TEXTURE_2D, id);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, levels - 1);
  // Formats without alpha sample as opaque whatever the stored alpha byte holds.
  if (f == Format::X8R8G8B8) glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_A, GL_ONE);
  if (IsCompressed(f)) {
    // Storage comes with each level's upload; until then the levels are undefined.
    return;
  }
  for (int l = 0; l < levels; ++l) {
    int lw = std::max(1, w >> l), lh = std::max(1, h >> l);
    glTexImage2D(GL_TEXTURE_2D, l, GL_RGBA8, lw, lh, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
  }
  if (rt) {
    // A new render target starts cleared, as a fresh surface would: cleared by the
    // driver through its framebuffer, not filled from a buffer of zeros in memory.
    GLint prevDraw = 0, prevRead = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &prevDraw);
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &prevRead);
    GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
    glDisable(GL_SCISSOR_TEST);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, Framebuffer());
    const GLfloat clear[4] = {0.0f, 0.0f, 0.0f, f == Format::X8R8G8B8 ? 1.0f : 0.0f};
    glClearBufferfv(GL_COLOR, 0, clear);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, GLuint(prevDraw));
    glBindFramebuffer(GL_READ_FRAMEBUFFER, GLuint(prevRead));
    if (scissor) glEnable(GL_SCISSOR_TEST);
  }
}

GLTexture::~GLTexture() {
  if (IsAlive(alive_)) {
    if (fbo) glDeleteFramebuffers(1, &fbo);
    glDeleteTextures(1, &id);
    if (bound_)
      for (GLuint& u : bound_->units)
        if (u == id) u = ~0u;
  }
}

HRESULT GLTexture::UploadLevel(int level, int w, int h, const uint32_t* argb) {
  if (level < 0 || level >= levels_ || !argb) return D3DERR_INVALIDCALL;
  if (w != std::max(1, width_ >> level) || h != std::max(1, height_ >> level)) return D3DERR_INVALIDCALL;
  glActiveTexture(GL_TEXTURE0 + GLenum(kScratchTextureUnit));
  glBindTexture(GL_TEXTURE_2D, id);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  if (IsCompressed(format_)) {
    // Texels into a compressed texture: the driver compresses them.
    glTexImage2D(GL_TEXTURE_2D, level, GLint(CompressedFormat(format_)), w, h, 0, GL_BGRA, GL_UNSIGNED_BYTE,
                 argb);
  } else {
    glTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, w, h, GL_BGRA, GL_UNSIGNED_BYTE, argb);
  }
  if (counters_) counters_->bytesUploaded += uint64_t(w) * uint64_t(h) * 4u;
  return D3D_OK;
}

HRESULT GLTexture::UploadCompressedLevel(int level, int w, int h, const void* blocks, size_t bytes) {
  if (!IsCompressed(format_)) return D3DERR_WRONGTEXTUREFORMAT;
  if (level < 0 || level >= levels_ || !blocks) return D3DERR_INVALIDCALL;
  if (w != std::max(1, width_ >> level) || h != std::max(1, height_ >> level)) return D3DERR_INVALIDCALL;
  if (bytes != CompressedLevelBytes(format_, w, h)) return D3DERR_INVALIDCALL;
  glActiveTexture(GL_TEXTURE0 + GLenum(kScratchTextureUnit));
  glBindTexture(GL_TEXTURE_2D, id);
  ClearGLErrors();
  glCompressedTexImage2D(GL_TEXTURE_2D, level, CompressedFormat(format_), w, h, 0, GLsizei(bytes), blocks);
  if (glGetError() != GL_NO_ERROR) return D3DERR_INVALIDCALL;
  if (counters_) counters_->bytesUploaded += bytes;
  return D3D_OK;
}

void GLTexture::GenerateMips() {
  glActiveTexture(GL_TEXTURE0 + GLenum(kScratchTextureUnit));
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

GLBufferBase::GLBufferBase(AliveWeak alive, std::shared_ptr<FrameCounters> counters,
                           std::shared_ptr<GLBoundBuffers> bound, uint32_t length)
    : alive_(std::move(alive)), counters_(std::move(counters)), bound_(std::move(bound)), shadow(length) {
  glGenBuffers(1, &id);
  glBindBuffer(GL_COPY_WRITE_BUFFER, id);
  glBufferData(GL_COPY_WRITE_BUFFER, length, nullptr, GL_DYNAMIC_DRAW);
}

GLBufferBase::~GLBufferBase() {
  if (!IsAlive(alive_)) return;
  glDeleteBuffers(1, &id);
  if (bound_) {
    if (bound_->vertices == id) bound_->vertices = ~0u;
    if (bound_->indices == id) bound_->indices = ~0u;
  }
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
  if (lockSize == 0) return D3D_OK;
  glBindBuffer(GL_COPY_WRITE_BUFFER, id);
  const uint8_t* src = shadow.data() + lockOffset;
  if (lockFlags & LOCK_DISCARD) {
    // Fresh storage: draws in flight keep the old one. Only the locked range is sent;
    // the rest is undefined, as a discard promises.
    glBufferData(GL_COPY_WRITE_BUFFER, GLsizeiptr(shadow.size()), nullptr, GL_DYNAMIC_DRAW);
    glBufferSubData(GL_COPY_WRITE_BUFFER, GLintptr(lockOffset), GLsizeiptr(lockSize), src);
  } else if (lockFlags & LOCK_NOOVERWRITE) {
    // The caller promises this range is not in use by a draw: write it without waiting.
    void* dst = glMapBufferRange(GL_COPY_WRITE_BUFFER, GLintptr(lockOffset), GLsizeiptr(lockSize),
                                 GL_MAP_WRITE_BIT | GL_MAP_UNSYNCHRONIZED_BIT | GL_MAP_INVALIDATE_RANGE_BIT);
    if (dst) {
      std::memcpy(dst, src, lockSize);
      glUnmapBuffer(GL_COPY_WRITE_BUFFER);
    } else {
      glBufferSubData(GL_COPY_WRITE_BUFFER, GLintptr(lockOffset), GLsizeiptr(lockSize), src);
    }
  } else {
    glBufferSubData(GL_COPY_WRITE_BUFFER, GLintptr(lockOffset), GLsizeiptr(lockSize), src);
  }
  if (counters_) counters_->bytesUploaded += lockSize;
  return D3D_OK;
}

}  // namespace gl
}  // namespace platform
