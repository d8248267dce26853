#include "engine/ShaderEffects.h"

#include "engine/D3DEngine.h"
#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/Singletons.h"

using namespace platform;

namespace {
void CreateEffect(GShaderEffect& record) {
  D3DEngine& e = GetRenderDevice();
  if (!e.Device()) return;
  std::string errors;
  HRESULT hr = e.Device()->CreateEffectFromFile(record.name, &record.effect, &errors);
  if (Failed(hr) || !record.effect) {
    record.effect.reset();
    e.LogD3DError("D3DXCreateEffectFromFile failed", hr);
    // The compiler's own text names the file and line of the fault.
    if (!errors.empty()) LogError(errors.substr(0, 400));
  }
}
}  // namespace

void GShaderEffect::Begin() {
  D3DEngine& e = GetRenderDevice();
  if (!e.ShaderSupport() || !effect || begun) return;
  int technique = -1;
  HRESULT hr = effect->FindNextValidTechnique(0, &technique);
  if (Failed(hr) || technique < 0) {
    e.LogD3DError("Shader Effect failed to find technique", hr);
    return;
  }
  hr = effect->SetTechnique(technique);
  if (Failed(hr)) {
    e.LogD3DError("failed", hr);
    return;
  }
  hr = effect->Begin(&passes);
  if (Failed(hr)) {
    e.LogD3DError("failed", hr);
    return;
  }
  hr = effect->BeginPass(0);
  if (Failed(hr)) {
    e.LogD3DError("failed", hr);
    effect->End();
    return;
  }
  begun = true;
  e.SetActiveEffect(name);
}

void GShaderEffect::End() {
  D3DEngine& e = GetRenderDevice();
  if (!e.ShaderSupport() || !effect || !begun) return;
  effect->EndPass();
  effect->End();
  begun = false;
  e.SetActiveEffect("");
}

void GShaderEffect::SetVariable(const char* parameter, float value) {
  D3DEngine& e = GetRenderDevice();
  if (!e.ShaderSupport() || !effect || !parameter) return;
  HRESULT hr = effect->SetValue(parameter, &value, 4);
  if (Failed(hr)) e.LogD3DError("GShaderEffect::SetVariable failed", hr);
}

void GUI_ShaderManager::LoadAll() {
  // Only the list: an effect is compiled when first asked for. The main menu uses none,
  // and the software renderer holds most of a megabyte for each compiled pass.
  for (const std::string& path : ListFiles("data/shaders/*.fx", true)) {
    auto record = std::make_unique<GShaderEffect>();
    record->name = path;
    effects_.push_back(std::move(record));
  }
}

GShaderEffect* GUI_ShaderManager::GetShader(const char* fileName) {
  std::string name = fileName ? fileName : "";
  for (auto& r : effects_) {
    if (r->name != name) continue;
    if (!r->compiled && GetRenderDevice().ShaderSupport()) {
      r->compiled = true;
      CreateEffect(*r);
    }
    return r.get();
  }
  LogError(("Shader not found: " + name).c_str());
  return nullptr;
}

GUI_ShaderManager& GetShaderManager() {
  static std::unique_ptr<GUI_ShaderManager> s;
  static bool registered = (RegisterSingletonReset([] { s.reset(); }), true);
  (void)registered;
  if (!s) s = std::make_unique<GUI_ShaderManager>();
  return *s;
}

void ReleaseAllEffects() {
  D3DEngine& e = GetRenderDevice();
  for (auto& r : GetShaderManager().Effects()) {
    if (!r->effect) continue;
    if (r->begun) {
      r->effect->EndPass();
      r->effect->End();
      r->begun = false;
    }
    r->effect->OnLostDevice();
    r->effect.reset();
  }
  e.SetActiveEffect("");
}

void ReloadAllEffects() {
  if (!GetRenderDevice().ShaderSupport()) return;
  for (auto& r : GetShaderManager().Effects()) {
    if (r->name.empty() || !r->compiled) continue;
    r->effect.reset();
    CreateEffect(*r);
  }
}
