#pragma once
// The OpenGL device's own shader programs: the vertex shader for pre-transformed
// vertices, the general fixed-function stand-in, the two straight-line programs for the
// common states, and the helpers that build programs and effect passes.
#include <epoxy/gl.h>

#include <string>

namespace platform {
namespace gl {

extern const char* const kVertexShader;
extern const char* const kFixedFragmentShader;
const std::string& ModulateFragmentShader();
const std::string& DiffuseFragmentShader();

// The declarations an effect pass's GLSL body starts with (vertex or fragment stage).
std::string ShaderPrelude(bool vertex);
// An effect pass's vertex shader: its own body, or the device's when it has none.
GLuint CompileEffectVertexShader(const std::string& body, int line, std::string* log);

// Uniform locations of a program, looked up once.
struct ProgramInfo {
  GLuint id = 0;
  GLint targetSize = -1, flipY = -1, tex0 = -1, tex1 = -1, alphaCut = -1;
  GLint hasTex = -1, colorOp = -1, colorArg1 = -1, colorArg2 = -1, alphaOp = -1, alphaArg1 = -1,
        alphaArg2 = -1;
  GLint texCoord = -1, tfactor = -1, constant = -1, alphaTest = -1, alphaFunc = -1, alphaRef = -1;
  // The values last set, so unchanged uniforms are not set again.
  int lastWidth = -1, lastHeight = -1, lastFlip = -1;
  float lastAlphaCut = -2.0f;
  void Lookup(GLuint program);
};

// Compiles one shader; 0 with the driver's log on failure.
GLuint Compile(GLenum type, const std::string& src, std::string* log);
// Links a program with the device's attribute slots; 0 with the log on failure.
GLuint Link(GLuint vs, GLuint fs, std::string* log);

}  // namespace gl
}  // namespace platform
