#include "platform/GLShaders.h"

namespace platform {
namespace gl {

// Shaders. Pre-transformed pixel positions follow the classic convention that pixel
// centres lie on whole coordinates; GL puts them at +0.5, hence the half-pixel shift.
// Render targets are drawn top row first (no flip) so they are sampled exactly like
// textures loaded from files; only the back buffer is flipped.
const char* const kVertexShader = R"(#version 330 core
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
const char* const kFixedFragmentShader = R"(#version 330 core
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
namespace {
const char* const kFastFragmentShaderBody = R"(
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
}  // namespace

const std::string& ModulateFragmentShader() {
  static const std::string s = std::string("#version 330 core\n#define TEXTURED") + kFastFragmentShaderBody;
  return s;
}
const std::string& DiffuseFragmentShader() {
  static const std::string s = std::string("#version 330 core") + kFastFragmentShaderBody;
  return s;
}

void ProgramInfo::Lookup(GLuint program) {
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

namespace {
// Shaders and programs report a failed build alike: the driver's log is kept and the
// object deleted. Returns the object, or 0 when it failed.
template <typename GetStatus, typename GetLog, typename Delete>
GLuint KeepIfBuilt(GLuint object, GLenum status, GetStatus getStatus, GetLog getLog, Delete del,
                   std::string* log) {
  GLint ok = 0;
  getStatus(object, status, &ok);
  if (ok) return object;
  char buf[2048] = {};
  getLog(object, sizeof buf - 1, nullptr, buf);
  if (log) *log = buf;
  del(object);
  return 0;
}
}  // namespace

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

std::string ShaderPrelude(bool vertex) {
  if (vertex)
    return "#version 330 core\nlayout(location = 0) in vec4 aPosition;\nlayout(location = 1) in vec4 "
           "aColour;\n"
           "layout(location = 2) in vec2 aUV0;\nlayout(location = 3) in vec2 aUV1;\nuniform vec2 "
           "uTargetSize;\n"
           "uniform float uFlipY;\nout vec4 vColour;\nout vec2 vUV0;\nout vec2 vUV1;\n";
  return "#version 330 core\nin vec4 vColour;\nin vec2 vUV0;\nin vec2 vUV1;\nuniform sampler2D tex0;\n"
         "uniform sampler2D tex1;\nuniform vec2 uTargetSize;\nout vec4 fragColour;\n";
}

GLuint CompileEffectVertexShader(const std::string& body, int line, std::string* log) {
  std::string src = body.empty() ? std::string(kVertexShader)
                                 : ShaderPrelude(true) + "#line " + std::to_string(line) + "\n" + body;
  return Compile(GL_VERTEX_SHADER, src, log);
}

}  // namespace gl
}  // namespace platform
