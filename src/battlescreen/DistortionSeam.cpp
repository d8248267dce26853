#include "battlescreen/DistortionSeam.h"

#include <algorithm>

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

void GUI_BS_DistortionSeam::AddShieldDistortion(GUI_BS_ShieldDistortion* ripple) {
  if (!ripple) return;
  ripple->elapsed = 0.0f;
  if (std::find(shieldDistortions.begin(), shieldDistortions.end(), ripple) == shieldDistortions.end())
    shieldDistortions.push_back(ripple);
}

void GUI_BS_DistortionSeam::RemoveShieldDistortion(GUI_BS_ShieldDistortion* ripple) {
  shieldDistortions.erase(std::remove(shieldDistortions.begin(), shieldDistortions.end(), ripple),
                          shieldDistortions.end());
}

void GUI_BS_DistortionSeam::AdvanceShieldDistortions(float ms) {
  for (GUI_BS_ShieldDistortion* ripple : shieldDistortions) ripple->elapsed += ms;
  shieldDistortions.erase(std::remove_if(shieldDistortions.begin(), shieldDistortions.end(),
                                         [](const GUI_BS_ShieldDistortion* r) {
                                           return r->elapsed >= GUI_BS_ShieldDistortion::kDurationMs;
                                         }),
                          shieldDistortions.end());
}
