#pragma once
// The base of every battle drawable that may be shown only within a band of zoom levels,
// and the small projection record of things drawn with a height (parallax).
#include <list>

class GUI_BS_RenderObject {
 public:
  GUI_BS_RenderObject() = default;
  // Leaves its owner, and lets go of its children: they keep living (their holder
  // deletes them) but no longer point back at this object.
  virtual ~GUI_BS_RenderObject();
  GUI_BS_RenderObject(const GUI_BS_RenderObject&) = delete;
  GUI_BS_RenderObject& operator=(const GUI_BS_RenderObject&) = delete;

  // Per-frame update and draw; the base draws the children when the zoom allows.
  virtual void Draw();
  // True when the holder may remove and delete the object.
  virtual bool IsFinished() { return false; }

  // Computes `fade` from the zoom window; false when the object is hidden.
  bool UpdateFade();
  // Draws the children of one layer (0 lower, 1 upper), in attach order.
  void DrawChildrenOfLayer(int which);

  static void Attach(GUI_BS_RenderObject* child, GUI_BS_RenderObject* owner);
  static void Detach(GUI_BS_RenderObject* child, GUI_BS_RenderObject* owner);
  static void MarkOwnerDirty(GUI_BS_RenderObject* owner);

  int layer = 1;                         // 0 lower, 1 upper, 2 both
  GUI_BS_RenderObject* owner = nullptr;  // not owning
  float zoomFrom = -1.0f;                // -1: no lower bound
  float zoomUntil = -1.0f;               // -1: no upper bound
  float fade = 1.0f;
  std::list<GUI_BS_RenderObject*> children;  // not owning
  bool noChildrenOnLayer[2] = {true, true};
};

// A point drawn at a height: the larger the parallax, the faster it moves against the
// ground when the camera moves.
struct GUI_BS_3DWorldObject {
  void UpdateScreenPos();
  float screenX = 0.0f;
  float screenY = 0.0f;
  float worldX = 0.0f;
  float worldY = 0.0f;
  float parallax = 1.0f;
};
