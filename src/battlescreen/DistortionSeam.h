#pragma once
// Stand-in for the distortion manager until the world details land: it takes the
// objects that want their heat haze or shock waves bent into the picture this frame and
// tells the post-processing whether anything was asked for. It draws nothing itself, so
// the distortion target stays neutral grey.
#include <cstddef>

class GUI_BS_RenderObject;

class GUI_BS_DistortionSeam {
 public:
  static constexpr int kMaxObjects = 256;
  static GUI_BS_DistortionSeam& Instance();
  // A full frame's list drops the rest.
  void Register(GUI_BS_RenderObject* object);
  bool HasDistortion() const { return count > 0; }
  // The distortion layer of the frame: the registrations end with it.
  void EndFrame() { count = 0; }
  GUI_BS_RenderObject* objects[kMaxObjects] = {};
  int count = 0;
};
