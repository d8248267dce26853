#include "platform/GLDevice.h"

#include <SDL.h>
#include <dlfcn.h>
#include <epoxy/gl.h>
#include <link.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "platform/DeviceStates.h"
#include "platform/GLEffect.h"
#include "platform/GLResources.h"
#include "platform/GLShaders.h"

namespace platform {
namespace gl {
namespace {

GLenum GLBlend(uint32_t b) {
  switch (b) {
    case BLEND_ZERO:
      return GL_ZERO;
    case BLEND_ONE:
      return GL_ONE;
    case BLEND_SRCCOLOR:
      return GL_SRC_COLOR;
    case BLEND_INVSRCCOLOR:
      return GL_ONE_MINUS_SRC_COLOR;
    case BLEND_SRCALPHA:
      return GL_SRC_ALPHA;
    case BLEND_INVSRCALPHA:
      return GL_ONE_MINUS_SRC_ALPHA;
    case BLEND_DESTALPHA:
      return GL_DST_ALPHA;
    case BLEND_INVDESTALPHA:
      return GL_ONE_MINUS_DST_ALPHA;
    case BLEND_DESTCOLOR:
      return GL_DST_COLOR;
    case BLEND_INVDESTCOLOR:
      return GL_ONE_MINUS_DST_COLOR;
    default:
      return GL_ONE;
  }
}
GLenum GLBlendOp(uint32_t op) {
  switch (op) {
    case BLENDOP_SUBTRACT:
      return GL_FUNC_SUBTRACT;
    case BLENDOP_REVSUBTRACT:
      return GL_FUNC_REVERSE_SUBTRACT;
    case BLENDOP_MIN:
      return GL_MIN;
    case BLENDOP_MAX:
      return GL_MAX;
    default:
      return GL_FUNC_ADD;
  }
}
GLenum GLMode(PrimitiveType t) {
  switch (t) {
    case PrimitiveType::PointList:
      return GL_POINTS;
    case PrimitiveType::LineList:
      return GL_LINES;
    case PrimitiveType::LineStrip:
      return GL_LINE_STRIP;
    case PrimitiveType::TriangleList:
      return GL_TRIANGLES;
    case PrimitiveType::TriangleStrip:
      return GL_TRIANGLE_STRIP;
    case PrimitiveType::TriangleFan:
      return GL_TRIANGLE_FAN;
  }
  return GL_TRIANGLES;
}

// ---------------------------------------------------------------------------------
class GLDevice : public Device {
 public:
  GLDevice(SDL_Window* window, SDL_GLContext ctx, const PresentParameters& params)
      : window_(window), ctx_(ctx), alive_(std::make_shared<bool>(true)), params_(params) {
    UpdateBackBufferSize();
    glGenVertexArrays(1, &vao_);
    glBindVertexArray(vao_);
    glGenBuffers(1, &streamVbo_);
    for (GLuint a = 0; a < 3; ++a) glEnableVertexAttribArray(a);
    glGenSamplers(2, samplers_);
    glBindSampler(0, samplers_[0]);
    glBindSampler(1, samplers_[1]);
    std::string log;
    GLuint vs = Compile(GL_VERTEX_SHADER, kVertexShader, &log);
    const std::string sources[3] = {kFixedFragmentShader, ModulateFragmentShader(), DiffuseFragmentShader()};
    ProgramInfo* infos[3] = {&fixed_, &modulate_, &diffuse_};
    for (int i = 0; i < 3 && vs; ++i) {
      GLuint fs = Compile(GL_FRAGMENT_SHADER, sources[i], &log);
      if (fs) {
        GLuint prog = Link(vs, fs, &log);
        glDeleteShader(fs);
        if (prog) infos[i]->Lookup(prog);
      }
    }
    if (vs) glDeleteShader(vs);
    fixedProgram_ = fixed_.id;
    if (!fixedProgram_) SDL_Log("Zentrak: fixed-function shader failed: %s", log.c_str());
    samplersDirty_[0] = samplersDirty_[1] = true;
    viewport_ = Viewport{0, 0, bbWidth_, bbHeight_, 0.0f, 1.0f};
    s3tc_ = epoxy_has_gl_extension("GL_EXT_texture_compression_s3tc");
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glEnable(GL_SCISSOR_TEST);
  }

  ~GLDevice() override {
    SDL_GL_MakeCurrent(window_, ctx_);
    for (ProgramInfo* p : {&fixed_, &modulate_, &diffuse_})
      if (p->id) glDeleteProgram(p->id);
    DeleteVirtualBackBuffer();
    glDeleteSamplers(2, samplers_);
    glDeleteBuffers(1, &streamVbo_);
    glDeleteVertexArrays(1, &vao_);
    *alive_ = false;
    SDL_GL_DeleteContext(ctx_);
  }

  // ---- Frame ----
  HRESULT TestCooperativeLevel() override { return D3D_OK; }  // GL has no device loss
  HRESULT Reset(const PresentParameters& params) override {
    params_ = params;
    UpdateBackBufferSize();
    renderTarget_ = nullptr;
    textures_[0] = textures_[1] = nullptr;
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    boundFbo_ = ~0u;
    viewport_ = Viewport{0, 0, bbWidth_, bbHeight_, 0.0f, 1.0f};
    return D3D_OK;
  }
  HRESULT BeginScene() override { return D3D_OK; }
  HRESULT EndScene() override { return D3D_OK; }
  HRESULT Present() override {
    if (virtualFbo_) {
      // Scale the game's back buffer onto the screen, keeping its shape (black bars).
      glDisable(GL_SCISSOR_TEST);
      glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
      glClearColor(0, 0, 0, 1);
      glClear(GL_COLOR_BUFFER_BIT);
      double scale = std::min(double(drawableWidth_) / bbWidth_, double(drawableHeight_) / bbHeight_);
      int w = int(bbWidth_ * scale), h = int(bbHeight_ * scale);
      int x = (drawableWidth_ - w) / 2, y = (drawableHeight_ - h) / 2;
      glBindFramebuffer(GL_READ_FRAMEBUFFER, virtualFbo_);
      glBlitFramebuffer(0, 0, bbWidth_, bbHeight_, x, y, x + w, y + h, GL_COLOR_BUFFER_BIT, GL_LINEAR);
      glBindFramebuffer(GL_FRAMEBUFFER, 0);
      boundFbo_ = ~0u;
      glEnable(GL_SCISSOR_TEST);
    }
    SDL_GL_SwapWindow(window_);
    queuedPixels_ = 0;
    UpdateBackBufferSize();
    EndFrameCounters();
    return D3D_OK;
  }
  HRESULT Clear(uint32_t flags, uint32_t argb, float z, uint32_t) override {
    ApplyTargetAndScissor();
    GLbitfield mask = 0;
    if (flags & CLEAR_TARGET) {
      glClearColor(((argb >> 16) & 0xFF) / 255.0f, ((argb >> 8) & 0xFF) / 255.0f, (argb & 0xFF) / 255.0f,
                   ((argb >> 24) & 0xFF) / 255.0f);
      mask |= GL_COLOR_BUFFER_BIT;
    }
    if (flags & CLEAR_ZBUFFER) {
      glClearDepth(z);
      mask |= GL_DEPTH_BUFFER_BIT;
    }
    if (mask) glClear(mask);
    if (flags & CLEAR_TARGET) CountClearPixels(CountClip());
    return D3D_OK;
  }
  HRESULT SetViewport(const Viewport& vp) override {
    if (vp.width < 0 || vp.height < 0) return D3DERR_INVALIDCALL;
    viewport_ = vp;
    return D3D_OK;
  }
  HRESULT GetViewport(Viewport* vp) override {
    *vp = viewport_;
    return D3D_OK;
  }
  HRESULT SetScissorRect(const Rect& r) override {
    scissor_ = r;
    return D3D_OK;
  }
  int BackBufferWidth() const override { return bbWidth_; }
  int RefreshRate() const override {
    // The display the window is on; 60 where the system does not say (Xvfb says 0).
    SDL_DisplayMode mode;
    int display = SDL_GetWindowDisplayIndex(window_);
    if (SDL_GetCurrentDisplayMode(display < 0 ? 0 : display, &mode) == 0 && mode.refresh_rate > 0)
      return mode.refresh_rate;
    return 60;
  }
  int BackBufferHeight() const override { return bbHeight_; }

  // ---- States ----
  HRESULT SetRenderState(RenderState s, uint32_t v) override {
    return states_.SetRender(s, v) ? D3D_OK : D3DERR_INVALIDCALL;
  }
  uint32_t GetRenderState(RenderState s) const override { return states_.Render(s); }
  HRESULT SetSamplerState(int stage, SamplerState s, uint32_t v) override {
    uint32_t old = states_.Sampler(stage, s);
    if (!states_.SetSampler(stage, s, v)) return D3DERR_INVALIDCALL;
    if (old != v) samplersDirty_[stage] = true;
    return D3D_OK;
  }
  uint32_t GetSamplerState(int stage, SamplerState s) const override { return states_.Sampler(stage, s); }
  HRESULT SetTextureStageState(int stage, StageState s, uint32_t v) override {
    return states_.SetStage(stage, s, v) ? D3D_OK : D3DERR_INVALIDCALL;
  }
  uint32_t GetTextureStageState(int stage, StageState s) const override { return states_.Stage(stage, s); }
  HRESULT SetFVF(uint32_t fvf) override {
    if (fvf != FVF_ENGINE && fvf != FVF_TWOUV) return D3DERR_INVALIDCALL;
    fvf_ = fvf;
    return D3D_OK;
  }
  uint32_t GetFVF() const override { return fvf_; }

  // ---- Resources ----
  HRESULT CreateTexture(int w, int h, int levels, uint32_t usage, Format format, Pool pool,
                        std::unique_ptr<Texture>* out) override {
    out->reset();
    if (w <= 0 || h <= 0 || w > maxTexture_ || h > maxTexture_) return D3DERR_INVALIDCALL;
    bool rt = (usage & USAGE_RENDERTARGET) != 0;
    if (rt && pool != Pool::Default) return D3DERR_INVALIDCALL;
    int maxLevels = 1;
    for (int s = std::max(w, h); s > 1; s >>= 1) ++maxLevels;
    if (levels <= 0 || levels > maxLevels) levels = maxLevels;
    if (rt) levels = 1;
    // Block-compressed formats stay compressed where the driver samples S3TC (Mesa's
    // software rasteriser does); everything else is stored as 8-bit RGBA.
    bool compressed = format == Format::DXT1 || format == Format::DXT3 || format == Format::DXT5;
    if (compressed && (!s3tc_ || rt)) return D3DERR_WRONGTEXTUREFORMAT;
    Format stored = compressed ? format : format == Format::X8R8G8B8 ? Format::X8R8G8B8 : Format::A8R8G8B8;
    ClearGLErrors();  // judge this creation by its own errors only
    glActiveTexture(GL_TEXTURE0 + GLenum(kScratchTextureUnit));
    GLint prev = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &prev);
    auto t = std::make_unique<GLTexture>(alive_, counters_, bound_, w, h, levels, stored, rt);
    glBindTexture(GL_TEXTURE_2D, GLuint(prev));
    if (glGetError() != GL_NO_ERROR) return D3DERR_OUTOFVIDEOMEMORY;
    *out = std::move(t);
    return D3D_OK;
  }
  HRESULT CreateVertexBuffer(uint32_t length, uint32_t, uint32_t, Pool,
                             std::unique_ptr<VertexBuffer>* out) override {
    if (length == 0) return D3DERR_INVALIDCALL;
    auto b = std::make_unique<GLVertexBuffer>(alive_, counters_, buffers_, length);
    b->length = length;
    *out = std::move(b);
    return D3D_OK;
  }
  HRESULT CreateIndexBuffer(uint32_t length, uint32_t, Pool, std::unique_ptr<IndexBuffer>* out) override {
    if (length == 0) return D3DERR_INVALIDCALL;
    auto b = std::make_unique<GLIndexBuffer>(alive_, counters_, buffers_, length);
    b->length = length;
    *out = std::move(b);
    return D3D_OK;
  }
  HRESULT CreateEffectFromFile(const std::string& path, std::unique_ptr<Effect>* out,
                               std::string* errors) override {
    return CreateGLEffect(path, &effect_, alive_, out, errors);
  }
  bool SupportsShaders() const override { return fixedProgram_ != 0; }

  // ---- Bindings ----
  HRESULT SetTexture(int stage, Texture* t) override {
    if (stage < 0 || stage >= kMaxStages) return D3DERR_INVALIDCALL;
    if (textures_[stage] != t) ++counters_->textureBinds;
    textures_[stage] = t;
    return D3D_OK;
  }
  Texture* GetTexture(int stage) const override {
    return stage >= 0 && stage < kMaxStages ? textures_[stage] : nullptr;
  }
  HRESULT SetRenderTarget(Texture* target) override {
    if (target && !target->IsRenderTarget()) return D3DERR_INVALIDCALL;
    if (renderTarget_ != target) ++counters_->targetSwitches;
    renderTarget_ = target;
    viewport_ = Viewport{0,
                         0,
                         target ? ScaledExtent(target->Width(), target->DrawScale()) : bbWidth_,
                         target ? ScaledExtent(target->Height(), target->DrawScale()) : bbHeight_,
                         0.0f,
                         1.0f};
    return D3D_OK;
  }
  Texture* GetRenderTarget() const override { return renderTarget_; }
  HRESULT SetStreamSource(VertexBuffer* vb, uint32_t offset, uint32_t stride) override {
    stream_ = static_cast<GLVertexBuffer*>(vb);
    streamOffset_ = offset;
    streamStride_ = stride;
    return D3D_OK;
  }
  HRESULT SetIndices(IndexBuffer* ib) override {
    indices_ = static_cast<GLIndexBuffer*>(ib);
    return D3D_OK;
  }

  // ---- Drawing ----
  HRESULT DrawPrimitiveUP(PrimitiveType type, int prims, const void* vertices, int stride) override {
    if (!vertices || prims <= 0 || stride != FvfStride(fvf_)) return D3DERR_INVALIDCALL;
    int count = VerticesForPrimitives(type, prims);
    if (!PrepareDraw()) return D3DERR_INVALIDCALL;
    const GLint first = StreamVertices(vertices, count, stride);
    glDrawArrays(GLMode(type), first, count);
    ++counters_->draws;
    counters_->bytesUploaded += uint64_t(count) * uint64_t(stride);
    countScale_ = renderTarget_ ? renderTarget_->DrawScale() : 1.0f;
    const uint64_t before = counters_->drawnPixels;
    CountDrawPixels(type, prims, static_cast<const uint8_t*>(vertices), size_t(count) * size_t(stride),
                    stride, nullptr, 0, 0, 0, CountClip(), TargetWidth(), TargetHeight());
    HandOverQueuedPixels(counters_->drawnPixels - before);
    return D3D_OK;
  }
  HRESULT DrawIndexedPrimitive(PrimitiveType type, int baseVertex, int, int, int startIndex,
                               int prims) override {
    if (!stream_ || !indices_ || prims <= 0 || streamStride_ == 0) return D3DERR_INVALIDCALL;
    if (!PrepareDraw()) return D3DERR_INVALIDCALL;
    int count = VerticesForPrimitives(type, prims);
    SetAttributes(stream_->id, streamOffset_, int(streamStride_));
    if (buffers_->indices != indices_->id) {
      glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indices_->id);
      buffers_->indices = indices_->id;
    }
    glDrawElementsBaseVertex(GLMode(type), count, GL_UNSIGNED_SHORT,
                             reinterpret_cast<const void*>(uintptr_t(startIndex) * 2u), baseVertex);
    ++counters_->draws;
    const std::vector<uint8_t>& vb = stream_->Shadow();
    const std::vector<uint8_t>& ib = indices_->Shadow();
    countScale_ = renderTarget_ ? renderTarget_->DrawScale() : 1.0f;
    const uint64_t before = counters_->drawnPixels;
    if (streamOffset_ < vb.size())
      CountDrawPixels(type, prims, vb.data() + streamOffset_, vb.size() - streamOffset_, int(streamStride_),
                      ib.data(), ib.size(), startIndex, baseVertex, CountClip(), TargetWidth(),
                      TargetHeight());
    HandOverQueuedPixels(counters_->drawnPixels - before);
    return D3D_OK;
  }

  HRESULT StretchRect(Texture* source, const Rect* sr, Texture* dest, const Rect* dr) override {
    if (!dest || !dest->IsRenderTarget()) return D3DERR_INVALIDCALL;
    if (source && !source->IsRenderTarget()) return D3DERR_INVALIDCALL;
    int sw = source ? source->Width() : bbWidth_, sh = source ? source->Height() : bbHeight_;
    Rect s = sr ? *sr : Rect{0, 0, sw, sh};
    Rect d = dr ? *dr : Rect{0, 0, dest->Width(), dest->Height()};
    glDisable(GL_SCISSOR_TEST);
    GLuint destFbo = static_cast<GLTexture*>(dest)->Framebuffer();
    if (source) {
      glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLTexture*>(source)->Framebuffer());
      glReadBuffer(GL_COLOR_ATTACHMENT0);
    } else {
      ReadFromBackBuffer();
    }
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, destFbo);
    // The back buffer is stored bottom row first; render targets top row first.
    int sy0 = source ? s.top : sh - s.top, sy1 = source ? s.bottom : sh - s.bottom;
    ClearGLErrors();  // only this copy's own error counts
    glBlitFramebuffer(s.left, sy0, s.right, sy1, d.left, d.top, d.right, d.bottom, GL_COLOR_BUFFER_BIT,
                      GL_LINEAR);
    GLenum err = glGetError();
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    boundFbo_ = ~0u;
    glEnable(GL_SCISSOR_TEST);
    counters_->drawnPixels += StretchPixels(d, dest->Width(), dest->Height());
    return err == GL_NO_ERROR ? D3D_OK : D3DERR_INVALIDCALL;
  }

  HRESULT ReadPixels(Texture* source, const Rect& r, std::vector<uint32_t>* argb) override {
    int w = source ? source->Width() : bbWidth_, h = source ? source->Height() : bbHeight_;
    if (r.left < 0 || r.top < 0 || r.right > w || r.bottom > h || r.right <= r.left || r.bottom <= r.top)
      return D3DERR_INVALIDCALL;
    int rw = r.right - r.left, rh = r.bottom - r.top;
    argb->assign(size_t(rw) * size_t(rh), 0);
    ClearGLErrors();  // an earlier call's error is not this read's
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    if (!source) {
      ReadFromBackBuffer();
      std::vector<uint32_t> tmp(argb->size());
      glReadPixels(r.left, h - r.bottom, rw, rh, GL_BGRA, GL_UNSIGNED_BYTE, tmp.data());
      for (int y = 0; y < rh; ++y)
        std::memcpy(&(*argb)[size_t(y) * rw], &tmp[size_t(rh - 1 - y) * rw], size_t(rw) * 4);
      for (uint32_t& p : *argb) p |= 0xFF000000u;  // the back buffer has no alpha
    } else if (source->IsRenderTarget()) {
      glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLTexture*>(source)->Framebuffer());
      glReadBuffer(GL_COLOR_ATTACHMENT0);
      glReadPixels(r.left, r.top, rw, rh, GL_BGRA, GL_UNSIGNED_BYTE, argb->data());
      if (source->GetFormat() == Format::X8R8G8B8)
        for (uint32_t& p : *argb) p |= 0xFF000000u;
    } else {
      std::vector<uint32_t> all(size_t(w) * size_t(h));
      glActiveTexture(GL_TEXTURE0 + GLenum(kScratchTextureUnit));
      glBindTexture(GL_TEXTURE_2D, static_cast<GLTexture*>(source)->id);
      glGetTexImage(GL_TEXTURE_2D, 0, GL_BGRA, GL_UNSIGNED_BYTE, all.data());
      for (int y = 0; y < rh; ++y)
        std::memcpy(&(*argb)[size_t(y) * rw], &all[size_t(r.top + y) * w + r.left], size_t(rw) * 4);
    }
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    boundFbo_ = ~0u;
    return glGetError() == GL_NO_ERROR ? D3D_OK : D3DERR_INVALIDCALL;
  }

 private:
  // A software rasteriser bins the draws on this thread and fills pixels on its own
  // threads only once the binned work is flushed to them, which otherwise first happens
  // at a target switch or at the present: a frame drawn mostly into one target would
  // be binned whole while those threads wait, then filled while this thread waits. Handing
  // the work over every half screen's worth of pixels lets both run at once.
  void HandOverQueuedPixels(uint64_t pixels) {
    queuedPixels_ += pixels;
    if (queuedPixels_ < uint64_t(bbWidth_) * uint64_t(bbHeight_) / 2u) return;
    glFlush();
    queuedPixels_ = 0;
  }

  void UpdateBackBufferSize() {
    int w = 0, h = 0;
    SDL_GL_GetDrawableSize(window_, &w, &h);
    drawableWidth_ = w > 0 ? w : 1;
    drawableHeight_ = h > 0 ? h : 1;
    if (!params_.windowed && params_.backBufferWidth > 0) {
      w = params_.backBufferWidth;
      h = params_.backBufferHeight;
    }
    int bw = w > 0 ? w : 1, bh = h > 0 ? h : 1;
    // A full-screen mode other than the desktop's: the game draws into a back buffer of
    // its chosen size, scaled onto the screen when presented (no display-mode switch).
    bool needVirtual = bw != drawableWidth_ || bh != drawableHeight_;
    if (needVirtual && (!virtualFbo_ || bw != bbWidth_ || bh != bbHeight_)) {
      DeleteVirtualBackBuffer();
      glGenTextures(1, &virtualTex_);
      glActiveTexture(GL_TEXTURE0 + GLenum(kScratchTextureUnit));
      glBindTexture(GL_TEXTURE_2D, virtualTex_);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
      glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, bw, bh, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
      glGenFramebuffers(1, &virtualFbo_);
      glBindFramebuffer(GL_FRAMEBUFFER, virtualFbo_);
      glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, virtualTex_, 0);
      glBindFramebuffer(GL_FRAMEBUFFER, 0);
      boundFbo_ = ~0u;
    } else if (!needVirtual) {
      DeleteVirtualBackBuffer();
    }
    bbWidth_ = bw;
    bbHeight_ = bh;
  }

  void DeleteVirtualBackBuffer() {
    if (virtualFbo_) glDeleteFramebuffers(1, &virtualFbo_);
    if (virtualTex_) glDeleteTextures(1, &virtualTex_);
    virtualFbo_ = virtualTex_ = 0;
    boundFbo_ = ~0u;
  }

  // The framebuffer standing for the back buffer, and how to read it.
  GLuint BackBufferFbo() const { return virtualFbo_; }
  void ReadFromBackBuffer() {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, virtualFbo_);
    glReadBuffer(virtualFbo_ ? GL_COLOR_ATTACHMENT0 : GL_BACK);
  }

  // The part of a target a scaled draw reaches, one texel wider so that filtering at its
  // edge reads what was drawn or cleared.
  static int ScaledExtent(int size, float scale) {
    return scale >= 1.0f ? size : std::min(size, int(std::ceil(float(size) * scale)) + 1);
  }
  int TargetWidth() const { return renderTarget_ ? renderTarget_->Width() : bbWidth_; }
  int TargetHeight() const { return renderTarget_ ? renderTarget_->Height() : bbHeight_; }
  // What a draw or clear reaches, for the frame's pixel counts.
  Rect CountClip() const {
    return DrawClipRect(viewport_, states_.rs[int(RenderState::ScissorTestEnable)] != 0, scissor_,
                        TargetWidth(), TargetHeight());
  }

  void ApplyTargetAndScissor() {
    GLuint fbo = renderTarget_ ? static_cast<GLTexture*>(renderTarget_)->Framebuffer() : BackBufferFbo();
    if (fbo != boundFbo_) {
      glBindFramebuffer(GL_FRAMEBUFFER, fbo);
      boundFbo_ = fbo;
    }
    int tw = renderTarget_ ? renderTarget_->Width() : bbWidth_;
    int th = renderTarget_ ? renderTarget_->Height() : bbHeight_;
    SetGLViewport(tw, th);
    // Pre-transformed vertices are not moved by the viewport: it only clips.
    int x0 = viewport_.x, y0 = viewport_.y, x1 = viewport_.x + viewport_.width,
        y1 = viewport_.y + viewport_.height;
    if (states_.rs[int(RenderState::ScissorTestEnable)]) {
      x0 = std::max(x0, scissor_.left);
      y0 = std::max(y0, scissor_.top);
      x1 = std::min(x1, scissor_.right);
      y1 = std::min(y1, scissor_.bottom);
    }
    x0 = std::max(0, std::min(x0, tw));
    x1 = std::max(x0, std::min(x1, tw));
    y0 = std::max(0, std::min(y0, th));
    y1 = std::max(y0, std::min(y1, th));
    SetGLScissor(x0, renderTarget_ ? y0 : th - y1, x1 - x0, y1 - y0);
  }

  // The GL state a draw sets, applied only when it changes: on a software rasteriser
  // every call costs the main thread, and most draws change nothing but the texture.
  void SetGLViewport(int w, int h) {
    if (w == glViewport_[0] && h == glViewport_[1]) return;
    glViewport(0, 0, w, h);
    glViewport_[0] = w;
    glViewport_[1] = h;
  }
  void SetGLScissor(int x, int y, int w, int h) {
    const std::array<int, 4> box = {x, y, w, h};
    if (box == glScissor_) return;
    glScissor(x, y, w, h);
    glScissor_ = box;
  }
  // Units 0 and 1 are only ever bound here (uploads use the scratch unit, effects the
  // units above 1), so what was bound last is still bound.
  void BindGLTexture(int unit, GLuint id) {
    if (bound_->units[unit] == id) return;
    glActiveTexture(GL_TEXTURE0 + GLenum(unit));
    glBindTexture(GL_TEXTURE_2D, id);
    bound_->units[unit] = id;
  }
  void UseGLProgram(GLuint program) {
    if (program == currentProgram_) return;
    glUseProgram(program);
    currentProgram_ = program;
  }

  void ApplySampler(int stage) {
    if (!samplersDirty_[stage]) return;
    samplersDirty_[stage] = false;
    const auto& s = states_.ss[size_t(stage)];
    auto addr = [](uint32_t a) {
      return a == TADDRESS_WRAP ? GL_REPEAT : a == TADDRESS_MIRROR ? GL_MIRRORED_REPEAT : GL_CLAMP_TO_EDGE;
    };
    GLuint id = samplers_[stage];
    glSamplerParameteri(id, GL_TEXTURE_WRAP_S, addr(s[int(SamplerState::AddressU)]));
    glSamplerParameteri(id, GL_TEXTURE_WRAP_T, addr(s[int(SamplerState::AddressV)]));
    bool magLinear = s[int(SamplerState::MagFilter)] == TEXF_LINEAR;
    bool minLinear = s[int(SamplerState::MinFilter)] == TEXF_LINEAR;
    uint32_t mip = s[int(SamplerState::MipFilter)];
    GLenum minf;
    if (mip == TEXF_NONE)
      minf = minLinear ? GL_LINEAR : GL_NEAREST;
    else if (mip == TEXF_POINT)
      minf = minLinear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    else
      minf = minLinear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
    glSamplerParameteri(id, GL_TEXTURE_MAG_FILTER, magLinear ? GL_LINEAR : GL_NEAREST);
    glSamplerParameteri(id, GL_TEXTURE_MIN_FILTER, GLint(minf));
    glSamplerParameterf(id, GL_TEXTURE_LOD_BIAS, BitsFloat(s[int(SamplerState::MipLodBias)]));
  }

  static void Colour4(uint32_t argb, float out[4]) {
    out[0] = ((argb >> 16) & 0xFF) / 255.0f;
    out[1] = ((argb >> 8) & 0xFF) / 255.0f;
    out[2] = (argb & 0xFF) / 255.0f;
    out[3] = ((argb >> 24) & 0xFF) / 255.0f;
  }

  bool PrepareDraw() {
    ApplyTargetAndScissor();
    glBindVertexArray(vao_);
    // Blending.
    const std::array<uint32_t, 4> blend = {
        states_.rs[int(RenderState::AlphaBlendEnable)] ? 1u : 0u, states_.rs[int(RenderState::SrcBlend)],
        states_.rs[int(RenderState::DestBlend)], states_.rs[int(RenderState::BlendOp)]};
    if (blend != glBlend_) {
      if (blend[0]) {
        glEnable(GL_BLEND);
        glBlendFunc(GLBlend(blend[1]), GLBlend(blend[2]));
        glBlendEquation(GLBlendOp(blend[3]));
      } else {
        glDisable(GL_BLEND);
      }
      glBlend_ = blend;
    }
    // Textures on units 0 and 1 with their sampler states.
    // (The sampler objects stay bound to units 0 and 1 from the start.)
    for (int s = 0; s < kMaxStages; ++s) {
      ApplySampler(s);
      BindGLTexture(s, textures_[s] ? static_cast<GLTexture*>(textures_[s])->id : 0);
    }
    GLuint effectProgram = effect_ ? effect_->ActiveProgram() : 0;
    // Positions map onto the target through its size over its draw scale.
    const float scale = renderTarget_ ? renderTarget_->DrawScale() : 1.0f;
    int tw = int(std::lround(float(renderTarget_ ? renderTarget_->Width() : bbWidth_) / scale));
    int th = int(std::lround(float(renderTarget_ ? renderTarget_->Height() : bbHeight_) / scale));
    if (effectProgram) {
      UseGLProgram(effectProgram);
      glUniform2f(glGetUniformLocation(effectProgram, "uTargetSize"), float(tw), float(th));
      glUniform1f(glGetUniformLocation(effectProgram, "uFlipY"), renderTarget_ ? 0.0f : 1.0f);
      glUniform1i(glGetUniformLocation(effectProgram, "tex0"), 0);
      glUniform1i(glGetUniformLocation(effectProgram, "tex1"), 1);
      effect_->Apply(effectProgram);
      return true;
    }
    ProgramInfo* p = ChooseFixedProgram();
    if (!p || !p->id) return false;
    UseGLProgram(p->id);
    const int flip = renderTarget_ ? 0 : 1;
    if (p->lastWidth != tw || p->lastHeight != th || p->lastFlip != flip) {
      glUniform2f(p->targetSize, float(tw), float(th));
      glUniform1f(p->flipY, float(flip));
      glUniform1i(p->tex0, 0);
      glUniform1i(p->tex1, 1);
      p->lastWidth = tw;
      p->lastHeight = th;
      p->lastFlip = flip;
    }
    if (p != &fixed_) {
      // Alpha test "greater than ref" as a cut-off; -1 keeps every fragment.
      bool test = states_.rs[int(RenderState::AlphaTestEnable)] != 0;
      float cut = test ? float(states_.rs[int(RenderState::AlphaRef)] & 0xFF) : -1.0f;
      if (cut != p->lastAlphaCut) {
        glUniform1f(p->alphaCut, cut);
        p->lastAlphaCut = cut;
      }
      return true;
    }
    GLint hasTex[2], cop[2], ca1[2], ca2[2], aop[2], aa1[2], aa2[2], tci[2];
    float cst[8];
    for (int s = 0; s < kMaxStages; ++s) {
      hasTex[s] = textures_[s] ? 1 : 0;
      cop[s] = GLint(states_.ts[s][int(StageState::ColorOp)]);
      ca1[s] = GLint(states_.ts[s][int(StageState::ColorArg1)]);
      ca2[s] = GLint(states_.ts[s][int(StageState::ColorArg2)]);
      aop[s] = GLint(states_.ts[s][int(StageState::AlphaOp)]);
      aa1[s] = GLint(states_.ts[s][int(StageState::AlphaArg1)]);
      aa2[s] = GLint(states_.ts[s][int(StageState::AlphaArg2)]);
      tci[s] = GLint(states_.ts[s][int(StageState::TexCoordIndex)] & 1);
      Colour4(states_.ts[s][int(StageState::Constant)], cst + s * 4);
    }
    glUniform1iv(p->hasTex, 2, hasTex);
    glUniform1iv(p->colorOp, 2, cop);
    glUniform1iv(p->colorArg1, 2, ca1);
    glUniform1iv(p->colorArg2, 2, ca2);
    glUniform1iv(p->alphaOp, 2, aop);
    glUniform1iv(p->alphaArg1, 2, aa1);
    glUniform1iv(p->alphaArg2, 2, aa2);
    glUniform1iv(p->texCoord, 2, tci);
    glUniform4fv(p->constant, 2, cst);
    float tf[4];
    Colour4(states_.rs[int(RenderState::TextureFactor)], tf);
    glUniform4fv(p->tfactor, 1, tf);
    glUniform1i(p->alphaTest, states_.rs[int(RenderState::AlphaTestEnable)] ? 1 : 0);
    glUniform1i(p->alphaFunc, GLint(states_.rs[int(RenderState::AlphaFunc)]));
    glUniform1f(p->alphaRef, float(states_.rs[int(RenderState::AlphaRef)] & 0xFF));
    return true;
  }

  // The straight-line programs when the stage states are the common ones, else the
  // general one.
  ProgramInfo* ChooseFixedProgram() {
    const auto& t0 = states_.ts[0];
    auto isPair = [](uint32_t a, uint32_t b) {
      return (a == TA_TEXTURE && b == TA_DIFFUSE) || (a == TA_DIFFUSE && b == TA_TEXTURE);
    };
    bool common = t0[int(StageState::ColorOp)] == TOP_MODULATE &&
                  isPair(t0[int(StageState::ColorArg1)], t0[int(StageState::ColorArg2)]) &&
                  t0[int(StageState::AlphaOp)] == TOP_MODULATE &&
                  isPair(t0[int(StageState::AlphaArg1)], t0[int(StageState::AlphaArg2)]) &&
                  (t0[int(StageState::TexCoordIndex)] & 1) == 0 &&
                  states_.ts[1][int(StageState::ColorOp)] == TOP_DISABLE &&
                  (!states_.rs[int(RenderState::AlphaTestEnable)] ||
                   states_.rs[int(RenderState::AlphaFunc)] == CMP_GREATER);
    if (common) {
      ProgramInfo* p = textures_[0] ? &modulate_ : &diffuse_;
      if (p->id) return p;
    }
    return &fixed_;
  }

  // Points the vertex layout at a buffer, only when the buffer, offset or stride differ
  // from the last: re-pointing (and above all re-setting the second UV set's constant)
  // makes the driver rebuild its vertex state for the draw.
  void SetAttributes(GLuint buffer, uint32_t offset, int stride) {
    if (buffer == buffers_->vertices && offset == attribOffset_ && stride == attribStride_) return;
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    auto at = [offset](uint32_t o) { return reinterpret_cast<const void*>(uintptr_t(offset + o)); };
    glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, stride, at(0));
    // ARGB in memory is B, G, R, A: the BGRA size swizzles it into place.
    glVertexAttribPointer(1, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride, at(16));
    glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, stride, at(20));
    const bool twoUV = stride >= 36;
    if (twoUV) glVertexAttribPointer(3, 2, GL_FLOAT, GL_FALSE, stride, at(28));
    if (twoUV != (attribStride_ >= 36) || attribStride_ < 0) {
      if (twoUV) {
        glEnableVertexAttribArray(3);
      } else {
        glDisableVertexAttribArray(3);
        glVertexAttrib2f(3, 0.0f, 0.0f);
      }
    }
    buffers_->vertices = buffer;
    attribOffset_ = offset;
    attribStride_ = stride;
  }

  // Immediate vertices go one after another into a stream buffer, each draw's at a whole
  // number of its vertices from the start, so the vertex layout stays put and only the
  // first vertex changes; a full buffer is swapped for fresh storage (draws in flight
  // keep the old). Returns the first vertex to draw.
  GLint StreamVertices(const void* vertices, int count, int stride) {
    const GLsizeiptr bytes = GLsizeiptr(count) * stride;
    GLsizeiptr at = (streamUsed_ + stride - 1) / stride * stride;
    const bool fresh = at + bytes > kStreamBytes;
    if (fresh) at = 0;
    if (bytes > kStreamBytes) {
      // Larger than the whole stream: a buffer of its own size, just for it.
      glBindBuffer(GL_ARRAY_BUFFER, streamVbo_);
      glBufferData(GL_ARRAY_BUFFER, bytes, vertices, GL_STREAM_DRAW);
      buffers_->vertices = ~0u;  // the stream's storage must be made again
      streamSize_ = bytes;
      SetAttributes(streamVbo_, 0, stride);
      streamUsed_ = kStreamBytes;
      return 0;
    }
    SetAttributes(streamVbo_, 0, stride);
    if (fresh || streamSize_ != kStreamBytes) {
      glBufferData(GL_ARRAY_BUFFER, kStreamBytes, nullptr, GL_STREAM_DRAW);
      streamSize_ = kStreamBytes;
    }
    void* dst = glMapBufferRange(GL_ARRAY_BUFFER, at, bytes,
                                 GL_MAP_WRITE_BIT | GL_MAP_UNSYNCHRONIZED_BIT | GL_MAP_INVALIDATE_RANGE_BIT);
    if (dst) {
      std::memcpy(dst, vertices, size_t(bytes));
      glUnmapBuffer(GL_ARRAY_BUFFER);
    } else {
      glBufferSubData(GL_ARRAY_BUFFER, at, bytes, vertices);
    }
    streamUsed_ = at + bytes;
    return GLint(at / stride);
  }

  SDL_Window* window_;
  SDL_GLContext ctx_;
  AliveToken alive_;
  PresentParameters params_;
  int bbWidth_ = 1, bbHeight_ = 1;
  int drawableWidth_ = 1, drawableHeight_ = 1;
  GLuint virtualFbo_ = 0, virtualTex_ = 0;
  int maxTexture_ = 16384;
  bool s3tc_ = false;
  GLuint vao_ = 0, streamVbo_ = 0, fixedProgram_ = 0;
  static constexpr GLsizeiptr kStreamBytes = 1 << 20;
  GLsizeiptr streamUsed_ = kStreamBytes, streamSize_ = 0;  // full: the first draw makes storage
  std::shared_ptr<GLBoundBuffers> buffers_ = std::make_shared<GLBoundBuffers>();
  uint32_t attribOffset_ = 0;
  int attribStride_ = -1;
  ProgramInfo fixed_, modulate_, diffuse_;
  GLuint samplers_[2] = {0, 0};
  bool samplersDirty_[2] = {true, true};
  GLuint boundFbo_ = ~0u;
  std::array<int, 2> glViewport_ = {-1, -1};
  std::array<int, 4> glScissor_ = {-1, -1, -1, -1};
  std::array<uint32_t, 4> glBlend_ = {~0u, ~0u, ~0u, ~0u};
  std::shared_ptr<GLBoundTextures> bound_ = std::make_shared<GLBoundTextures>();
  GLuint currentProgram_ = ~0u;
  DeviceStates states_;
  uint32_t fvf_ = FVF_ENGINE;
  Texture* textures_[kMaxStages] = {nullptr, nullptr};
  Texture* renderTarget_ = nullptr;
  GLVertexBuffer* stream_ = nullptr;
  uint32_t streamOffset_ = 0, streamStride_ = 0;
  GLIndexBuffer* indices_ = nullptr;
  Viewport viewport_;
  Rect scissor_;
  GLEffect* effect_ = nullptr;
  uint64_t queuedPixels_ = 0;  // drawn since the last hand-over to the rasteriser
};

// ---------------------------------------------------------------------------------
// Once a GL driver is loaded it stays loaded until the process ends: unloading it (SDL
// does when video shuts down) leaves its thread-local storage behind, which leak
// checkers and late destructors then trip over.
int PinLoadedLibrary(struct dl_phdr_info* info, size_t, void*) {
  if (info->dlpi_name && info->dlpi_name[0]) dlopen(info->dlpi_name, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
  return 0;
}

class GLDirect3D : public Direct3D {
 public:
  HRESULT GetAdapterIdentifier(AdapterIdentifier* out) override {
    out->driver = "OpenGL 3.3 core";
    const char* v = SDL_GetCurrentVideoDriver();
    out->description = std::string("SDL ") + (v ? v : "no video");
    out->deviceName = "display 0";
    return D3D_OK;
  }
  HRESULT GetDeviceCaps(DeviceCaps* out) override {
    *out = DeviceCaps();
    out->pixelShaderMajor = 3;
    out->hardwareTnL = true;
    out->numSimultaneousRTs = 1;
    return D3D_OK;
  }
  HRESULT CheckDeviceFormat(uint32_t, Format f) override {
    return f == Format::A8R8G8B8 || f == Format::X8R8G8B8 ? D3D_OK : D3DERR_NOTAVAILABLE;
  }
  void EnumAdapterModes(std::vector<DisplayMode>* out) override {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
    int n = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < n; ++i) {
      SDL_DisplayMode m;
      if (SDL_GetDisplayMode(0, i, &m) != 0) continue;
      bool dup = false;
      for (const DisplayMode& d : *out)
        dup = dup || (d.width == m.w && d.height == m.h && d.refreshRate == m.refresh_rate);
      if (!dup) out->push_back(DisplayMode{m.w, m.h, m.refresh_rate, Format::X8R8G8B8});
    }
  }
  HRESULT CreateDevice(SDL_Window* window, VertexProcessing, PresentParameters* params,
                       std::unique_ptr<Device>* out) override {
    out->reset();
    if (!window) return D3DERR_INVALIDCALL;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GLContext ctx = SDL_GL_CreateContext(window);
    if (!ctx) {
      SDL_Log("Zentrak: OpenGL 3.3 context failed: %s", SDL_GetError());
      return D3DERR_NOTAVAILABLE;
    }
    if (SDL_GL_MakeCurrent(window, ctx) != 0 || epoxy_gl_version() < 33) {
      SDL_GL_DeleteContext(ctx);
      return D3DERR_NOTAVAILABLE;
    }
    dl_iterate_phdr(PinLoadedLibrary, nullptr);
    // Wait for the display's refresh, as the classic default interval does: late swaps
    // (a late frame shows at once) where the driver has them, else every refresh.
    if (!params->vsync || SDL_GL_SetSwapInterval(-1) != 0) SDL_GL_SetSwapInterval(params->vsync ? 1 : 0);
    auto dev = std::make_unique<GLDevice>(window, ctx, *params);
    *out = std::move(dev);
    return D3D_OK;
  }
};

}  // namespace
}  // namespace gl

std::unique_ptr<Direct3D> CreateGLDirect3D() { return std::make_unique<gl::GLDirect3D>(); }

}  // namespace platform
