#pragma once
// Full-screen and sprite effects loaded from data/shaders/*.fx and handed out by file
// name. Without shader support every effect operation does nothing, so the same drawing
// code runs unshaded.
#include <memory>
#include <string>
#include <vector>

#include "platform/Device.h"

struct GShaderEffect {
  std::unique_ptr<platform::Effect> effect;  // null when not created
  std::string name;                          // the file path, e.g. "data/shaders/distortion.fx"
  int passes = 0;
  bool begun = false;     // between a successful Begin and End
  bool compiled = false;  // creation was tried (LoadAll lists the files, GetShader compiles)

  void Begin();
  void End();
  void SetVariable(const char* parameter, float value);
};

class GUI_ShaderManager {
 public:
  virtual ~GUI_ShaderManager() = default;
  void LoadAll();
  GShaderEffect* GetShader(const char* fileName);
  const std::vector<std::unique_ptr<GShaderEffect>>& Effects() const { return effects_; }
  std::vector<std::unique_ptr<GShaderEffect>>& Effects() { return effects_; }

 private:
  std::vector<std::unique_ptr<GShaderEffect>> effects_;
};

GUI_ShaderManager& GetShaderManager();
void ReleaseAllEffects();
void ReloadAllEffects();
