#pragma once
// Our effect file format (data/shaders/*.fx): plain text, GLSL bodies.
//
//   // comment lines start with "//" outside the bodies
//   @param float <name> <default>        a float uniform set by SetVariable
//   @param texture <name>                a sampler set by name (tex0 and tex1 are the
//                                        textures bound on stages 0 and 1)
//   @technique <name>
//   @pass <name>
//   @vertex                              optional; the standard vertex stage otherwise
//   ...GLSL body...
//   @fragment
//   ...GLSL body (writes fragColour)...
//   @end
//
// The device puts a prelude in front of each body: the version line, the interpolated
// inputs vColour, vUV0, vUV1, the samplers tex0 and tex1, and every declared parameter,
// so bodies only hold their own functions and main(). Errors name the file and line.
#include <string>
#include <vector>

namespace platform {

struct EffectParam {
  enum Kind { Float, Texture } kind = Float;
  std::string name;
  float value = 0.0f;
};
struct EffectPass {
  std::string name;
  std::string vertexSource;  // empty: the standard vertex stage
  std::string fragmentSource;
  int vertexLine = 0, fragmentLine = 0;  // file line of the first body line
};
struct EffectTechnique {
  std::string name;
  std::vector<EffectPass> passes;
};
struct EffectFile {
  std::vector<EffectParam> params;
  std::vector<EffectTechnique> techniques;
  const EffectParam* FindParam(const std::string& name) const;
};

// Parses the text; false with "<path>(<line>): <reason>" in error.
bool ParseEffectFile(const std::string& text, const std::string& path, EffectFile* out, std::string* error);
bool LoadEffectFile(const std::string& path, EffectFile* out, std::string* error);

}  // namespace platform
