#include "battlescreen/DistortionSeam.h"

#include "engine/Singletons.h"

GUI_BS_DistortionSeam& GUI_BS_DistortionSeam::Instance() { return ProcessWide<GUI_BS_DistortionSeam>(); }

void GUI_BS_DistortionSeam::Register(GUI_BS_RenderObject* object) {
  if (!object || count >= kMaxObjects) return;
  objects[count++] = object;
}

void GUI_BS_DistortionSeam::DrawAndEndFrame() {
  if (drawer) drawer(objects, count);
  count = 0;
}
