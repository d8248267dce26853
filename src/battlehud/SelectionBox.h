#pragma once
// The drag-selection box: Shift and the left button drag a rectangle on the battle map;
// on release every unit of the player's army strictly inside it is added to the
// selection (a squad member brings its whole squad).

struct DragSelectBox {
  static DragSelectBox& Instance();
  // Starts a drag at the mouse's world position, unless one is running.
  void Begin();
  // Per frame: draws the box; on release selects and ends the drag.
  void Draw();
  // The box in world units (truncated), from the start to the mouse.
  void Rect(int* left, int* top, int* right, int* bottom) const;
  // Selects the player's units inside the rectangle; how many were selected.
  static int SelectInside(int left, int top, int right, int bottom);

  float startX = 0.0f, startY = 0.0f;
  bool active = false;
};
