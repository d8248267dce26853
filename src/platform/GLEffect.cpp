#include "platform/GLEffect.h"

#include "platform/GLShaders.h"

namespace platform {
namespace gl {

GLEffect::~GLEffect() {
  if (IsAlive(alive_)) {
    if (*active_ == this) *active_ = nullptr;
    for (auto& t : programs_)
      for (GLuint p : t)
        if (p) glDeleteProgram(p);
  }
}

HRESULT GLEffect::BeginPass(int pass) {
  if (!begun_ || pass < 0 || pass >= int(programs_[size_t(technique_)].size())) return D3DERR_INVALIDCALL;
  pass_ = pass;
  passActive_ = true;
  if (IsAlive(alive_)) *active_ = this;
  return D3D_OK;
}

HRESULT GLEffect::EndPass() {
  if (!passActive_) return D3DERR_INVALIDCALL;
  passActive_ = false;
  if (IsAlive(alive_) && *active_ == this) *active_ = nullptr;
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

HRESULT CreateGLEffect(const std::string& path, GLEffect** activeSlot, AliveWeak alive,
                       std::unique_ptr<Effect>* out, std::string* errors) {
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
      GLuint vs = CompileEffectVertexShader(pass.vertexSource, pass.vertexLine, &log);
      GLuint fs = 0;
      if (vs) {
        std::string src = ShaderPrelude(false) + params + "#line " + std::to_string(pass.fragmentLine) +
                          "\n" + pass.fragmentSource;
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
  *out = std::make_unique<GLEffect>(activeSlot, std::move(alive), std::move(file), std::move(programs));
  return D3D_OK;
}

}  // namespace gl
}  // namespace platform
