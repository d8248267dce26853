#pragma once
// Effects on the OpenGL device: each pass of each technique one linked program, the
// effect's float and texture parameters uploaded into it before a draw.
#include <epoxy/gl.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/Device.h"
#include "platform/DeviceEffectFile.h"
#include "platform/GLResources.h"

namespace platform {
namespace gl {

class GLEffect : public Effect {
 public:
  // 'active' is the device's slot for the effect whose pass is running.
  GLEffect(GLEffect** active, AliveWeak alive, EffectFile file, std::vector<std::vector<GLuint>> programs)
      : active_(active), alive_(std::move(alive)), file_(std::move(file)), programs_(std::move(programs)) {
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
      if (name && file_.params[i].name == name && file_.params[i].kind == EffectParam::Float && data &&
          bytes >= 4) {
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
  GLEffect** active_;
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

// Compiles every pass of an effect file. On failure 'errors' holds the file and the
// driver's log, and nothing is kept.
HRESULT CreateGLEffect(const std::string& path, GLEffect** activeSlot, AliveWeak alive,
                       std::unique_ptr<Effect>* out, std::string* errors);

}  // namespace gl
}  // namespace platform
