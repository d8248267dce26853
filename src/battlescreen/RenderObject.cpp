#include "battlescreen/RenderObject.h"

#include <algorithm>

#include "battlescreen/BattleMap.h"
#include "engine/D3DEngine.h"

GUI_BS_RenderObject::~GUI_BS_RenderObject() {
  if (owner) Detach(this, owner);
  // A child outliving us must not detach from freed memory later.
  for (GUI_BS_RenderObject* child : children)
    if (child && child->owner == this) child->owner = nullptr;
  children.clear();
}

void GUI_BS_RenderObject::Draw() {
  if (zoomFrom != -1.0f && zoomFrom > GUI_BS_Map::Instance().zoom) return;
  for (GUI_BS_RenderObject* child : children) child->Draw();
}

bool GUI_BS_RenderObject::UpdateFade() {
  const float zoom = GUI_BS_Map::Instance().zoom;
  if (zoomFrom > zoom) return false;
  if (zoomUntil != -1.0f && zoom > zoomUntil - 1.0f)
    fade = 1.0f - (zoom - (zoomUntil - 1.0f));
  else
    fade = zoom - zoomFrom;
  fade = std::clamp(fade, 0.0f, 1.0f);
  return true;
}

void GUI_BS_RenderObject::DrawChildrenOfLayer(int which) {
  // Layer-2 children (both passes) draw in either pass.
  if (which < 0 || which > 1) return;
  if (noChildrenOnLayer[which]) return;
  for (GUI_BS_RenderObject* child : children)
    if (child->layer == which || child->layer == 2) child->Draw();
}

void GUI_BS_RenderObject::Attach(GUI_BS_RenderObject* child, GUI_BS_RenderObject* owner) {
  if (!child || !owner || child == owner) return;
  if (child->owner) Detach(child, child->owner);
  owner->children.push_back(child);
  child->owner = owner;
  MarkOwnerDirty(owner);
}

void GUI_BS_RenderObject::Detach(GUI_BS_RenderObject* child, GUI_BS_RenderObject* owner) {
  if (!child || !owner) return;
  owner->children.remove(child);
  if (child->owner == owner) child->owner = nullptr;
  MarkOwnerDirty(owner);
}

void GUI_BS_RenderObject::MarkOwnerDirty(GUI_BS_RenderObject* owner) {
  if (!owner) return;
  owner->noChildrenOnLayer[0] = true;
  owner->noChildrenOnLayer[1] = true;
  for (GUI_BS_RenderObject* child : owner->children) {
    if (child->layer == 0 || child->layer == 2) owner->noChildrenOnLayer[0] = false;
    if (child->layer == 1 || child->layer == 2) owner->noChildrenOnLayer[1] = false;
  }
}

void GUI_BS_3DWorldObject::UpdateScreenPos() {
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  const D3DEngine& e = GetRenderDevice();
  screenX = e.ScreenWidth() * 0.5f - (map.cameraX - worldX) * parallax * map.zoom;
  screenY = e.ScreenHeight() * 0.5f - (map.cameraY - worldY) * parallax * map.zoom;
}
