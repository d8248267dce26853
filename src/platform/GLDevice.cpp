#include "platform/GLDevice.h"

#include <SDL.h>
#include <dlfcn.h>
#include <epoxy/gl.h>
#include <link.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "platform/DeviceEffectFile.h"

namespace platform {
namespace {

// Objects made on the context check this before touching GL, so a resource that outlives
// its device (a static buffer at exit) is simply forgotten.
using AliveToken = std::shared_ptr<bool>;
using AliveWeak = std::weak_ptr<bool>;
bool IsAlive(const AliveWeak& w) {
  auto p = w.lock();
  return p && *p;
}

// ---------------------------------------------------------------------------------
// Shaders. Pre-transformed pixel positions follow the classic convention that pixel
// centres lie on whole coordinates; GL puts them at +0.5, hence the half-pixel shift.
// Render targets are drawn top row first (no flip) so they are sampled exactly like
// textures loaded from files; only the back buffer is flipped.
const char* kVertexShader = R"(#version 330 core
layout(location = 0) in vec4 aPosition;
layout(location = 1) in vec4 aColour;
layout(location = 2) in vec2 aUV0;
layout(location = 3) in vec2 aUV1;
uniform vec2 uTargetSize;
uniform float uFlipY;
out vec4 vColour;
out vec2 vUV0;
out vec2 vUV1;
void main() {
  float w = aPosition.w > 0.0 ? 1.0 / aPosition.w : 1.0;
  vec2 ndc = (aPosition.xy + vec2(0.5)) / uTargetSize * 2.0 - vec2(1.0);
  if (uFlipY > 0.5) ndc.y = -ndc.y;
  gl_Position = vec4(ndc * w, clamp(aPosition.z, 0.0, 1.0) * w, w);
  vColour = aColour;
  vUV0 = aUV0;
  vUV1 = aUV1;
}
)";

// One program stands in for the fixed-function texture stages the game uses.
const char* kFixedFragmentShader = R"(#version 330 core
in vec4 vColour;
in vec2 vUV0;
in vec2 vUV1;
uniform sampler2D tex0;
uniform sampler2D tex1;
uniform int uHasTex[2];
uniform int uColorOp[2];
uniform int uColorArg1[2];
uniform int uColorArg2[2];
uniform int uAlphaOp[2];
uniform int uAlphaArg1[2];
uniform int uAlphaArg2[2];
uniform int uTexCoord[2];
uniform vec4 uTFactor;
uniform vec4 uConstant[2];
uniform int uAlphaTest;
uniform int uAlphaFunc;
uniform float uAlphaRef;
out vec4 fragColour;

vec4 Arg(int a, int stage, vec4 current, vec4 texel) {
  if (a == 0) return vColour;
  if (a == 1) return current;
  if (a == 2) return texel;
  if (a == 3) return uTFactor;
  if (a == 6) return uConstant[stage];
  return vec4(1.0);
}
vec4 Op(int op, vec4 a1, vec4 a2, vec4 current) {
  if (op == 2) return a1;
  if (op == 3) return a2;
  if (op == 4) return a1 * a2;
  if (op == 5) return clamp(a1 * a2 * 2.0, 0.0, 1.0);
  if (op == 6) return clamp(a1 * a2 * 4.0, 0.0, 1.0);
  if (op == 7) return clamp(a1 + a2, 0.0, 1.0);
  return current;
}
bool Passes(float a) {
  float v = floor(a * 255.0 + 0.5);
  if (uAlphaFunc == 1) return false;
  if (uAlphaFunc == 2) return v < uAlphaRef;
  if (uAlphaFunc == 3) return v == uAlphaRef;
  if (uAlphaFunc == 4) return v <= uAlphaRef;
  if (uAlphaFunc == 5) return v > uAlphaRef;
  if (uAlphaFunc == 6) return v != uAlphaRef;
  if (uAlphaFunc == 7) return v >= uAlphaRef;
  return true;
}
void main() {
  vec4 current = vColour;
  for (int s = 0; s < 2; ++s) {
    if (uColorOp[s] == 1) break;
    vec2 uv = uTexCoord[s] == 1 ? vUV1 : vUV0;
    // With no texture bound a stage reads opaque white, so modulate gives the diffuse colour.
    vec4 texel = vec4(1.0);
    if (uHasTex[s] == 1) texel = s == 0 ? texture(tex0, uv) : texture(tex1, uv);
    vec4 c = Op(uColorOp[s], Arg(uColorArg1[s], s, current, texel), Arg(uColorArg2[s], s, current, texel), current);
    vec4 a = uAlphaOp[s] == 1 ? current
        : Op(uAlphaOp[s], Arg(uAlphaArg1[s], s, current, texel), Arg(uAlphaArg2[s], s, current, texel), current);
    current = vec4(c.rgb, a.a);
  }
  if (uAlphaTest == 1 && !Passes(current.a)) discard;
  fragColour = current;
}
)";

// The states almost every draw uses (texture times diffuse colour, alpha test "greater",
// no second stage) get a straight-line program: the general one above branches per
// fragment, which software rasterisers pay for on every pixel.
// One source serves both: textured (modulate) and untextured (diffuse only).
const char* kFastFragmentShaderBody = R"(
in vec4 vColour;
#ifdef TEXTURED
in vec2 vUV0;
uniform sampler2D tex0;
#endif
uniform float uAlphaCut;
out vec4 fragColour;
void main() {
#ifdef TEXTURED
  vec4 c = vColour * texture(tex0, vUV0);
#else
  vec4 c = vColour;
#endif
  if (floor(c.a * 255.0 + 0.5) <= uAlphaCut) discard;
  fragColour = c;
}
)";
const std::string kModulateFragmentShader = std::string("#version 330 core\n#define TEXTURED") + kFastFragmentShaderBody;
const std::string kDiffuseFragmentShader = std::string("#version 330 core") + kFastFragmentShaderBody;

// Uniform locations of a program, looked up once.
struct ProgramInfo {
  GLuint id = 0;
  GLint targetSize = -1, flipY = -1, tex0 = -1, tex1 = -1, alphaCut = -1;
  GLint hasTex = -1, colorOp = -1, colorArg1 = -1, colorArg2 = -1, alphaOp = -1, alphaArg1 = -1, alphaArg2 = -1;
  GLint texCoord = -1, tfactor = -1, constant = -1, alphaTest = -1, alphaFunc = -1, alphaRef = -1;
  void Lookup(GLuint program) {
    id = program;
    auto loc = [program](const char* n) { return glGetUniformLocation(program, n); };
    targetSize = loc("uTargetSize");
    flipY = loc("uFlipY");
    tex0 = loc("tex0");
    tex1 = loc("tex1");
    alphaCut = loc("uAlphaCut");
    hasTex = loc("uHasTex");
    colorOp = loc("uColorOp");
    colorArg1 = loc("uColorArg1");
    colorArg2 = loc("uColorArg2");
    alphaOp = loc("uAlphaOp");
    alphaArg1 = loc("uAlphaArg1");
    alphaArg2 = loc("uAlphaArg2");
    texCoord = loc("uTexCoord");
    tfactor = loc("uTFactor");
    constant = loc("uConstant");
    alphaTest = loc("uAlphaTest");
    alphaFunc = loc("uAlphaFunc");
    alphaRef = loc("uAlphaRef");
  }
};

// Shaders and programs report a failed build alike: the driver's log is kept and the
// object deleted. Returns the object, or 0 when it failed.
template <typename GetStatus, typename GetLog, typename Delete>
GLuint KeepIfBuilt(GLuint object, GLenum status, GetStatus getStatus, GetLog getLog, Delete del, std::string* log) {
  GLint ok = 0;
  getStatus(object, status, &ok);
  if (ok) return object;
  char buf[2048] = {};
  getLog(object, sizeof buf - 1, nullptr, buf);
  if (log) *log = buf;
  del(object);
  return 0;
}

GLuint Compile(GLenum type, const std::string& src, std::string* log) {
  GLuint s = glCreateShader(type);
  const char* p = src.c_str();
  glShaderSource(s, 1, &p, nullptr);
  glCompileShader(s);
  return KeepIfBuilt(s, GL_COMPILE_STATUS, glGetShaderiv, glGetShaderInfoLog, glDeleteShader, log);
}

GLuint Link(GLuint vs, GLuint fs, std::string* log) {
  GLuint p = glCreateProgram();
  glAttachShader(p, vs);
  glAttachShader(p, fs);
  glBindAttribLocation(p, 0, "aPosition");
  glBindAttribLocation(p, 1, "aColour");
  glBindAttribLocation(p, 2, "aUV0");
  glBindAttribLocation(p, 3, "aUV1");
  glLinkProgram(p);
  return KeepIfBuilt(p, GL_LINK_STATUS, glGetProgramiv, glGetProgramInfoLog, glDeleteProgram, log);
}

// Drops the errors earlier calls left pending. Bounded: a driver that keeps reporting an
// error (a lost context) must not hang the game here.
void ClearGLErrors() {
  for (int i = 0; i < 32 && glGetError() != GL_NO_ERROR; ++i) {
  }
}

GLenum GLBlend(uint32_t b) {
  switch (b) {
    case BLEND_ZERO: return GL_ZERO;
    case BLEND_ONE: return GL_ONE;
    case BLEND_SRCCOLOR: return GL_SRC_COLOR;
    case BLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
    case BLEND_SRCALPHA: return GL_SRC_ALPHA;
    case BLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    case BLEND_DESTALPHA: return GL_DST_ALPHA;
    case BLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
    case BLEND_DESTCOLOR: return GL_DST_COLOR;
    case BLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
    default: return GL_ONE;
  }
}
GLenum GLBlendOp(uint32_t op) {
  switch (op) {
    case BLENDOP_SUBTRACT: return GL_FUNC_SUBTRACT;
    case BLENDOP_REVSUBTRACT: return GL_FUNC_REVERSE_SUBTRACT;
    case BLENDOP_MIN: return GL_MIN;
    case BLENDOP_MAX: return GL_MAX;
    default: return GL_FUNC_ADD;
  }
}
GLenum GLMode(PrimitiveType t) {
  switch (t) {
    case PrimitiveType::PointList: return GL_POINTS;
    case PrimitiveType::LineList: return GL_LINES;
    case PrimitiveType::LineStrip: return GL_LINE_STRIP;
    case PrimitiveType::TriangleList: return GL_TRIANGLES;
    case PrimitiveType::TriangleStrip: return GL_TRIANGLE_STRIP;
    case PrimitiveType::TriangleFan: return GL_TRIANGLE_FAN;
  }
  return GL_TRIANGLES;
}

// ---------------------------------------------------------------------------------
class GLTexture : public Texture {
 public:
  GLTexture(AliveWeak alive, int w, int h, int levels, Format f, bool rt) : alive_(std::move(alive)) {
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
  ~GLTexture() override {
    if (IsAlive(alive_)) {
      if (fbo) glDeleteFramebuffers(1, &fbo);
      glDeleteTextures(1, &id);
    }
  }
  HRESULT UploadLevel(int level, int w, int h, const uint32_t* argb) override {
    if (level < 0 || level >= levels_ || !argb) return D3DERR_INVALIDCALL;
    if (w != std::max(1, width_ >> level) || h != std::max(1, height_ >> level)) return D3DERR_INVALIDCALL;
    glBindTexture(GL_TEXTURE_2D, id);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, w, h, GL_BGRA, GL_UNSIGNED_BYTE, argb);
    return D3D_OK;
  }
  void GenerateMips() override {
    glBindTexture(GL_TEXTURE_2D, id);
    glGenerateMipmap(GL_TEXTURE_2D);
  }
  GLuint Framebuffer() {
    if (!fbo) {
      glGenFramebuffers(1, &fbo);
      glBindFramebuffer(GL_FRAMEBUFFER, fbo);
      glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, id, 0);
    }
    return fbo;
  }
  GLuint id = 0;
  GLuint fbo = 0;

 private:
  AliveWeak alive_;
};

// A buffer with a system-memory shadow: locks hand out the shadow, unlocks upload the
// locked range (a discard lock orphans the storage first so the GPU never waits).
class GLBufferBase {
 public:
  GLBufferBase(AliveWeak alive, uint32_t length) : alive_(std::move(alive)), shadow(length) {
    glGenBuffers(1, &id);
    glBindBuffer(GL_COPY_WRITE_BUFFER, id);
    glBufferData(GL_COPY_WRITE_BUFFER, length, nullptr, GL_DYNAMIC_DRAW);
  }
  virtual ~GLBufferBase() {
    if (IsAlive(alive_)) glDeleteBuffers(1, &id);
  }
  HRESULT DoLock(uint32_t offset, uint32_t size, void** out, uint32_t flags) {
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
  HRESULT DoUnlock() {
    if (!locked) return D3DERR_INVALIDCALL;
    locked = false;
    glBindBuffer(GL_COPY_WRITE_BUFFER, id);
    // Every upload gives the buffer fresh storage holding the whole shadow copy: draws
    // still in flight keep the old storage, so the upload never waits for them (a
    // sub-range update would), and earlier appended data stays valid as promised.
    glBufferData(GL_COPY_WRITE_BUFFER, GLsizeiptr(shadow.size()), shadow.data(), GL_DYNAMIC_DRAW);
    return D3D_OK;
  }
  GLuint id = 0;

 private:
  AliveWeak alive_;
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

class GLDevice;

class GLEffect : public Effect {
 public:
  GLEffect(GLDevice* dev, AliveWeak alive, EffectFile file, std::vector<std::vector<GLuint>> programs)
      : dev_(dev), alive_(std::move(alive)), file_(std::move(file)), programs_(std::move(programs)) {
    for (const EffectParam& p : file_.params) {
      values_.push_back(p.value);
      textures_.push_back(nullptr);
    }
  }
  ~GLEffect() override;
  HRESULT FindNextValidTechnique(int from, int* technique) override {
    if (from < 0) from = 0;
    for (int t = from; t < int(programs_.size()); ++t) {
      bool ok = !programs_[size_t(t)].empty();
      for (GLuint p : programs_[size_t(t)]) ok = ok && p != 0;
      if (ok) {
        *technique = t;
        return D3D_OK;
      }
    }
    *technique = -1;
    return E_FAIL;
  }
  HRESULT SetTechnique(int t) override {
    if (t < 0 || t >= int(programs_.size())) return D3DERR_INVALIDCALL;
    technique_ = t;
    return D3D_OK;
  }
  HRESULT Begin(int* passes) override {
    if (begun_) return D3DERR_INVALIDCALL;
    begun_ = true;
    if (passes) *passes = int(programs_[size_t(technique_)].size());
    return D3D_OK;
  }
  HRESULT BeginPass(int pass) override;
  HRESULT EndPass() override;
  HRESULT End() override {
    if (!begun_) return D3DERR_INVALIDCALL;
    if (passActive_) EndPass();
    begun_ = false;
    return D3D_OK;
  }
  HRESULT SetValue(const char* name, const void* data, int bytes) override {
    for (size_t i = 0; i < file_.params.size(); ++i) {
      if (name && file_.params[i].name == name && file_.params[i].kind == EffectParam::Float && data && bytes >= 4) {
        std::memcpy(&values_[i], data, 4);
        return D3D_OK;
      }
    }
    return D3DERR_INVALIDCALL;
  }
  HRESULT SetTexture(const char* name, Texture* t) override {
    for (size_t i = 0; i < file_.params.size(); ++i) {
      if (name && file_.params[i].name == name && file_.params[i].kind == EffectParam::Texture) {
        textures_[i] = t;
        return D3D_OK;
      }
    }
    return D3DERR_INVALIDCALL;
  }
  int TechniqueCount() const override { return int(programs_.size()); }
  // Uploads the parameters into the active program (before each draw).
  void Apply(GLuint program);
  GLuint ActiveProgram() const { return passActive_ ? programs_[size_t(technique_)][size_t(pass_)] : 0; }

 private:
  GLDevice* dev_;
  AliveWeak alive_;
  EffectFile file_;
  std::vector<std::vector<GLuint>> programs_;
  std::vector<float> values_;
  std::vector<Texture*> textures_;
  int technique_ = 0;
  int pass_ = 0;
  bool begun_ = false;
  bool passActive_ = false;
};

// ---------------------------------------------------------------------------------
class GLDevice : public Device {
 public:
  GLDevice(SDL_Window* window, SDL_GLContext ctx, const PresentParameters& params)
      : window_(window), ctx_(ctx), alive_(std::make_shared<bool>(true)), params_(params) {
    UpdateBackBufferSize();
    glGenVertexArrays(1, &vao_);
    glBindVertexArray(vao_);
    glGenBuffers(1, &streamVbo_);
    glGenSamplers(2, samplers_);
    std::string log;
    GLuint vs = Compile(GL_VERTEX_SHADER, kVertexShader, &log);
    const std::string sources[3] = {kFixedFragmentShader, kModulateFragmentShader, kDiffuseFragmentShader};
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
    // Device defaults of the classic pipeline.
    rs_.fill(0);
    rs_[int(RenderState::AlphaFunc)] = CMP_ALWAYS;
    rs_[int(RenderState::SrcBlend)] = BLEND_ONE;
    rs_[int(RenderState::DestBlend)] = BLEND_ZERO;
    rs_[int(RenderState::BlendOp)] = BLENDOP_ADD;
    rs_[int(RenderState::Lighting)] = 1;
    rs_[int(RenderState::CullMode)] = CULL_CCW;
    rs_[int(RenderState::TextureFactor)] = 0xFFFFFFFFu;
    for (auto& s : ss_) {
      s.fill(0);
      s[int(SamplerState::AddressU)] = TADDRESS_WRAP;
      s[int(SamplerState::AddressV)] = TADDRESS_WRAP;
      s[int(SamplerState::MagFilter)] = TEXF_POINT;
      s[int(SamplerState::MinFilter)] = TEXF_POINT;
      s[int(SamplerState::MipFilter)] = TEXF_NONE;
    }
    for (int st = 0; st < kMaxStages; ++st) {
      ts_[st].fill(0);
      ts_[st][int(StageState::ColorArg1)] = TA_TEXTURE;
      ts_[st][int(StageState::ColorArg2)] = TA_CURRENT;
      ts_[st][int(StageState::AlphaArg1)] = TA_TEXTURE;
      ts_[st][int(StageState::AlphaArg2)] = TA_CURRENT;
      ts_[st][int(StageState::TexCoordIndex)] = uint32_t(st);
    }
    ts_[0][int(StageState::ColorOp)] = TOP_MODULATE;
    ts_[0][int(StageState::AlphaOp)] = TOP_SELECTARG1;
    ts_[0][int(StageState::ColorArg2)] = TA_DIFFUSE;
    ts_[0][int(StageState::AlphaArg2)] = TA_DIFFUSE;
    ts_[1][int(StageState::ColorOp)] = TOP_DISABLE;
    ts_[1][int(StageState::AlphaOp)] = TOP_DISABLE;
    samplersDirty_[0] = samplersDirty_[1] = true;
    viewport_ = Viewport{0, 0, bbWidth_, bbHeight_, 0.0f, 1.0f};
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

  AliveWeak Alive() const { return alive_; }
  void SetActiveEffect(GLEffect* e) { effect_ = e; }
  GLEffect* ActiveEffect() const { return effect_; }
  GLuint VertexShaderFor(const std::string& body, int line, std::string* log) {
    std::string src = body.empty() ? std::string(kVertexShader) : Prelude(true) + "#line " + std::to_string(line) + "\n" + body;
    return Compile(GL_VERTEX_SHADER, src, log);
  }
  std::string Prelude(bool vertex) const {
    if (vertex)
      return "#version 330 core\nlayout(location = 0) in vec4 aPosition;\nlayout(location = 1) in vec4 aColour;\n"
             "layout(location = 2) in vec2 aUV0;\nlayout(location = 3) in vec2 aUV1;\nuniform vec2 uTargetSize;\n"
             "uniform float uFlipY;\nout vec4 vColour;\nout vec2 vUV0;\nout vec2 vUV1;\n";
    return "#version 330 core\nin vec4 vColour;\nin vec2 vUV0;\nin vec2 vUV1;\nuniform sampler2D tex0;\n"
           "uniform sampler2D tex1;\nuniform vec2 uTargetSize;\nout vec4 fragColour;\n";
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
    UpdateBackBufferSize();
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
  int BackBufferHeight() const override { return bbHeight_; }

  // ---- States ----
  HRESULT SetRenderState(RenderState s, uint32_t v) override {
    int i = int(s);
    if (i < 0 || i >= int(RenderState::Count)) return D3DERR_INVALIDCALL;
    rs_[size_t(i)] = v;
    return D3D_OK;
  }
  uint32_t GetRenderState(RenderState s) const override {
    int i = int(s);
    return i >= 0 && i < int(RenderState::Count) ? rs_[size_t(i)] : 0;
  }
  HRESULT SetSamplerState(int stage, SamplerState s, uint32_t v) override {
    int i = int(s);
    if (stage < 0 || stage >= kMaxStages || i < 0 || i >= int(SamplerState::Count)) return D3DERR_INVALIDCALL;
    if (ss_[size_t(stage)][size_t(i)] != v) samplersDirty_[stage] = true;
    ss_[size_t(stage)][size_t(i)] = v;
    return D3D_OK;
  }
  uint32_t GetSamplerState(int stage, SamplerState s) const override {
    int i = int(s);
    if (stage < 0 || stage >= kMaxStages || i < 0 || i >= int(SamplerState::Count)) return 0;
    return ss_[size_t(stage)][size_t(i)];
  }
  HRESULT SetTextureStageState(int stage, StageState s, uint32_t v) override {
    int i = int(s);
    if (stage < 0 || stage >= kMaxStages || i < 0 || i >= int(StageState::Count)) return D3DERR_INVALIDCALL;
    ts_[size_t(stage)][size_t(i)] = v;
    return D3D_OK;
  }
  uint32_t GetTextureStageState(int stage, StageState s) const override {
    int i = int(s);
    if (stage < 0 || stage >= kMaxStages || i < 0 || i >= int(StageState::Count)) return 0;
    return ts_[size_t(stage)][size_t(i)];
  }
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
    // Everything is stored as 8-bit RGBA; compressed files are decoded before upload.
    Format stored = format == Format::X8R8G8B8 ? Format::X8R8G8B8 : Format::A8R8G8B8;
    ClearGLErrors();  // judge this creation by its own errors only
    GLint prev = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &prev);
    auto t = std::make_unique<GLTexture>(alive_, w, h, levels, stored, rt);
    glBindTexture(GL_TEXTURE_2D, GLuint(prev));
    if (glGetError() != GL_NO_ERROR) return D3DERR_OUTOFVIDEOMEMORY;
    *out = std::move(t);
    return D3D_OK;
  }
  HRESULT CreateVertexBuffer(uint32_t length, uint32_t, uint32_t, Pool, std::unique_ptr<VertexBuffer>* out) override {
    if (length == 0) return D3DERR_INVALIDCALL;
    auto b = std::make_unique<GLVertexBuffer>(alive_, length);
    b->length = length;
    *out = std::move(b);
    return D3D_OK;
  }
  HRESULT CreateIndexBuffer(uint32_t length, uint32_t, Pool, std::unique_ptr<IndexBuffer>* out) override {
    if (length == 0) return D3DERR_INVALIDCALL;
    auto b = std::make_unique<GLIndexBuffer>(alive_, length);
    b->length = length;
    *out = std::move(b);
    return D3D_OK;
  }
  HRESULT CreateEffectFromFile(const std::string& path, std::unique_ptr<Effect>* out, std::string* errors) override;
  bool SupportsShaders() const override { return fixedProgram_ != 0; }

  // ---- Bindings ----
  HRESULT SetTexture(int stage, Texture* t) override {
    if (stage < 0 || stage >= kMaxStages) return D3DERR_INVALIDCALL;
    textures_[stage] = t;
    return D3D_OK;
  }
  Texture* GetTexture(int stage) const override { return stage >= 0 && stage < kMaxStages ? textures_[stage] : nullptr; }
  HRESULT SetRenderTarget(Texture* target) override {
    if (target && !target->IsRenderTarget()) return D3DERR_INVALIDCALL;
    renderTarget_ = target;
    viewport_ = Viewport{0, 0, target ? target->Width() : bbWidth_, target ? target->Height() : bbHeight_, 0.0f, 1.0f};
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
    glBindBuffer(GL_ARRAY_BUFFER, streamVbo_);
    // Orphan-and-fill keeps the driver from waiting on the previous immediate draw.
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(count) * stride, vertices, GL_STREAM_DRAW);
    SetAttributes(0, stride);
    glDrawArrays(GLMode(type), 0, count);
    return D3D_OK;
  }
  HRESULT DrawIndexedPrimitive(PrimitiveType type, int baseVertex, int, int, int startIndex, int prims) override {
    if (!stream_ || !indices_ || prims <= 0 || streamStride_ == 0) return D3DERR_INVALIDCALL;
    if (!PrepareDraw()) return D3DERR_INVALIDCALL;
    int count = VerticesForPrimitives(type, prims);
    glBindBuffer(GL_ARRAY_BUFFER, stream_->id);
    SetAttributes(streamOffset_, int(streamStride_));
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indices_->id);
    glDrawElementsBaseVertex(GLMode(type), count, GL_UNSIGNED_SHORT,
                             reinterpret_cast<const void*>(uintptr_t(startIndex) * 2u), baseVertex);
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
    glBlitFramebuffer(s.left, sy0, s.right, sy1, d.left, d.top, d.right, d.bottom, GL_COLOR_BUFFER_BIT, GL_LINEAR);
    GLenum err = glGetError();
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    boundFbo_ = ~0u;
    glEnable(GL_SCISSOR_TEST);
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

  void ApplyTargetAndScissor() {
    GLuint fbo = renderTarget_ ? static_cast<GLTexture*>(renderTarget_)->Framebuffer() : BackBufferFbo();
    if (fbo != boundFbo_) {
      glBindFramebuffer(GL_FRAMEBUFFER, fbo);
      boundFbo_ = fbo;
    }
    int tw = renderTarget_ ? renderTarget_->Width() : bbWidth_;
    int th = renderTarget_ ? renderTarget_->Height() : bbHeight_;
    glViewport(0, 0, tw, th);
    // Pre-transformed vertices are not moved by the viewport: it only clips.
    int x0 = viewport_.x, y0 = viewport_.y, x1 = viewport_.x + viewport_.width, y1 = viewport_.y + viewport_.height;
    if (rs_[int(RenderState::ScissorTestEnable)]) {
      x0 = std::max(x0, scissor_.left);
      y0 = std::max(y0, scissor_.top);
      x1 = std::min(x1, scissor_.right);
      y1 = std::min(y1, scissor_.bottom);
    }
    x0 = std::max(0, std::min(x0, tw));
    x1 = std::max(x0, std::min(x1, tw));
    y0 = std::max(0, std::min(y0, th));
    y1 = std::max(y0, std::min(y1, th));
    if (renderTarget_)
      glScissor(x0, y0, x1 - x0, y1 - y0);
    else
      glScissor(x0, th - y1, x1 - x0, y1 - y0);
  }

  void ApplySampler(int stage) {
    if (!samplersDirty_[stage]) return;
    samplersDirty_[stage] = false;
    const auto& s = ss_[size_t(stage)];
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
    if (rs_[int(RenderState::AlphaBlendEnable)]) {
      glEnable(GL_BLEND);
      glBlendFunc(GLBlend(rs_[int(RenderState::SrcBlend)]), GLBlend(rs_[int(RenderState::DestBlend)]));
      glBlendEquation(GLBlendOp(rs_[int(RenderState::BlendOp)]));
    } else {
      glDisable(GL_BLEND);
    }
    // Textures on units 0 and 1 with their sampler states.
    for (int s = 0; s < kMaxStages; ++s) {
      ApplySampler(s);
      glActiveTexture(GL_TEXTURE0 + GLenum(s));
      glBindTexture(GL_TEXTURE_2D, textures_[s] ? static_cast<GLTexture*>(textures_[s])->id : 0);
      glBindSampler(GLuint(s), samplers_[s]);
    }
    glActiveTexture(GL_TEXTURE0);
    GLuint effectProgram = effect_ ? effect_->ActiveProgram() : 0;
    int tw = renderTarget_ ? renderTarget_->Width() : bbWidth_;
    int th = renderTarget_ ? renderTarget_->Height() : bbHeight_;
    if (effectProgram) {
      glUseProgram(effectProgram);
      glUniform2f(glGetUniformLocation(effectProgram, "uTargetSize"), float(tw), float(th));
      glUniform1f(glGetUniformLocation(effectProgram, "uFlipY"), renderTarget_ ? 0.0f : 1.0f);
      glUniform1i(glGetUniformLocation(effectProgram, "tex0"), 0);
      glUniform1i(glGetUniformLocation(effectProgram, "tex1"), 1);
      effect_->Apply(effectProgram);
      return true;
    }
    ProgramInfo* p = ChooseFixedProgram();
    if (!p || !p->id) return false;
    glUseProgram(p->id);
    glUniform2f(p->targetSize, float(tw), float(th));
    glUniform1f(p->flipY, renderTarget_ ? 0.0f : 1.0f);
    glUniform1i(p->tex0, 0);
    glUniform1i(p->tex1, 1);
    if (p != &fixed_) {
      // Alpha test "greater than ref" as a cut-off; -1 keeps every fragment.
      bool test = rs_[int(RenderState::AlphaTestEnable)] != 0;
      glUniform1f(p->alphaCut, test ? float(rs_[int(RenderState::AlphaRef)] & 0xFF) : -1.0f);
      return true;
    }
    GLint hasTex[2], cop[2], ca1[2], ca2[2], aop[2], aa1[2], aa2[2], tci[2];
    float cst[8];
    for (int s = 0; s < kMaxStages; ++s) {
      hasTex[s] = textures_[s] ? 1 : 0;
      cop[s] = GLint(ts_[s][int(StageState::ColorOp)]);
      ca1[s] = GLint(ts_[s][int(StageState::ColorArg1)]);
      ca2[s] = GLint(ts_[s][int(StageState::ColorArg2)]);
      aop[s] = GLint(ts_[s][int(StageState::AlphaOp)]);
      aa1[s] = GLint(ts_[s][int(StageState::AlphaArg1)]);
      aa2[s] = GLint(ts_[s][int(StageState::AlphaArg2)]);
      tci[s] = GLint(ts_[s][int(StageState::TexCoordIndex)] & 1);
      Colour4(ts_[s][int(StageState::Constant)], cst + s * 4);
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
    Colour4(rs_[int(RenderState::TextureFactor)], tf);
    glUniform4fv(p->tfactor, 1, tf);
    glUniform1i(p->alphaTest, rs_[int(RenderState::AlphaTestEnable)] ? 1 : 0);
    glUniform1i(p->alphaFunc, GLint(rs_[int(RenderState::AlphaFunc)]));
    glUniform1f(p->alphaRef, float(rs_[int(RenderState::AlphaRef)] & 0xFF));
    return true;
  }

  // The straight-line programs when the stage states are the common ones, else the
  // general one.
  ProgramInfo* ChooseFixedProgram() {
    const auto& t0 = ts_[0];
    auto isPair = [](uint32_t a, uint32_t b) {
      return (a == TA_TEXTURE && b == TA_DIFFUSE) || (a == TA_DIFFUSE && b == TA_TEXTURE);
    };
    bool common = t0[int(StageState::ColorOp)] == TOP_MODULATE &&
                  isPair(t0[int(StageState::ColorArg1)], t0[int(StageState::ColorArg2)]) &&
                  t0[int(StageState::AlphaOp)] == TOP_MODULATE &&
                  isPair(t0[int(StageState::AlphaArg1)], t0[int(StageState::AlphaArg2)]) &&
                  (t0[int(StageState::TexCoordIndex)] & 1) == 0 && ts_[1][int(StageState::ColorOp)] == TOP_DISABLE &&
                  (!rs_[int(RenderState::AlphaTestEnable)] || rs_[int(RenderState::AlphaFunc)] == CMP_GREATER);
    if (common) {
      ProgramInfo* p = textures_[0] ? &modulate_ : &diffuse_;
      if (p->id) return p;
    }
    return &fixed_;
  }

  void SetAttributes(uint32_t offset, int stride) {
    auto at = [offset](uint32_t o) { return reinterpret_cast<const void*>(uintptr_t(offset + o)); };
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, stride, at(0));
    glEnableVertexAttribArray(1);
    // ARGB in memory is B, G, R, A: the BGRA size swizzles it into place.
    glVertexAttribPointer(1, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride, at(16));
    glEnableVertexAttribArray(2);
    glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, stride, at(20));
    if (stride >= 36) {
      glEnableVertexAttribArray(3);
      glVertexAttribPointer(3, 2, GL_FLOAT, GL_FALSE, stride, at(28));
    } else {
      glDisableVertexAttribArray(3);
      glVertexAttrib2f(3, 0.0f, 0.0f);
    }
  }

  SDL_Window* window_;
  SDL_GLContext ctx_;
  AliveToken alive_;
  PresentParameters params_;
  int bbWidth_ = 1, bbHeight_ = 1;
  int drawableWidth_ = 1, drawableHeight_ = 1;
  GLuint virtualFbo_ = 0, virtualTex_ = 0;
  int maxTexture_ = 16384;
  GLuint vao_ = 0, streamVbo_ = 0, fixedProgram_ = 0;
  ProgramInfo fixed_, modulate_, diffuse_;
  GLuint samplers_[2] = {0, 0};
  bool samplersDirty_[2] = {true, true};
  GLuint boundFbo_ = ~0u;
  std::array<uint32_t, size_t(RenderState::Count)> rs_{};
  std::array<std::array<uint32_t, size_t(SamplerState::Count)>, kMaxStages> ss_{};
  std::array<std::array<uint32_t, size_t(StageState::Count)>, kMaxStages> ts_{};
  uint32_t fvf_ = FVF_ENGINE;
  Texture* textures_[kMaxStages] = {nullptr, nullptr};
  Texture* renderTarget_ = nullptr;
  GLVertexBuffer* stream_ = nullptr;
  uint32_t streamOffset_ = 0, streamStride_ = 0;
  GLIndexBuffer* indices_ = nullptr;
  Viewport viewport_;
  Rect scissor_;
  GLEffect* effect_ = nullptr;
};

GLEffect::~GLEffect() {
  if (IsAlive(alive_)) {
    if (dev_->ActiveEffect() == this) dev_->SetActiveEffect(nullptr);
    for (auto& t : programs_)
      for (GLuint p : t)
        if (p) glDeleteProgram(p);
  }
}

HRESULT GLEffect::BeginPass(int pass) {
  if (!begun_ || pass < 0 || pass >= int(programs_[size_t(technique_)].size())) return D3DERR_INVALIDCALL;
  pass_ = pass;
  passActive_ = true;
  dev_->SetActiveEffect(this);
  return D3D_OK;
}

HRESULT GLEffect::EndPass() {
  if (!passActive_) return D3DERR_INVALIDCALL;
  passActive_ = false;
  if (dev_->ActiveEffect() == this) dev_->SetActiveEffect(nullptr);
  return D3D_OK;
}

void GLEffect::Apply(GLuint program) {
  int unit = 2;
  for (size_t i = 0; i < file_.params.size(); ++i) {
    GLint loc = glGetUniformLocation(program, file_.params[i].name.c_str());
    if (loc < 0) continue;
    if (file_.params[i].kind == EffectParam::Float) {
      glUniform1f(loc, values_[i]);
    } else if (unit < 8) {
      glActiveTexture(GL_TEXTURE0 + GLenum(unit));
      glBindTexture(GL_TEXTURE_2D, textures_[i] ? static_cast<GLTexture*>(textures_[i])->id : 0);
      glBindSampler(GLuint(unit), 0);
      glUniform1i(loc, unit);
      ++unit;
    }
  }
  glActiveTexture(GL_TEXTURE0);
}

HRESULT GLDevice::CreateEffectFromFile(const std::string& path, std::unique_ptr<Effect>* out, std::string* errors) {
  out->reset();
  EffectFile file;
  if (!LoadEffectFile(path, &file, errors)) return E_FAIL;
  std::string params;
  for (const EffectParam& p : file.params)
    params += (p.kind == EffectParam::Float ? "uniform float " : "uniform sampler2D ") + p.name + ";\n";
  std::vector<std::vector<GLuint>> programs;
  for (const EffectTechnique& t : file.techniques) {
    programs.emplace_back();
    for (const EffectPass& pass : t.passes) {
      std::string log;
      GLuint vs = VertexShaderFor(pass.vertexSource, pass.vertexLine, &log);
      GLuint fs = 0;
      if (vs) {
        std::string src = Prelude(false) + params + "#line " + std::to_string(pass.fragmentLine) + "\n" + pass.fragmentSource;
        fs = Compile(GL_FRAGMENT_SHADER, src, &log);
      }
      GLuint prog = (vs && fs) ? Link(vs, fs, &log) : 0;
      if (vs) glDeleteShader(vs);
      if (fs) glDeleteShader(fs);
      if (!prog) {
        if (errors) *errors = path + ": " + log;
        for (auto& tp : programs)
          for (GLuint p : tp)
            if (p) glDeleteProgram(p);
        return E_FAIL;
      }
      programs.back().push_back(prog);
    }
  }
  *out = std::make_unique<GLEffect>(this, alive_, std::move(file), std::move(programs));
  return D3D_OK;
}

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
      for (const DisplayMode& d : *out) dup = dup || (d.width == m.w && d.height == m.h && d.refreshRate == m.refresh_rate);
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
    SDL_GL_SetSwapInterval(params->vsync ? 1 : 0);
    auto dev = std::make_unique<GLDevice>(window, ctx, *params);
    *out = std::move(dev);
    return D3D_OK;
  }
};

}  // namespace

std::unique_ptr<Direct3D> CreateGLDirect3D() { return std::make_unique<GLDirect3D>(); }

}  // namespace platform
